#include "standard/standard_interpreter.h"

#include <algorithm>
#include <cstdlib>

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
    advanceIndexPastRegisters();
}

void StandardInterpreter::loadRegisters() {
    for (std::uint64_t k = 0; k <= x_; ++k)
        State.V[k] = memoryAt(State.IndexReg + k);
    advanceIndexPastRegisters();
}

void StandardInterpreter::advanceIndexPastRegisters() {
    if (!kind_.quirks.memoryLeaveIUnchanged)
        State.IndexReg += kind_.quirks.memoryIncrementByX ? x_ : x_ + 1u;
}

// 5XY2 and 5XY3: VX to VY in the order written, so X above Y goes downwards;
// I stays. Register k of the range is V(X + step k), at I + k.
void StandardInterpreter::storeRange() {
    for (int k = 0; k <= std::abs(y_ - x_); ++k)
        memoryAt(State.IndexReg + static_cast<std::uint64_t>(k)) = State.V[rangeRegister(k)];
}

void StandardInterpreter::loadRange() {
    for (int k = 0; k <= std::abs(y_ - x_); ++k)
        State.V[rangeRegister(k)] = memoryAt(State.IndexReg + static_cast<std::uint64_t>(k));
}

std::size_t StandardInterpreter::rangeRegister(int k) const {
    return static_cast<std::size_t>(x_ <= y_ ? x_ + k : x_ - k);
}

// FX75 and FX85 reach as many registers as the machine has flags: with X
// past them, V0 to the last flag's register.
void StandardInterpreter::saveFlags() {
    std::copy_n(State.V.begin(), flagCount(), flagRegisters_.begin());
}

void StandardInterpreter::loadFlags() {
    std::copy_n(flagRegisters_.begin(), flagCount(), State.V.begin());
}

int StandardInterpreter::flagCount() const {
    return std::min<int>(x_ + 1, kind_.flagRegisters);
}

// F000 NNNN: the address is the instruction's second word, at `next`; the
// run goes on after it.
std::uint32_t StandardInterpreter::loadLongIndex(std::uint32_t next) {
    State.IndexReg = static_cast<std::uint64_t>(memoryAt(next) << 8 | memoryAt(next + 1));
    return (next + 2) & addressMask_;
}

} // namespace kestrel
