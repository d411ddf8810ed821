#include "vm/machine.h"

namespace kestrel {

// On Kestrel's machine the flag-setting handlers write VF first and compute the result from the
// registers as they stand after that write, so with X or Y = F the new flag
// is an operand.

void Machine::LoadRegWithConstant() {
    VX() = NN();
}

void Machine::AddConstantToReg() {
    State.Scratch = VX() + NN();
    if (State.Scratch > 255) State.Scratch -= 256;
    VX() = static_cast<std::uint8_t>(State.Scratch);
}

void Machine::LoadRegWithReg() {
    VX() = VY();
}
// The VIP's logic quirk clears VF after the operation.
void Machine::OrRegWithReg() {
    VX() = VX() | VY();
    if (standard() && kind_.quirks.logic) VF() = 0;
}
void Machine::AndRegWithReg() {
    VX() = VX() & VY();
    if (standard() && kind_.quirks.logic) VF() = 0;
}
void Machine::XorRegWithReg() {
    VX() = VX() ^ VY();
    if (standard() && kind_.quirks.logic) VF() = 0;
}

// A standard machine computes from the operands as they stand, writes the
// result, and writes the flag last, so VF ends holding the flag.
void Machine::writeResultThenFlag(int result, bool flag) {
    VX() = static_cast<std::uint8_t>(result & 0xFF);
    VF() = flag ? 1 : 0;
}

void Machine::AddRegToReg() {
    if (standard()) return writeResultThenFlag(VX() + VY(), VX() + VY() > 255);
    const int carry = VX() + VY() > 255 ? 1 : 0;
    VF() = static_cast<std::uint8_t>(carry);
    int sum = VX() + VY();
    if (sum > 255) sum -= 256;
    VX() = static_cast<std::uint8_t>(sum);
}

void Machine::SubRegFromReg() {
    if (standard()) return writeResultThenFlag(VX() - VY(), VX() >= VY());
    VF() = VX() >= VY() ? 1 : 0;
    int difference = VX() - VY();
    if (difference < 0) difference += 256;
    VX() = static_cast<std::uint8_t>(difference);
}

void Machine::RSubRegFromReg() {
    if (standard()) return writeResultThenFlag(VY() - VX(), VY() >= VX());
    VF() = VY() >= VX() ? 1 : 0;
    int difference = VY() - VX();
    if (difference < 0) difference += 256;
    VX() = static_cast<std::uint8_t>(difference);
}

// On Kestrel's machine the shifts work on VX alone; Y is not read. A standard
// machine shifts VY into VX, or VX itself with the shift quirk.
void Machine::ShiftRegRight() {
    if (standard()) {
        const std::uint8_t source = kind_.quirks.shift ? VX() : VY();
        return writeResultThenFlag(source >> 1, (source & 1) != 0);
    }
    VF() = VX() & 1;
    VX() = VX() >> 1;
}

void Machine::ShiftRegLeft() {
    if (standard()) {
        const std::uint8_t source = kind_.quirks.shift ? VX() : VY();
        return writeResultThenFlag(source << 1, (source & 0x80) != 0);
    }
    VF() = (VX() & 128) != 0 ? 1 : 0;
    State.Scratch = VX() * 2;
    if (State.Scratch > 255) State.Scratch -= 256;
    VX() = static_cast<std::uint8_t>(State.Scratch);
}

// Exactly one draw of u in [0, 1); r is the integer part of 256 u.
void Machine::CreateRandomNumber() {
    const int r = static_cast<int>(256.0 * random_.NextUniform());
    VX() = static_cast<std::uint8_t>(NN() & r);
}

} // namespace kestrel
