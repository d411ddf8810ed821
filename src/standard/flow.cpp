#include "base/texts.h"
#include "standard/standard_interpreter.h"

namespace kestrel {

// The machine stops; the message reaches the player once the frame is over.
void StandardInterpreter::stop(const std::string& why) {
    leaveRunning(Status::Faulted);
    stopSound();
    fault_ = InstructionText(opcode_, at_) + " " + why + RunStoppedText;
}

// Calls and returns take the address after the instruction and return the
// one the run goes on from; a fault leaves it after the instruction.
std::uint32_t StandardInterpreter::call(std::uint32_t next, std::uint32_t address) {
    if (State.StackPointer >= kind_.stackSlots) {
        stop(CallStackFullText(State.StackPointer, kind_.stackSlots));
        return next;
    }
    State.CallStack[static_cast<std::size_t>(State.StackPointer++)] =
        static_cast<std::int16_t>(next);
    return address;
}

std::uint32_t StandardInterpreter::returnFromCall(std::uint32_t next) {
    if (State.StackPointer <= 0) {
        stop(CallStackEmptyText(State.StackPointer));
        return next;
    }
    return static_cast<std::uint16_t>(
               State.CallStack[static_cast<std::size_t>(--State.StackPointer)]) &
           addressMask_;
}

// BNNN adds V0, or with the jump quirk VX, where X is the address's top digit.
std::uint32_t StandardInterpreter::jumpWithOffset() const {
    const std::uint32_t offset = kind_.quirks.jump ? State.V[x_] : State.V[0];
    return ((opcode_ & 0xFFFu) + offset) & addressMask_;
}

} // namespace kestrel
