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
    status_ = Status::Faulted;
    stopSound();
    fault_ = instructionText(opcode_, at_) + " " + why +
             " The run has stopped; choose Reset or Open ROM to start again.";
}

void StandardInterpreter::call(std::uint32_t address) {
    if (State.StackPointer >= kind_.stackSlots) {
        return stop("would make a call with the call stack full (depth " +
                    std::to_string(State.StackPointer) + " of " + std::to_string(kind_.stackSlots) +
                    ").");
    }
    State.CallStack[static_cast<std::size_t>(State.StackPointer++)] =
        static_cast<std::int16_t>(State.ProgramCounter);
    State.ProgramCounter = address;
}

void StandardInterpreter::returnFromCall() {
    if (State.StackPointer <= 0) {
        return stop("would return with the call stack empty (depth " +
                    std::to_string(State.StackPointer) + ").");
    }
    State.ProgramCounter = static_cast<std::uint16_t>(
                               State.CallStack[static_cast<std::size_t>(--State.StackPointer)]) &
                           addressMask_;
}

// BNNN adds V0, or with the jump quirk VX, where X is the address's top digit.
void StandardInterpreter::jumpWithOffset() {
    const std::uint32_t offset = kind_.quirks.jump ? VX() : State.V[0];
    State.ProgramCounter = ((opcode_ & 0xFFFu) + offset) & addressMask_;
}

} // namespace kestrel
