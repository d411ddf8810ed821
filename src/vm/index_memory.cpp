#include "vm/kestrel_interpreter.h"

namespace kestrel {

// I is never masked or wrapped; it is checked only where it addresses Memory.

void KestrelInterpreter::LoadIndexWithConstant() {
    State.IndexReg = NNN();
}

void KestrelInterpreter::AddRegToIndex() {
    State.IndexReg += VX();
}

// VX is used whole: digits past F point beyond the font, into plain memory.
void KestrelInterpreter::PointIndexToFont() {
    State.IndexReg = FontBase + 5u * VX();
}

// Ones digit first, at I+2; the run stops at the first store outside memory.
void KestrelInterpreter::StoreBCD() {
    int value = VX();
    for (int k = 3; k >= 1; --k) {
        const std::uint64_t address = State.IndexReg + static_cast<std::uint64_t>(k - 1);
        if (address > LastAddress) return stopRunAtAddress(address);
        State.Memory[address] = static_cast<std::uint8_t>(value % 10);
        value /= 10;
    }
}

void KestrelInterpreter::StoreRegsAtIndex() {
    for (std::uint64_t k = 0; k <= State.Nibble2; ++k) {
        const std::uint64_t address = State.IndexReg + k;
        if (address > LastAddress) return stopRunAtAddress(address);
        State.Memory[address] = State.V[k];
    }
}

void KestrelInterpreter::LoadRegsFromIndex() {
    for (std::uint64_t k = 0; k <= State.Nibble2; ++k) {
        const std::uint64_t address = State.IndexReg + k;
        if (address > LastAddress) return stopRunAtAddress(address);
        State.V[k] = State.Memory[address];
    }
}

} // namespace kestrel
