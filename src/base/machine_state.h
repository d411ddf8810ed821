#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrel {

// Memory runs from 0 to 8192 inclusive: 8193 bytes, not 8192.
inline constexpr std::uint32_t MemorySize = 8193;
inline constexpr std::uint32_t LastAddress = MemorySize - 1;
inline constexpr std::uint32_t ProgramStart = 512;
inline constexpr std::uint32_t FontBase = 4096;
// The longest ROM that fits between ProgramStart and LastAddress.
inline constexpr std::uint32_t MaxRomSize = MemorySize - ProgramStart; // 7681

inline constexpr int CallStackSlots = 257;
inline constexpr int KeypadKeys = 16;

// Sixteen 4 x 5 digit glyphs, five rows a digit; the high nibble of each row is
// the pixels, left to right.
inline constexpr std::array<std::uint8_t, 80> Font = {
    0x60, 0x90, 0x90, 0x90, 0x60, // 0
    0x60, 0xE0, 0x60, 0x60, 0xF0, // 1
    0x60, 0x90, 0x20, 0x40, 0xF0, // 2
    0xE0, 0x10, 0x60, 0x10, 0xE0, // 3
    0xA0, 0xA0, 0xF0, 0x20, 0x20, // 4
    0xF0, 0x80, 0xF0, 0x10, 0xF0, // 5
    0xF0, 0x80, 0xF0, 0x90, 0xF0, // 6
    0xF0, 0x10, 0x20, 0x40, 0x80, // 7
    0x60, 0x90, 0x60, 0x90, 0x60, // 8
    0xF0, 0x90, 0xF0, 0x10, 0xF0, // 9
    0x60, 0x90, 0xF0, 0x90, 0x90, // A
    0xE0, 0x90, 0xE0, 0x90, 0xE0, // B
    0x70, 0x80, 0x80, 0x80, 0x70, // C
    0xE0, 0x90, 0x90, 0x90, 0xE0, // D
    0xF0, 0x80, 0xE0, 0x80, 0xF0, // E
    0xF0, 0x80, 0xE0, 0x80, 0x80, // F
};

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

    // A machine chosen starts here: memory of `memorySize` bytes, cleared,
    // with `rom` from 512; registers, stack and timers cleared.
    void StartAfresh(std::size_t memorySize, std::span<const std::uint8_t> rom) {
        Memory.assign(memorySize, 0);
        std::copy(rom.begin(), rom.end(), Memory.begin() + ProgramStart);
        V.fill(0);
        IndexReg = 0;
        StackPointer = 0;
        CallStack.fill(0);
        DelayTimer = 0;
        SoundTimer = 0;
    }
};

} // namespace kestrel
