#include "standard/standard_interpreter.h"

namespace kestrel {

// The result is computed from the operands as they stand and written first;
// VF is written last, so with X = F it ends holding the flag.
void StandardInterpreter::writeResultThenFlag(int result, bool flag) {
    VX() = static_cast<std::uint8_t>(result & 0xFF);
    VF() = flag ? 1 : 0;
}

// 8XYN. The VIP's logic quirk clears VF after OR, AND and XOR; the shift
// quirk shifts VX itself rather than VY into VX.
void StandardInterpreter::arithmetic(int operation) {
    const bool logic = kind_.quirks.logic;
    switch (operation) {
    case 0x0: VX() = VY(); return;
    case 0x1:
        VX() |= VY();
        if (logic) VF() = 0;
        return;
    case 0x2:
        VX() &= VY();
        if (logic) VF() = 0;
        return;
    case 0x3:
        VX() ^= VY();
        if (logic) VF() = 0;
        return;
    case 0x4: return writeResultThenFlag(VX() + VY(), VX() + VY() > 255);
    case 0x5: return writeResultThenFlag(VX() - VY(), VX() >= VY());
    case 0x7: return writeResultThenFlag(VY() - VX(), VY() >= VX());
    case 0x6: {
        const std::uint8_t source = kind_.quirks.shift ? VX() : VY();
        return writeResultThenFlag(source >> 1, (source & 1) != 0);
    }
    case 0xE: {
        const std::uint8_t source = kind_.quirks.shift ? VX() : VY();
        return writeResultThenFlag(source << 1, (source & 0x80) != 0);
    }
    default: return;
    }
}

} // namespace kestrel
