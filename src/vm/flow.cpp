#include "machine/machine.h"

namespace kestrel {

void Machine::JumpToAddress() {
    State.ProgramCounter = NNN();
}

void Machine::JumpToSub() {
    if (State.StackPointer >= kind_.stackSlots) {
        stopRun("Instruction " + instructionName() + " at address " +
                std::to_string(instructionAddress_) +
                " would make a call with the call stack full (depth " +
                std::to_string(State.StackPointer) + " of " + std::to_string(kind_.stackSlots) +
                ").");
        return;
    }
    // The return address is kept as the signed 16-bit value the slot holds.
    State.CallStack[static_cast<std::size_t>(State.StackPointer)] =
        static_cast<std::int16_t>(State.ProgramCounter);
    ++State.StackPointer;
    State.ProgramCounter = NNN();
}

void Machine::ReturnFromSub() {
    if (State.StackPointer <= 0) {
        stopRun("Instruction " + instructionName() + " at address " +
                std::to_string(instructionAddress_) +
                " would return with the call stack empty (depth " +
                std::to_string(State.StackPointer) + ").");
        return;
    }
    --State.StackPointer;
    // The slot keeps its value; a negative one can only come from a call made
    // at an address the fetch limit forbids, so the cast never meets it.
    State.ProgramCounter =
        static_cast<std::uint16_t>(State.CallStack[static_cast<std::size_t>(State.StackPointer)]);
}

// Not masked: BFFF with V0 = FF goes to 0x10FE.
void Machine::JumpToAddressPlusReg0() {
    State.ProgramCounter = State.V[0] + NNN();
}

void Machine::SkipIfRegEqual() {
    if (VX() == NN()) State.ProgramCounter += 2;
}

void Machine::SkipIfRegNotEqual() {
    if (VX() != NN()) State.ProgramCounter += 2;
}

void Machine::SkipIfRegEqualReg() {
    if (VX() == VY()) State.ProgramCounter += 2;
}

void Machine::SkipIfRegNotEqualReg() {
    if (VX() != VY()) State.ProgramCounter += 2;
}

} // namespace kestrel
