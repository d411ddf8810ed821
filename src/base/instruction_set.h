#pragma once

#include "base/platform.h"
#include "debug/instruction_table.h"

namespace kestrel {

// The instruction table a machine runs by: the debugger's disassembly, its
// steps and the standard machines' skips all read it.
constexpr debug::InstructionSetId InstructionSetOf(const MachineKind& kind) {
    using enum debug::InstructionSetId;
    if (kind.engine == Engine::Kestrel) return Kestrel;
    if (kind.extensions.xoChip) return XoChip;
    if (kind.extensions.superChip) return SuperChip;
    if (kind.extensions.twoPage) return Chip8TwoPage;
    return Chip8;
}

} // namespace kestrel
