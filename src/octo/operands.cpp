// Reading operands: registers, bytes, nibbles and addresses, with their ranges.
#include "octo/assembler.h"

#include "octo/number.h"

namespace kestrel::octo {

std::optional<int> Assembler::registerOf(std::string_view text) const {
    if (text.size() == 2 && (text[0] == 'v' || text[0] == 'V') && hexDigitValue(text[1]) >= 0)
        return hexDigitValue(text[1]);
    if (const auto it = aliases_.find(std::string(text)); it != aliases_.end()) return it->second;
    return std::nullopt;
}

int Assembler::expectRegister(const char* role) {
    const Token token = expect(("a register" + std::string(role)).c_str());
    if (const auto x = registerOf(token.text)) return *x;
    throw AsmError{token.where,
                   "expected a register" + std::string(role) + ", found " + quoted(token.text)};
}

std::optional<double> Assembler::knownValue(const Token& token) const {
    if (const auto n = parseNumber(token.text)) return n;
    if (const auto c = constants_.find(token.text); c != constants_.end()) return c->second.value;
    if (const auto l = labels_.find(token.text); l != labels_.end())
        return static_cast<double>(l->second);
    return std::nullopt;
}

// The message for a name that has no value yet.
static AsmError unknownValue(const Token& token, bool pending, const char* what) {
    if (isReserved(token.text))
        return AsmError{token.where,
                        std::string("expected ") + what + ", found " + quoted(token.text)};
    if (pending)
        return AsmError{token.where, "label " + quoted(token.text) +
                                         " is used before it is defined, and " + what +
                                         " must be known where it is used"};
    return AsmError{token.where, "undefined name " + quoted(token.text)};
}

int Assembler::byteOperand(const Token& token) {
    const auto value = knownValue(token);
    if (!value || isReserved(token.text))
        throw unknownValue(token, pending_.contains(token.text), "a byte value");
    const std::int64_t n = truncated(*value);
    if (n < -128 || n > 255)
        throw AsmError{token.where,
                       "expected a byte value (-128 to 255), found " + std::to_string(n)};
    return static_cast<int>(n);
}

int Assembler::nibbleOperand(const Token& token) {
    const auto value = knownValue(token);
    if (!value || isReserved(token.text))
        throw unknownValue(token, pending_.contains(token.text), "a nibble value");
    const std::int64_t n = truncated(*value);
    if (n < 0 || n > 15)
        throw AsmError{token.where,
                       "expected a nibble value (0 to 15), found " + std::to_string(n)};
    return static_cast<int>(n);
}

std::uint32_t Assembler::definedAddress(const Token& token, std::uint32_t limit, const char* what) {
    const auto value = knownValue(token);
    if (!value || isReserved(token.text))
        throw unknownValue(token, pending_.contains(token.text), what);
    const std::int64_t n = truncated(*value);
    if (n < 0 || n > limit)
        throw AsmError{token.where, std::string("expected ") + what + " (0 to " + hex(limit) +
                                        "), found " + std::to_string(n)};
    return static_cast<std::uint32_t>(n);
}

std::uint32_t Assembler::addressOrForward(const Token& token, std::uint32_t limit, PatchKind kind,
                                          std::uint32_t site) {
    if (isReserved(token.text))
        throw AsmError{token.where, "expected an address, found " + quoted(token.text)};
    if (const auto l = labels_.find(token.text);
        l != labels_.end() && !parseNumber(token.text) && !constants_.contains(token.text))
        return l->second & limit;
    if (parseNumber(token.text) || constants_.contains(token.text))
        return definedAddress(token, limit, "an address");
    addPatch(token.text, site, kind, token.where);
    return 0;
}

void Assembler::emitAddress12(std::uint16_t high, const Token& token, SourceSpot where) {
    const std::uint32_t address =
        addressOrForward(token, 0xFFF, PatchKind::Address12, image_.here());
    image_.emitWord(static_cast<std::uint16_t>(high | address), where);
}

void Assembler::emitAddress16(const Token& token, SourceSpot where) {
    const std::uint32_t address = addressOrForward(token, 0xFFFF, PatchKind::Long16, image_.here());
    image_.emitWord(static_cast<std::uint16_t>(address), where);
}

} // namespace kestrel::octo
