#pragma once

#include "base/platform.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrel {

// Kestrel's machine's limits, as its row of the platform table gives them.
// Memory runs from 0 to 8192 inclusive: 8193 bytes, not 8192.
inline constexpr std::uint32_t MemorySize = KestrelMachine.memorySize;
inline constexpr std::uint32_t LastAddress = MemorySize - 1;
inline constexpr std::uint32_t ProgramStart = KestrelMachine.programStart;
inline constexpr std::uint32_t FontBase = KestrelMachine.fontBase;
inline constexpr std::uint32_t MaxRomSize = KestrelMachine.romLimit; // 7681
inline constexpr int CallStackSlots = KestrelMachine.stackSlots;
inline constexpr std::span<const std::uint8_t, 80> Font{KestrelFont};
inline constexpr int KeypadKeys = 16;

// The whole virtual machine, field by field in its defining order. Every field
// is zero when the machine is created.
struct MachineState {
    // Kestrel's machine's 8193 bytes; a standard machine sizes it as its own.
    std::vector<std::uint8_t> Memory = std::vector<std::uint8_t>(MemorySize);
    std::array<std::uint8_t, 16> V{};
    // Neither I nor the program counter is masked to 12 bits; 64 bits keep
    // I from ever wrapping however often FX1E adds to it.
    std::uint64_t IndexReg = 0;
    std::uint32_t ProgramCounter = 0;
    int StackPointer = 0; // return addresses held, and the next free slot
    std::array<std::int16_t, CallStackSlots> CallStack{};
    std::uint8_t DelayTimer = 0;
    std::uint8_t SoundTimer = 0;
    std::array<std::uint8_t, KeypadKeys + 1> KeyMap{}; // entry 0 is never used
    int KeyPressed = 0;                                // keypad key 1..16, 0 = none
    std::int16_t LastKeyCode = 0;
    bool Paused = false;
    std::uint8_t Nibble1 = 0;
    std::uint8_t Nibble2 = 0;
    std::uint8_t Nibble3 = 0;
    std::uint8_t Nibble4 = 0;
    int Scratch = 0;

    // A machine chosen starts here: memory of its size, cleared, with `rom`
    // at its program start; registers, stack and timers cleared.
    void StartAfresh(const MachineKind& kind, std::span<const std::uint8_t> rom) {
        Memory.assign(kind.memorySize, 0);
        std::copy(rom.begin(), rom.end(), Memory.begin() + kind.programStart);
        V.fill(0);
        IndexReg = 0;
        StackPointer = 0;
        CallStack.fill(0);
        DelayTimer = 0;
        SoundTimer = 0;
    }
};

} // namespace kestrel
