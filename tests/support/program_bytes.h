#pragma once

#include "base/machine_state.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace kestrel::testing {

// Instruction words as a ROM holds them: two bytes each, high byte first.
std::vector<std::uint8_t> WordsToBytes(std::span<const std::uint16_t> words);
inline std::vector<std::uint8_t> WordsToBytes(std::initializer_list<std::uint16_t> words) {
    return WordsToBytes(std::span(words.begin(), words.size()));
}

// Writes the words into memory from `at` (512, where a loaded ROM starts).
void PlaceWords(std::vector<std::uint8_t>& memory, std::span<const std::uint16_t> words,
                std::uint32_t at = ProgramStart);
inline void PlaceWords(std::vector<std::uint8_t>& memory,
                       std::initializer_list<std::uint16_t> words,
                       std::uint32_t at = ProgramStart) {
    PlaceWords(memory, std::span(words.begin(), words.size()), at);
}

} // namespace kestrel::testing
