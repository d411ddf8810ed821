#include "base/texts.h"
#include "vm/kestrel_interpreter.h"

namespace kestrel {

void KestrelInterpreter::JumpToAddress() {
    State.ProgramCounter = NNN();
}

void KestrelInterpreter::JumpToSub() {
    if (State.StackPointer >= KestrelMachine.stackSlots) {
        runs_.StopRun(instructionText() + " " +
                      CallStackFullText(State.StackPointer, KestrelMachine.stackSlots));
        return;
    }
    // The return address is kept as the signed 16-bit value the slot holds.
    State.CallStack[static_cast<std::size_t>(State.StackPointer)] =
        static_cast<std::int16_t>(State.ProgramCounter);
    ++State.StackPointer;
    State.ProgramCounter = NNN();
}

void KestrelInterpreter::ReturnFromSub() {
    if (State.StackPointer <= 0) {
        runs_.StopRun(instructionText() + " " + CallStackEmptyText(State.StackPointer));
        return;
    }
    --State.StackPointer;
    // The slot keeps its value; a negative one can only come from a call made
    // at an address the fetch limit forbids, so the cast never meets it.
    State.ProgramCounter =
        static_cast<std::uint16_t>(State.CallStack[static_cast<std::size_t>(State.StackPointer)]);
}

// Not masked: BFFF with V0 = FF goes to 0x10FE.
void KestrelInterpreter::JumpToAddressPlusReg0() {
    State.ProgramCounter = State.V[0] + NNN();
}

void KestrelInterpreter::SkipIfRegEqual() {
    if (VX() == NN()) State.ProgramCounter += 2;
}

void KestrelInterpreter::SkipIfRegNotEqual() {
    if (VX() != NN()) State.ProgramCounter += 2;
}

void KestrelInterpreter::SkipIfRegEqualReg() {
    if (VX() == VY()) State.ProgramCounter += 2;
}

void KestrelInterpreter::SkipIfRegNotEqualReg() {
    if (VX() != VY()) State.ProgramCounter += 2;
}

} // namespace kestrel
