#include "octo/assembler.h"

#include "octo/number.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <unordered_set>

namespace kestrel::octo {

bool isReserved(std::string_view text) {
    static const std::unordered_set<std::string_view> words = {
        ":=",        "|=",       "&=",          "^=",           "-=",
        "=-",        "+=",       ">>=",         "<<=",          "==",
        "!=",        "<",        ">",           "<=",           ">=",
        "key",       "-key",     "hex",         "bighex",       "random",
        "delay",     ":",        ":next",       ":unpack",      ":breakpoint",
        ":proto",    ":alias",   ":const",      ":org",         ";",
        "return",    "clear",    "bcd",         "save",         "load",
        "buzzer",    "if",       "then",        "begin",        "else",
        "end",       "jump",     "jump0",       "sprite",       "loop",
        "while",     "again",    "scroll-down", "scroll-right", "scroll-left",
        "scroll-up", "lores",    "hires",       "exit",         "loadflags",
        "saveflags", "i",        "audio",       "plane",        ":macro",
        ":calc",     ":byte",    ":call",       ":stringmode",  ":assert",
        ":monitor",  ":pointer", "pitch",       "long",         "{",
        "}"};
    if (text.size() == 2 && (text[0] == 'v' || text[0] == 'V') &&
        std::isxdigit(static_cast<unsigned char>(text[1])))
        return true;
    return words.contains(text);
}

Assembler::Assembler(Lexed lexed) : input_(std::move(lexed.tokens), lexed.end) {
    // The keypad's keys by the keyboard letters that Octo maps onto them.
    static constexpr std::array<std::pair<const char*, int>, 16> keys = {{
        {"1", 0x1},
        {"2", 0x2},
        {"3", 0x3},
        {"4", 0xC},
        {"Q", 0x4},
        {"W", 0x5},
        {"E", 0x6},
        {"R", 0xD},
        {"A", 0x7},
        {"S", 0x8},
        {"D", 0x9},
        {"F", 0xE},
        {"Z", 0xA},
        {"X", 0x0},
        {"C", 0xB},
        {"V", 0xF},
    }};
    for (const auto& [name, code] : keys)
        constants_[std::string("OCTO_KEY_") + name] = Constant{static_cast<double>(code), true};
    // Assembly begins with a jump to main, withdrawn if main comes first.
    addPatch("main", kProgramStart, PatchKind::Address12, SourceSpot{1, 1});
    image_.emitWord(0x1000, SourceSpot{});
}

Program Assembler::run() {
    while (std::optional<Token> token = input_.next())
        statement(std::move(*token));
    finish();
    Program program;
    program.rom = image_.rom();
    program.spots = image_.spots();
    for (const auto& [name, address] : labels_)
        program.labels.push_back(Label{name, address, labelSpots_[name]});
    std::sort(program.labels.begin(), program.labels.end(), [](const Label& a, const Label& b) {
        return a.address != b.address ? a.address < b.address : a.name < b.name;
    });
    program.annotations = std::move(annotations_);
    return program;
}

// A statement's first word is, in this order, a macro, a stringmode, a
// keyword or directive, a register, a number (one data byte), and otherwise
// the name of a subroutine to call, which a constant may be too.
void Assembler::statement(Token token) {
    if (expandNamed(token)) return;
    if (directive(token) || control(token) || instruction(token)) return;
    if (const auto x = registerOf(token.text)) {
        registerStatement(*x, token);
        return;
    }
    if (parseNumber(token.text)) {
        image_.emit(static_cast<std::uint8_t>(byteValue(token)), token.where);
        return;
    }
    if (isReserved(token.text))
        throw AsmError{token.where, "expected a statement, found " + quoted(token.text)};
    emitAddress12(0x2000, token, token.where);
}

Token Assembler::expect(const char* what) {
    std::optional<Token> token = input_.next();
    if (!token)
        throw AsmError{input_.end(), std::string("expected ") + what + ", found end of input"};
    return std::move(*token);
}

void Assembler::checkNewName(const Token& name, const char* what) const {
    if (parseNumber(name.text))
        throw AsmError{name.where, std::string("expected a name for the ") + what +
                                       ", found the number " + quoted(name.text)};
    if (isReserved(name.text))
        throw AsmError{name.where, std::string("expected a name for the ") + what +
                                       ", found the reserved word " + quoted(name.text)};
}

void Assembler::defineLabel(const Token& name, std::uint32_t address) {
    checkNewName(name, "label");
    if (const auto it = labelSpots_.find(name.text); it != labelSpots_.end())
        throw AsmError{name.where, "label " + quoted(name.text) + " is already defined at line " +
                                       std::to_string(it->second.line) + ":" +
                                       std::to_string(it->second.column)};
    if (name.text == "main") {
        if (!orgUsed_ && image_.here() == kProgramStart + 2 && address == image_.here() &&
            image_.writtenCount() == 2) {
            // Nothing but the entry jump so far: main starts the program.
            image_.unwrite(kProgramStart);
            image_.unwrite(kProgramStart + 1);
            pending_.erase("main");
            image_.setHere(kProgramStart);
            address = kProgramStart;
            entryJump_ = false;
        } else if (entryJump_) {
            image_.setSpot(kProgramStart, name.where);
            image_.setSpot(kProgramStart + 1, name.where);
        }
    }
    labels_[name.text] = address;
    labelSpots_[name.text] = name.where;
    if (const auto it = pending_.find(name.text); it != pending_.end()) {
        for (const Patch& patch : it->second)
            applyPatch(patch, address);
        pending_.erase(it);
    }
}

void Assembler::addPatch(const std::string& name, std::uint32_t address, PatchKind kind,
                         SourceSpot where) {
    pending_[name].push_back(Patch{address, kind, where, patchOrder_++});
}

void Assembler::applyPatch(const Patch& patch, std::uint32_t value) {
    const std::uint32_t a = patch.address;
    switch (patch.kind) {
    case PatchKind::Address12:
        image_.patch(a, static_cast<std::uint8_t>((value >> 8) & 0xF));
        image_.setByte(a + 1, static_cast<std::uint8_t>(value & 0xFF));
        break;
    case PatchKind::Long16:
        image_.setByte(a, static_cast<std::uint8_t>((value >> 8) & 0xFF));
        image_.setByte(a + 1, static_cast<std::uint8_t>(value & 0xFF));
        break;
    case PatchKind::UnpackNibble:
        image_.patch(a + 1, static_cast<std::uint8_t>((value >> 8) & 0xF));
        image_.setByte(a + 3, static_cast<std::uint8_t>(value & 0xFF));
        break;
    case PatchKind::UnpackLong:
        image_.setByte(a + 1, static_cast<std::uint8_t>((value >> 8) & 0xFF));
        image_.setByte(a + 3, static_cast<std::uint8_t>(value & 0xFF));
        break;
    }
}

void Assembler::finish() {
    checkBlocksClosed();
    if (!labels_.contains("main"))
        throw AsmError{SourceSpot{1, 1},
                       "the program has no entry point: expected a label 'main', found none"};
    const std::pair<const std::string, std::vector<Patch>>* first = nullptr;
    for (const auto& entry : pending_) {
        if (first == nullptr || entry.second.front().order < first->second.front().order)
            first = &entry;
    }
    if (first == nullptr) return;
    const std::string& name = first->first;
    const SourceSpot where = first->second.front().where;
    if (constants_.contains(name))
        throw AsmError{where, quoted(name) + " is used as a label but defined as a constant, "
                                             "after its use"};
    throw AsmError{where, "undefined name " + quoted(name)};
}

Assembly assemble(std::string_view source, std::string_view fileName) {
    Assembly out;
    try {
        Assembler assembler(tokenize(source));
        out.program = assembler.run();
    } catch (const AsmError& e) {
        out.error = Diagnostic{std::string(fileName), e.where, e.message};
    }
    return out;
}

} // namespace kestrel::octo
