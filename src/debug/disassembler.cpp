#include "debug/disassembler.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace kestrel::debug {

namespace {

constexpr char HexDigits[] = "0123456789abcdef";

// Octo's hexadecimal literal, with as many digits as the field holds.
std::string hex(unsigned value, int digits) {
    std::string text = "0x";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        text += HexDigits[(value >> shift) & 0xF];
    return text;
}

std::string field(std::string_view name, std::uint16_t word, std::uint16_t second) {
    const unsigned x = (word >> 8) & 0xFu;
    if (name == "x") return {HexDigits[x]};
    if (name == "y") return {HexDigits[(word >> 4) & 0xF]};
    if (name == "n") return std::to_string(word & 0xF);
    if (name == "nn") return hex(word & 0xFFu, 2);
    if (name == "nnn") return hex(word & 0xFFFu, 3);
    if (name == "nnnn") return hex(second, 4);
    return std::to_string(x & 0x3u); // "p": the table allows no other field
}

// A word passed over reads as the data bytes it is.
std::string dataText(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (!text.empty()) text += ' ';
        text += hex(byte, 2);
    }
    return text;
}

std::string instructionText(const InstructionInfo& info, std::uint16_t word, std::uint16_t second) {
    std::string text;
    const std::string_view format = info.format;
    for (std::size_t at = 0; at < format.size(); ++at) {
        if (format[at] != '{') {
            text += format[at];
            continue;
        }
        const std::size_t close = format.find('}', at);
        text += field(format.substr(at + 1, close - at - 1), word, second);
        at = close;
    }
    return text;
}

} // namespace

std::string Disassemble(InstructionSetId set, std::uint16_t word, std::uint16_t second) {
    const InstructionInfo* info = Decode(set, word);
    if (info != nullptr) return instructionText(*info, word, second);
    const std::uint8_t bytes[] = {static_cast<std::uint8_t>(word >> 8),
                                  static_cast<std::uint8_t>(word & 0xFF)};
    return dataText(bytes);
}

std::vector<DisassemblyLine> DisassembleRange(InstructionSetId set,
                                              std::span<const std::uint8_t> memory,
                                              std::uint32_t from, std::uint32_t to) {
    std::vector<DisassemblyLine> lines;
    const std::uint64_t end = std::min<std::uint64_t>(to, memory.size());
    for (std::uint64_t at = from; at < end;) {
        const auto address = static_cast<std::uint32_t>(at);
        const std::optional<Successors> successors = NextAddresses(set, memory, address);
        if (!successors) {
            const std::uint8_t lone[] = {memory[address]};
            lines.push_back({address, {memory[address]}, dataText(lone), std::nullopt});
            break;
        }
        const int length = Length(set, successors->word);
        DisassemblyLine line{address, {}, {}, std::nullopt};
        for (int k = 0; k < length; ++k)
            line.bytes.push_back(memory[(at + static_cast<std::uint64_t>(k)) % memory.size()]);
        const auto second =
            length == 4 ? static_cast<std::uint16_t>(line.bytes[2] << 8 | line.bytes[3]) : 0;
        line.text = successors->info != nullptr
                        ? instructionText(*successors->info, successors->word, second)
                        : dataText(line.bytes);
        if (successors->flow == Flow::Jump || successors->flow == Flow::Call)
            line.target = successors->target;
        lines.push_back(std::move(line));
        at += static_cast<std::uint64_t>(length);
    }
    return lines;
}

} // namespace kestrel::debug
