#include "standard/standard_interpreter.h"

namespace kestrel {

namespace {

std::string instructionText(std::uint16_t opcode, std::uint32_t at) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    const std::string word = {Hex[opcode >> 12], Hex[(opcode >> 8) & 15], Hex[(opcode >> 4) & 15],
                              Hex[opcode & 15]};
    return "Instruction " + word + " at address " + std::to_string(at);
}

} // namespace

// The machine stops; the message reaches the player once the frame is over.
void StandardInterpreter::stop(const std::string& why) {
    leaveRunning(Status::Faulted);
    stopSound();
    fault_ = instructionText(opcode_, at_) + " " + why +
             " The run has stopped; choose Reset or Open ROM to start again.";
}

// Calls and returns take the address after the instruction and return the
// one the run goes on from; a fault leaves it after the instruction.
std::uint32_t StandardInterpreter::call(std::uint32_t next, std::uint32_t address) {
    if (State.StackPointer >= kind_.stackSlots) {
        stop("would make a call with the call stack full (depth " +
             std::to_string(State.StackPointer) + " of " + std::to_string(kind_.stackSlots) + ").");
        return next;
    }
    State.CallStack[static_cast<std::size_t>(State.StackPointer++)] =
        static_cast<std::int16_t>(next);
    return address;
}

std::uint32_t StandardInterpreter::returnFromCall(std::uint32_t next) {
    if (State.StackPointer <= 0) {
        stop("would return with the call stack empty (depth " + std::to_string(State.StackPointer) +
             ").");
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
