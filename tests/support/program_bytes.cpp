#include "support/program_bytes.h"

namespace kestrel::testing {

std::vector<std::uint8_t> WordsToBytes(std::span<const std::uint16_t> words) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * words.size());
    for (const std::uint16_t word : words) {
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    }
    return bytes;
}

void PlaceWords(std::vector<std::uint8_t>& memory, std::span<const std::uint16_t> words,
                std::uint32_t at) {
    for (const std::uint8_t byte : WordsToBytes(words))
        memory[at++] = byte;
}

} // namespace kestrel::testing
