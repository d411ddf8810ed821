#pragma once

#include <cstdint>
#include <string>

namespace kestrel {

// The status label while FX0A or a remap button waits for a key. Made once:
// the text is too long to live inside a string object, and a wait for a key
// must not allocate each time it begins.
inline const std::string WaitingText = "Waiting for key...";

// The texts of the faults that stop a run, for every machine alike.
//   "Instruction 2345 at address 512 would make a call with the call stack
//    full (depth 16 of 16). The run has stopped; ..."
inline constexpr const char* RunStoppedText =
    " The run has stopped; choose Reset or Open ROM to start again.";
std::string HexWord(std::uint16_t word);    // four upper-case digits: "00EE"
std::string HexNumber(std::uint64_t value); // "0x" and the fewest upper-case digits: "0x2A4"
std::string InstructionText(std::uint16_t word, std::uint64_t address);
std::string CallStackFullText(int depth, int slots);
std::string CallStackEmptyText(int depth);
// "(0..8192)" for memory of 8193 bytes.
std::string MemoryRangeText(std::uint64_t memorySize);

} // namespace kestrel
