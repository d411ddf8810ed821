#include "vm/machine.h"

namespace kestrel {

// I is never masked or wrapped; on Kestrel's machine it is checked only where
// it addresses Memory, and on a standard one the address wraps there.

void Machine::LoadIndexWithConstant() {
    State.IndexReg = NNN();
}

void Machine::AddRegToIndex() {
    State.IndexReg += VX();
}

// VX is used whole on Kestrel's machine: digits past F point beyond the font,
// into plain memory. A standard machine takes its low digit.
void Machine::PointIndexToFont() {
    if (standard()) {
        State.IndexReg = kind_.fontBase + 5u * (VX() & 0xFu);
        return;
    }
    State.IndexReg = FontBase + 5u * VX();
}

// Ones digit first, at I+2; the run stops at the first store outside memory.
void Machine::StoreBCD() {
    if (standard()) {
        memoryAt(State.IndexReg) = static_cast<std::uint8_t>(VX() / 100);
        memoryAt(State.IndexReg + 1) = static_cast<std::uint8_t>(VX() / 10 % 10);
        memoryAt(State.IndexReg + 2) = static_cast<std::uint8_t>(VX() % 10);
        return;
    }
    int value = VX();
    for (int k = 3; k >= 1; --k) {
        const std::uint64_t address = State.IndexReg + static_cast<std::uint64_t>(k - 1);
        if (address > LastAddress) return stopRunAtAddress(address);
        State.Memory[address] = static_cast<std::uint8_t>(value % 10);
        value /= 10;
    }
}

void Machine::StoreRegsAtIndex() {
    if (standard()) {
        for (std::uint64_t k = 0; k <= State.Nibble2; ++k)
            memoryAt(State.IndexReg + k) = State.V[k];
        return advanceIndexPastRegs();
    }
    for (std::uint64_t k = 0; k <= State.Nibble2; ++k) {
        const std::uint64_t address = State.IndexReg + k;
        if (address > LastAddress) return stopRunAtAddress(address);
        State.Memory[address] = State.V[k];
    }
}

void Machine::LoadRegsFromIndex() {
    if (standard()) {
        for (std::uint64_t k = 0; k <= State.Nibble2; ++k)
            State.V[k] = memoryAt(State.IndexReg + k);
        return advanceIndexPastRegs();
    }
    for (std::uint64_t k = 0; k <= State.Nibble2; ++k) {
        const std::uint64_t address = State.IndexReg + k;
        if (address > LastAddress) return stopRunAtAddress(address);
        State.V[k] = State.Memory[address];
    }
}

// FX55 and FX65 on a standard machine: I moves past the registers (X + 1),
// by X with memoryIncrementByX, or stays with memoryLeaveIUnchanged.
void Machine::advanceIndexPastRegs() {
    if (kind_.quirks.memoryLeaveIUnchanged) return;
    State.IndexReg += kind_.quirks.memoryIncrementByX ? State.Nibble2 : State.Nibble2 + 1u;
}

} // namespace kestrel
