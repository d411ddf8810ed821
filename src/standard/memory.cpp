#include "standard/standard_interpreter.h"

#include <algorithm>

namespace kestrel {

// Every address formed from I wraps at the end of memory.

void StandardInterpreter::storeBcd() {
    const std::uint8_t value = VX();
    memoryAt(State.IndexReg) = static_cast<std::uint8_t>(value / 100);
    memoryAt(State.IndexReg + 1) = static_cast<std::uint8_t>(value / 10 % 10);
    memoryAt(State.IndexReg + 2) = static_cast<std::uint8_t>(value % 10);
}

// FX55 and FX65: I moves past the registers (X + 1), by X with
// memoryIncrementByX, or stays with memoryLeaveIUnchanged.
void StandardInterpreter::storeRegisters() {
    for (std::uint64_t k = 0; k <= x_; ++k)
        memoryAt(State.IndexReg + k) = State.V[k];
    if (!kind_.quirks.memoryLeaveIUnchanged)
        State.IndexReg += kind_.quirks.memoryIncrementByX ? x_ : x_ + 1u;
}

void StandardInterpreter::loadRegisters() {
    for (std::uint64_t k = 0; k <= x_; ++k)
        State.V[k] = memoryAt(State.IndexReg + k);
    if (!kind_.quirks.memoryLeaveIUnchanged)
        State.IndexReg += kind_.quirks.memoryIncrementByX ? x_ : x_ + 1u;
}

// 5XY2 and 5XY3: VX to VY in the order written, so X above Y goes downwards;
// I stays.
void StandardInterpreter::storeRange() {
    const int step = x_ <= y_ ? 1 : -1;
    const int count = (x_ <= y_ ? y_ - x_ : x_ - y_) + 1;
    for (int k = 0; k < count; ++k)
        memoryAt(State.IndexReg + static_cast<std::uint64_t>(k)) =
            State.V[static_cast<std::size_t>(x_ + step * k)];
}

void StandardInterpreter::loadRange() {
    const int step = x_ <= y_ ? 1 : -1;
    const int count = (x_ <= y_ ? y_ - x_ : x_ - y_) + 1;
    for (int k = 0; k < count; ++k)
        State.V[static_cast<std::size_t>(x_ + step * k)] =
            memoryAt(State.IndexReg + static_cast<std::uint64_t>(k));
}

// FX75 and FX85 reach as many registers as the machine has flags: with X
// past them, V0 to the last flag's register.
void StandardInterpreter::saveFlags() {
    const int last = std::min<int>(x_, kind_.flagRegisters - 1);
    for (int k = 0; k <= last; ++k)
        flagRegisters_[static_cast<std::size_t>(k)] = State.V[static_cast<std::size_t>(k)];
}

void StandardInterpreter::loadFlags() {
    const int last = std::min<int>(x_, kind_.flagRegisters - 1);
    for (int k = 0; k <= last; ++k)
        State.V[static_cast<std::size_t>(k)] = flagRegisters_[static_cast<std::size_t>(k)];
}

// F000 NNNN: the address is the instruction's second word.
void StandardInterpreter::loadLongIndex() {
    State.IndexReg = static_cast<std::uint64_t>(memoryAt(State.ProgramCounter) << 8 |
                                                memoryAt(State.ProgramCounter + 1));
    State.ProgramCounter = (State.ProgramCounter + 2) & addressMask_;
}

} // namespace kestrel
