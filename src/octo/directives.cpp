// The ':' words: labels, constants, aliases, data, layout and annotations.
#include "octo/assembler.h"

#include "octo/number.h"

namespace kestrel::octo {

bool Assembler::directive(const Token& token) {
    const std::string& w = token.text;
    const SourceSpot at = token.where;
    if (w.empty() || w[0] != ':') return false;
    const auto bracedNext = [&]() {
        const Token* next = input_.peek();
        return next != nullptr && next->text == "{";
    };
    if (w == ":") {
        defineLabel(expect("a label name"), image_.here());
    } else if (w == ":next") {
        defineLabel(expect("a label name"), image_.here() + 1);
    } else if (w == ":unpack") {
        unpack(at);
    } else if (w == ":org") {
        orgUsed_ = true;
        if (bracedNext())
            image_.setHere(static_cast<std::uint32_t>(toInt32(braced(at)) & 0xFFFF));
        else
            image_.setHere(definedAddress(expect("an address"), 0xFFFF, "an address"));
    } else if (w == ":byte") {
        if (bracedNext())
            image_.emit(static_cast<std::uint8_t>(toInt32(braced(at)) & 0xFF), at);
        else
            image_.emit(static_cast<std::uint8_t>(byteValue(expect("a byte value"))), at);
    } else if (w == ":pointer") {
        if (bracedNext())
            image_.emitWord(static_cast<std::uint16_t>(toInt32(braced(at)) & 0xFFFF), at);
        else
            emitAddress16(expect("an address"), at);
    } else if (w == ":call") {
        if (bracedNext())
            image_.emitWord(static_cast<std::uint16_t>(0x2000 | (toInt32(braced(at)) & 0xFFF)), at);
        else
            emitAddress12(0x2000, expect("an address"), at);
    } else if (w == ":const") {
        const Token name = expect("a constant name");
        checkNewName(name, "constant");
        if (constants_.contains(name.text))
            throw AsmError{name.where, "constant " + quoted(name.text) + " is already defined"};
        const Token value = expect("a value");
        const auto v = knownValue(value);
        if (!v || isReserved(value.text)) {
            if (pending_.contains(value.text))
                throw AsmError{value.where, "label " + quoted(value.text) +
                                                " is used before it is defined, and :const needs "
                                                "a value that is already known"};
            throw AsmError{value.where, "undefined name " + quoted(value.text)};
        }
        constants_[name.text] = Constant{*v, true};
    } else if (w == ":calc") {
        const Token name = expect("a constant name");
        checkNewName(name, "constant");
        if (const auto it = constants_.find(name.text); it != constants_.end() && it->second.fixed)
            throw AsmError{name.where, "constant " + quoted(name.text) +
                                           " was made by :const and cannot be changed"};
        const double value = braced(at);
        constants_[name.text] = Constant{value, false};
    } else if (w == ":alias") {
        const Token name = expect("an alias name");
        checkNewName(name, "alias");
        if (bracedNext()) {
            const double v = braced(at);
            const std::int64_t n = truncated(v);
            if (n < 0 || n > 15)
                throw AsmError{name.where, "expected a register number (0 to 15) for alias " +
                                               quoted(name.text) + ", found " + std::to_string(n)};
            aliases_[name.text] = static_cast<int>(n);
        } else {
            const Token target = expect("a register");
            const auto r = registerOf(target.text);
            if (!r)
                throw AsmError{target.where, "expected a register or { expression } for alias " +
                                                 quoted(name.text) + ", found " +
                                                 quoted(target.text)};
            aliases_[name.text] = *r;
        }
    } else if (w == ":assert") {
        std::string message;
        if (!bracedNext()) message = expect("a message or '{'").text;
        const double v = braced(at);
        if (v == 0 || v != v)
            throw AsmError{at, message.empty() ? std::string("assertion failed")
                                               : "assertion failed: " + message};
    } else if (w == ":breakpoint") {
        annotations_.push_back(Annotation{Annotation::Kind::Breakpoint, image_.here(),
                                          expect("a breakpoint name").text, "", at});
    } else if (w == ":monitor") {
        std::string address = expect("an address or register to monitor").text;
        std::string format = expect("a length or format").text;
        annotations_.push_back(Annotation{Annotation::Kind::Monitor, image_.here(),
                                          std::move(address), std::move(format), at});
    } else if (w == ":proto") {
        expect("a name"); // an old forward declaration; forward references need none
    } else if (w == ":macro") {
        defineMacro(at);
    } else if (w == ":stringmode") {
        defineStringmode(at);
    } else {
        return false;
    }
    return true;
}

// Two `vx := NN` that load an address into unpack-hi and unpack-lo (v0 and
// v1 unless aliased), the high byte first.
void Assembler::unpack(SourceSpot where) {
    const Token first = expect("a nibble or 'long'");
    const bool isLong = first.text == "long";
    const int high = isLong ? 0 : nibbleOperand(first) << 4;
    const Token target = expect("an address");
    const std::uint32_t address =
        isLong ? addressOrForward(target, 0xFFFF, PatchKind::UnpackLong, image_.here())
               : addressOrForward(target, 0xFFF, PatchKind::UnpackNibble, image_.here());
    const auto alias = [&](const char* name, int fallback) {
        const auto it = aliases_.find(name);
        return it == aliases_.end() ? fallback : it->second;
    };
    const int hi = alias("unpack-hi", 0);
    const int lo = alias("unpack-lo", 1);
    const int highByte = isLong ? static_cast<int>(address >> 8) : high | (address >> 8);
    image_.emitWord(static_cast<std::uint16_t>(0x6000 | hi << 8 | highByte), where);
    image_.emitWord(static_cast<std::uint16_t>(0x6000 | lo << 8 | (address & 0xFF)), where);
}

} // namespace kestrel::octo
