#pragma once

#include "debug/instruction_table.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Instructions as text, in Octo's syntax (`v1 := 0x2a`, `jump 0x234`,
// `if v3 != 0x10 then`), so that what the debugger shows reads as the source
// Kestrel assembles. A word the machine passes over is shown as the two data
// bytes Octo would write for it (`0x12 0x34`).
namespace kestrel::debug {

// The instruction that begins with `word`; `second` is the word after it,
// read only by a four-byte instruction.
std::string Disassemble(InstructionSetId set, std::uint16_t word, std::uint16_t second = 0);

struct DisassemblyLine {
    std::uint32_t address;
    std::vector<std::uint8_t> bytes;
    std::string text;
    std::optional<std::uint32_t> target; // where a jump or call goes
};

// The instructions that begin at `from` up to `to`, one after another; the
// last may end past `to`. Addresses wrap as the set's machines wrap them; on
// Kestrel's machine, whose fetch cannot read past the end of memory, a last
// lone byte is shown as data and the listing stops at the end of memory.
std::vector<DisassemblyLine> DisassembleRange(InstructionSetId set,
                                              std::span<const std::uint8_t> memory,
                                              std::uint32_t from, std::uint32_t to);

} // namespace kestrel::debug
