#include "vm/kestrel_interpreter.h"

namespace kestrel {

// The flag-setting handlers write VF first and compute the result from the
// registers as they stand after that write, so with X or Y = F the new flag
// is an operand.

void KestrelInterpreter::LoadRegWithConstant() {
    VX() = NN();
}

void KestrelInterpreter::AddConstantToReg() {
    State.Scratch = VX() + NN();
    if (State.Scratch > 255) State.Scratch -= 256;
    VX() = static_cast<std::uint8_t>(State.Scratch);
}

void KestrelInterpreter::LoadRegWithReg() {
    VX() = VY();
}
void KestrelInterpreter::OrRegWithReg() {
    VX() = VX() | VY();
}
void KestrelInterpreter::AndRegWithReg() {
    VX() = VX() & VY();
}
void KestrelInterpreter::XorRegWithReg() {
    VX() = VX() ^ VY();
}

void KestrelInterpreter::AddRegToReg() {
    const int carry = VX() + VY() > 255 ? 1 : 0;
    VF() = static_cast<std::uint8_t>(carry);
    int sum = VX() + VY();
    if (sum > 255) sum -= 256;
    VX() = static_cast<std::uint8_t>(sum);
}

void KestrelInterpreter::SubRegFromReg() {
    VF() = VX() >= VY() ? 1 : 0;
    int difference = VX() - VY();
    if (difference < 0) difference += 256;
    VX() = static_cast<std::uint8_t>(difference);
}

void KestrelInterpreter::RSubRegFromReg() {
    VF() = VY() >= VX() ? 1 : 0;
    int difference = VY() - VX();
    if (difference < 0) difference += 256;
    VX() = static_cast<std::uint8_t>(difference);
}

// The shifts work on VX alone; Y is not read.
void KestrelInterpreter::ShiftRegRight() {
    VF() = VX() & 1;
    VX() = VX() >> 1;
}

void KestrelInterpreter::ShiftRegLeft() {
    VF() = (VX() & 128) != 0 ? 1 : 0;
    State.Scratch = VX() * 2;
    if (State.Scratch > 255) State.Scratch -= 256;
    VX() = static_cast<std::uint8_t>(State.Scratch);
}

// Exactly one draw of u in [0, 1); r is the integer part of 256 u.
void KestrelInterpreter::CreateRandomNumber() {
    const int r = static_cast<int>(256.0 * random_.NextUniform());
    VX() = static_cast<std::uint8_t>(NN() & r);
}

} // namespace kestrel
