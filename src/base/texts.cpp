#include "base/texts.h"

namespace kestrel {

std::string HexWord(std::uint16_t word) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    return {Hex[word >> 12], Hex[(word >> 8) & 15], Hex[(word >> 4) & 15], Hex[word & 15]};
}

std::string HexNumber(std::uint64_t value) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string digits;
    do {
        digits.insert(digits.begin(), Hex[value & 15]);
        value >>= 4;
    } while (value != 0);
    return "0x" + digits;
}

std::string InstructionText(std::uint16_t word, std::uint64_t address) {
    return "Instruction " + HexWord(word) + " at address " + std::to_string(address);
}

std::string CallStackFullText(int depth, int slots) {
    return "would make a call with the call stack full (depth " + std::to_string(depth) + " of " +
           std::to_string(slots) + ").";
}

std::string CallStackEmptyText(int depth) {
    return "would return with the call stack empty (depth " + std::to_string(depth) + ").";
}

std::string MemoryRangeText(std::uint64_t memorySize) {
    return "(0.." + std::to_string(memorySize - 1) + ")";
}

} // namespace kestrel
