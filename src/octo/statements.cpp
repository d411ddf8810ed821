// Instructions and their encodings: CHIP-8, SUPER-CHIP and XO-CHIP alike,
// since the platform is the interpreter's choice, not the assembler's.
#include "octo/assembler.h"

#include "octo/number.h"

#include <unordered_map>

namespace kestrel::octo {
namespace {

// Statements of one word.
const std::unordered_map<std::string_view, std::uint16_t>& bareWords() {
    static const std::unordered_map<std::string_view, std::uint16_t> words = {
        {"clear", 0x00E0},       {"return", 0x00EE}, {";", 0x00EE},
        {"hires", 0x00FF},       {"lores", 0x00FE},  {"scroll-right", 0x00FB},
        {"scroll-left", 0x00FC}, {"exit", 0x00FD},   {"audio", 0xF002},
    };
    return words;
}

// `KEYWORD vx`: the instruction with X = 0.
const std::unordered_map<std::string_view, std::uint16_t>& registerWords() {
    static const std::unordered_map<std::string_view, std::uint16_t> words = {
        {"bcd", 0xF033}, {"saveflags", 0xF075}, {"loadflags", 0xF085}};
    return words;
}

// `KEYWORD := vx`.
const std::unordered_map<std::string_view, std::uint16_t>& timerWords() {
    static const std::unordered_map<std::string_view, std::uint16_t> words = {
        {"delay", 0xF015}, {"buzzer", 0xF018}, {"pitch", 0xF03A}};
    return words;
}

// `vx OP vy` for the operators that take only a register: the low nibble.
const std::unordered_map<std::string_view, std::uint16_t>& registerOperators() {
    static const std::unordered_map<std::string_view, std::uint16_t> ops = {
        {"|=", 0x1}, {"&=", 0x2}, {"^=", 0x3}, {">>=", 0x6}, {"=-", 0x7}, {"<<=", 0xE}};
    return ops;
}

std::uint16_t xy(std::uint16_t op, int x, int y) {
    return static_cast<std::uint16_t>(op | (x << 8) | (y << 4));
}

} // namespace

bool Assembler::instruction(const Token& token) {
    const std::string& w = token.text;
    const SourceSpot at = token.where;
    if (const auto it = bareWords().find(w); it != bareWords().end()) {
        image_.emitWord(it->second, at);
    } else if (const auto r = registerWords().find(w); r != registerWords().end()) {
        image_.emitWord(xy(r->second, expectRegister(""), 0), at);
    } else if (const auto t = timerWords().find(w); t != timerWords().end()) {
        const Token op = expect("':='");
        if (op.text != ":=")
            throw AsmError{op.where,
                           "expected ':=' after " + quoted(w) + ", found " + quoted(op.text)};
        image_.emitWord(xy(t->second, expectRegister(""), 0), at);
    } else if (w == "scroll-down" || w == "scroll-up") {
        const int n = nibbleOperand(expect("a scroll distance"));
        image_.emitWord(static_cast<std::uint16_t>((w == "scroll-down" ? 0x00C0 : 0x00D0) | n), at);
    } else if (w == "plane") {
        image_.emitWord(static_cast<std::uint16_t>(0xF001 | nibbleOperand(expect("a plane")) << 8),
                        at);
    } else if (w == "jump" || w == "jump0") {
        emitAddress12(w == "jump" ? 0x1000 : 0xB000, expect("an address"), at);
    } else if (w == "sprite") {
        const int x = expectRegister("");
        const int y = expectRegister("");
        const int n = nibbleOperand(expect("a sprite height"));
        image_.emitWord(static_cast<std::uint16_t>(xy(0xD000, x, y) | n), at);
    } else if (w == "save") {
        registerRange(0xF055, 0x5002, at);
    } else if (w == "load") {
        registerRange(0xF065, 0x5003, at);
    } else if (w == "i") {
        indexStatement(token);
    } else {
        return false;
    }
    return true;
}

// `save vx` or XO-CHIP's `save vx - vy`, and the same for load.
void Assembler::registerRange(std::uint16_t single, std::uint16_t range, SourceSpot where) {
    const int x = expectRegister("");
    if (const Token* dash = input_.peek(); dash != nullptr && dash->text == "-") {
        input_.next();
        image_.emitWord(xy(range, x, expectRegister(" to end the range")), where);
        return;
    }
    image_.emitWord(xy(single, x, 0), where);
}

void Assembler::registerStatement(int x, const Token& token) {
    const SourceSpot at = token.where;
    const Token op = expect("an operator after the register");
    if (op.text == ":=" || op.text == "+=" || op.text == "-=") {
        const Token value = expect("a register or a value");
        if (const auto y = registerOf(value.text)) {
            const std::uint16_t low = op.text == ":=" ? 0x0 : op.text == "+=" ? 0x4 : 0x5;
            image_.emitWord(static_cast<std::uint16_t>(xy(0x8000, x, *y) | low), at);
        } else if (op.text == ":=" && value.text == "random") {
            image_.emitWord(xy(0xC000, x, 0) | byteValue(expect("a random mask")), at);
        } else if (op.text == ":=" && value.text == "key") {
            image_.emitWord(xy(0xF00A, x, 0), at);
        } else if (op.text == ":=" && value.text == "delay") {
            image_.emitWord(xy(0xF007, x, 0), at);
        } else if (op.text == "-=") {
            // Sugar for adding the negation.
            image_.emitWord(xy(0x7000, x, 0) | ((-byteOperand(value)) & 0xFF), at);
        } else {
            image_.emitWord(xy(op.text == ":=" ? 0x6000 : 0x7000, x, 0) | byteValue(value), at);
        }
        return;
    }
    if (const auto it = registerOperators().find(op.text); it != registerOperators().end()) {
        const Token value = expect("a register");
        const auto y = registerOf(value.text);
        if (!y)
            throw AsmError{value.where, "expected a register after " + quoted(op.text) +
                                            ", found " + quoted(value.text)};
        image_.emitWord(static_cast<std::uint16_t>(xy(0x8000, x, *y) | it->second), at);
        return;
    }
    throw AsmError{op.where, "expected an operator after the register (:= += -= |= &= ^= >>= "
                             "<<= =-), found " +
                                 quoted(op.text)};
}

void Assembler::indexStatement(const Token& token) {
    const SourceSpot at = token.where;
    const Token op = expect("':=' or '+=' after 'i'");
    if (op.text == "+=") {
        image_.emitWord(xy(0xF01E, expectRegister(""), 0), at);
        return;
    }
    if (op.text != ":=")
        throw AsmError{op.where, "expected ':=' or '+=' after 'i', found " + quoted(op.text)};
    const Token value = expect("an address");
    if (value.text == "hex" || value.text == "bighex") {
        image_.emitWord(xy(value.text == "hex" ? 0xF029 : 0xF030, expectRegister(""), 0), at);
    } else if (value.text == "long") {
        image_.emitWord(0xF000, at);
        if (const Token* brace = input_.peek(); brace != nullptr && brace->text == "{") {
            const double v = braced(brace->where);
            image_.emitWord(static_cast<std::uint16_t>(toInt32(v) & 0xFFFF), at);
        } else {
            emitAddress16(expect("an address"), at);
        }
    } else {
        emitAddress12(0xA000, value, at);
    }
}

} // namespace kestrel::octo
