#pragma once

#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

namespace kestrel::testing {

// The machines that SUPER-CHIP and XO-CHIP grew from CHIP-8 (modern), for
// tables of the rules they add.
inline const NamedMachine GrownMachines[] = {
    {"modern", ModernChip8Machine},
    {"SUPER-CHIP 1.1", SuperChip11Machine},
    {"SUPER-CHIP (modern)", SuperChipModernMachine},
    {"XO-CHIP", XoChipMachine},
};

// A program, and the value it leaves in VA on each of GrownMachines.
using GrownCase = MachineCase<std::size(GrownMachines)>;

// Runs every case on every machine, with the same data beside the program:
// sprite rows 80 FF FF at 0x300, 32 bytes of FF at 0x310 for DXY0, and on
// XO-CHIP 5A at 0x1000, past CHIP-8's memory.
inline void ExpectVaOnGrownMachines(std::span<const GrownCase> cases) {
    for (const GrownCase& c : cases) {
        for (std::size_t m = 0; m < std::size(GrownMachines); ++m) {
            RomRunner r(GrownMachines[m].kind);
            r.load({0x80FF, 0xFF00}, 0x300);
            r.load(std::vector<std::uint16_t>(16, 0xFFFF), 0x310);
            if (GrownMachines[m].kind.romLimit > 0x1000) r.load({0x5A00}, 0x1000);
            r.execute(c.program);
            EXPECT_EQ(r.state().V[10], c.expected[m] & 0xFF)
                << c.name << " on " << GrownMachines[m].name;
        }
    }
}

} // namespace kestrel::testing
