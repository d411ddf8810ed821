// if/then, if/begin/else/end, loop/while/again: conditional skips and jumps.
// Branches and loops have stacks of their own, so they may interleave.
#include "octo/assembler.h"

namespace kestrel::octo {
namespace {

bool isComparison(std::string_view op) {
    return op == "==" || op == "!=" || op == "<" || op == ">" || op == "<=" || op == ">=";
}

} // namespace

Assembler::Condition Assembler::condition(const Token& at) {
    Condition c{};
    c.where = at.where;
    c.x = expectRegister(" to test");
    const Token op = expect("a comparison");
    c.op = op.text;
    if (op.text == "key" || op.text == "-key") return c;
    if (!isComparison(op.text))
        throw AsmError{op.where, "expected a comparison (== != < > <= >= key -key), found " +
                                     quoted(op.text)};
    const Token operand = expect("a register or a byte to compare with");
    if (const auto y = registerOf(operand.text)) {
        c.operand = *y;
    } else {
        c.immediate = true;
        c.operand = byteValue(operand);
    }
    return c;
}

// Skips the next instruction when the condition is false (`then`) or true
// (`begin`, `while`). The ordering comparisons subtract through vF and test
// the borrow it is left holding.
void Assembler::emitSkip(const Condition& c, bool skipWhenTrue, SourceSpot where) {
    const auto word = [&](int w) { image_.emitWord(static_cast<std::uint16_t>(w), where); };
    const int x = c.x << 8;
    const int operand = c.immediate ? c.operand : c.operand << 4;
    if (c.op == "==" || c.op == "!=") {
        const bool skipIfEqual = (c.op == "==") == skipWhenTrue;
        if (c.immediate)
            word((skipIfEqual ? 0x3000 : 0x4000) | x | operand);
        else
            word((skipIfEqual ? 0x5000 : 0x9000) | x | operand);
    } else if (c.op == "key" || c.op == "-key") {
        const bool skipIfPressed = (c.op == "key") == skipWhenTrue;
        word((skipIfPressed ? 0xE09E : 0xE0A1) | x);
    } else {
        word((c.immediate ? 0x6F00 : 0x8F00) | operand);
        const bool reversed = c.op == "<" || c.op == ">="; // vf =- vx, else vf -= vx
        word((reversed ? 0x8F07 : 0x8F05) | (c.x << 4));
        const bool strict = c.op == "<" || c.op == ">";
        word(strict == skipWhenTrue ? 0x3F00 : 0x4F00);
    }
}

bool Assembler::control(const Token& token) {
    const std::string& w = token.text;
    const SourceSpot at = token.where;
    const auto patchJump = [&](std::uint32_t jump, std::uint32_t target) {
        image_.patch(jump, static_cast<std::uint8_t>((target >> 8) & 0xF));
        image_.setByte(jump + 1, static_cast<std::uint8_t>(target & 0xFF));
    };
    if (w == "if") {
        const Condition c = condition(token);
        const Token then = expect("'then' or 'begin'");
        if (then.text == "then") {
            emitSkip(c, false, at);
        } else if (then.text == "begin") {
            emitSkip(c, true, at);
            blocks_.push_back(Block{image_.here(), false, then.where});
            image_.emitWord(0x1000, at);
        } else {
            throw AsmError{then.where, "expected 'then' or 'begin' after the condition, found " +
                                           quoted(then.text)};
        }
    } else if (w == "else") {
        if (blocks_.empty()) throw AsmError{at, "'else' without an open 'begin'"};
        Block& block = blocks_.back();
        if (block.isElse)
            throw AsmError{at, "a second 'else' for the 'begin' at line " +
                                   std::to_string(block.where.line) + ":" +
                                   std::to_string(block.where.column)};
        const std::uint32_t jump = image_.here();
        image_.emitWord(0x1000, at);
        patchJump(block.jump, image_.here());
        block = Block{jump, true, block.where};
    } else if (w == "end") {
        if (blocks_.empty()) throw AsmError{at, "'end' without an open 'begin'"};
        patchJump(blocks_.back().jump, image_.here());
        blocks_.pop_back();
    } else if (w == "loop") {
        loops_.push_back(Loop{image_.here(), {}, at});
    } else if (w == "while") {
        if (loops_.empty()) throw AsmError{at, "'while' outside a loop"};
        emitSkip(condition(token), true, at);
        loops_.back().whiles.push_back(image_.here());
        image_.emitWord(0x1000, at);
    } else if (w == "again") {
        if (loops_.empty()) throw AsmError{at, "'again' without an open 'loop'"};
        const Loop loop = std::move(loops_.back());
        loops_.pop_back();
        image_.emitWord(static_cast<std::uint16_t>(0x1000 | (loop.start & 0xFFF)), at);
        for (const std::uint32_t jump : loop.whiles)
            patchJump(jump, image_.here());
    } else {
        return false;
    }
    return true;
}

void Assembler::checkBlocksClosed() const {
    if (!blocks_.empty())
        throw AsmError{blocks_.back().where,
                       "this 'begin' has no 'end': expected 'end', found end of input"};
    if (!loops_.empty())
        throw AsmError{loops_.back().where,
                       "this 'loop' has no 'again': expected 'again', found end of input"};
}

} // namespace kestrel::octo
