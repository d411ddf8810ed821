#pragma once

#include "machine/debugger.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace kestrel {

// The registers as the debugger window lists them: V0-VF, then I, PC, SP, DT and ST.
inline constexpr int RegisterCount = 21;
inline constexpr int RegI = 16, RegPC = 17, RegSP = 18, RegDT = 19, RegST = 20;
using RegisterValues = std::array<std::uint64_t, RegisterCount>;
QString RegisterName(int reg);
QString RegisterText(int reg, std::uint64_t value);

// "0x208", "0xFFFF": an address as the core's stop texts write it.
QString AddressText(std::uint32_t address);

// Everything the debugger window shows, read at once, so that a refresh can
// tell whether anything changed before it repaints a pane.
struct DebugSnapshot {
    const MachineKind* kind = nullptr;
    debug::InstructionSetId set = debug::InstructionSetId::Kestrel;
    ProgramState state = ProgramState::NoProgram;
    StopReport stop;
    std::uint32_t frame = 0;
    RegisterValues registers{};
    std::vector<std::uint32_t> stack;
    std::vector<std::uint32_t> breakpoints;
    std::vector<std::uint8_t> memory;

    static DebugSnapshot Take(const Debugger& debugger);
    std::uint32_t pc() const { return static_cast<std::uint32_t>(registers[RegPC]); }
    std::uint64_t index() const { return registers[RegI]; }
    bool operator==(const DebugSnapshot& other) const;
};

// The status line: the program's state, and what stopped it.
QString StatusText(const DebugSnapshot& snapshot);

} // namespace kestrel
