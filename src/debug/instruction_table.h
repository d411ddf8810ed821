#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

// What each machine's instructions are, as one table per instruction set:
// the disassembler, a debugger's step over and the length of a skip all read
// it, so that they cannot disagree with each other. Each table decodes as its
// interpreter does, word for word; it knows nothing else of the machines.
namespace kestrel::debug {

// Kestrel's own machine, and the standard machines' sets. Chip8 serves both
// CHIP-8 machines (COSMAC VIP and modern). Chip8TwoPage is CHIP-8 for the
// two-page 64 x 64 screen, whose one extra instruction is 0230, its clear.
enum class InstructionSetId { Kestrel, Chip8, SuperChip, XoChip, Chip8TwoPage };

// Where the run goes after an instruction.
enum class Flow : std::uint8_t {
    Plain,      // on to the next instruction
    Skip,       // the next instruction, or the one after it
    Jump,       // to the address in the word
    JumpOffset, // to the address in the word plus a register, known only as it runs
    Call,       // to the address in the word, the next one pushed for the return
    Return,     // to the address popped
    Wait,       // FX0A: stays until a key comes, then on to the next
    Exit,       // SUPER-CHIP's 00FD: the program ends there
};

// The memory an instruction writes from I on: none, three bytes (FX33), V0
// to VX (FX55), or VX to VY in either order (XO-CHIP's 5XY2).
enum class Writes : std::uint8_t { None, Bcd, ThroughX, XThroughY };

// One row: the words whose bits under `mask` equal `value`.
//
// `format` is the instruction in Octo's syntax, with its fields in braces:
// {x} and {y} the register digits, {n} the low digit in decimal, {nn} the low
// byte, {nnn} the low twelve bits, {nnnn} a four-byte instruction's second
// word, {p} the plane mask (FN01's X, two bits).
struct InstructionInfo {
    std::uint16_t value;
    std::uint16_t mask;
    std::string_view format;
    std::uint8_t length; // in bytes: 2, or 4 for XO-CHIP's F000 NNNN
    Flow flow;
    Writes writes = Writes::None;
};

// The rows of a set, tried in order: the first that matches is the one the
// machine runs.
std::span<const InstructionInfo> Instructions(InstructionSetId set);

// The row `word` runs as; nullptr for a word the machine passes over, which
// is a two-byte no-op on every machine here.
const InstructionInfo* Decode(InstructionSetId set, std::uint16_t word);

// Decode in one step, for the interpreters and the debugger, which ask once
// an instruction: each set's 65,536 words looked up once, when first asked.
class DecodeIndex {
  public:
    static const DecodeIndex& For(InstructionSetId set);
    const InstructionInfo* operator()(std::uint16_t word) const {
        const std::uint8_t row = index_[word];
        return row == None ? nullptr : &rows_[row];
    }

  private:
    static constexpr std::uint8_t None = 0xFF;
    explicit DecodeIndex(InstructionSetId set);
    std::span<const InstructionInfo> rows_;
    std::unique_ptr<std::uint8_t[]> index_;
};

// The first and last address an instruction writes, with I at `index`;
// addresses beyond memory wrap or fault as the machine does.
struct WrittenRange {
    std::uint64_t first;
    std::uint64_t last;
};
std::optional<WrittenRange> MemoryWritten(const InstructionInfo& info, std::uint16_t word,
                                          std::uint64_t index);

// The bytes the instruction that begins with `word` takes.
int Length(InstructionSetId set, std::uint16_t word);

// Where the run can go from the instruction at an address.
struct Successors {
    const InstructionInfo* info; // nullptr: passed over
    Flow flow;
    std::uint16_t word;
    std::uint32_t next; // the address after the instruction
    // Skip: the address after the following instruction, whose own length
    // counts. Jump and Call: the address in the word. JumpOffset: that
    // address, before the register is added.
    std::optional<std::uint32_t> target;
};

// The instruction at `address` of a machine's `memory`. Addresses wrap at the
// end of a standard machine's memory; Kestrel's machine does not wrap, and an
// instruction it could not fetch whole has no successors.
std::optional<Successors> NextAddresses(InstructionSetId set, std::span<const std::uint8_t> memory,
                                        std::uint32_t address);

// Whether addresses wrap at the end of memory on the set's machines.
bool WrapsAddresses(InstructionSetId set);

} // namespace kestrel::debug
