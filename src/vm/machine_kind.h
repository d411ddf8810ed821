#pragma once

#include <cstdint>
#include <string_view>

namespace kestrel {

// Which rules a machine follows: Kestrel's own, or the standard CHIP-8
// machine's common ones (4 KB that wraps, the font at 0x050, 16 stack
// entries, flags written last, timers counted once a frame), refined by its
// quirks.
enum class Rules { Kestrel, Chip8 };

// The CHIP-8 database's seven quirks, named as it names them; each false
// value is the behaviour its quirks.json calls ifFalse. Kestrel's machine
// reads none of them.
struct Quirks {
    bool shift = false;
    bool memoryIncrementByX = false;
    bool memoryLeaveIUnchanged = false;
    bool wrap = false;
    bool jump = false;
    bool vblank = false;
    bool logic = false;
};

// One plain value a machine: everything the handlers that differ read.
struct MachineKind {
    Rules rules = Rules::Kestrel;
    Quirks quirks{};
    int rate = 0;                 // instructions a frame; Kestrel's run sets its own pace
    std::uint32_t memorySize = 0; // addresses formed on a standard machine wrap at this
    std::uint32_t romLimit = 0;   // the longest ROM it loads
    std::uint32_t fontBase = 0;   // where Reset writes the font and FX29 points
    int stackSlots = 0;           // outstanding calls it holds
};

inline constexpr MachineKind KestrelMachine{Rules::Kestrel, {}, 0, 8193, 7681, 4096, 257};
// The database's originalChip8 and modernChip8; they differ only in vblank and logic.
inline constexpr MachineKind CosmacVipMachine{
    Rules::Chip8, {.vblank = true, .logic = true}, 15, 4096, 3584, 0x050, 16};
inline constexpr MachineKind ModernChip8Machine{Rules::Chip8, {}, 12, 4096, 3584, 0x050, 16};

// The seven quirks by the database's names, in the order of its quirks.json.
struct QuirkField {
    std::string_view name;
    bool Quirks::*member;
};
inline constexpr QuirkField QuirkFields[] = {
    {"shift", &Quirks::shift},
    {"memoryIncrementByX", &Quirks::memoryIncrementByX},
    {"memoryLeaveIUnchanged", &Quirks::memoryLeaveIUnchanged},
    {"wrap", &Quirks::wrap},
    {"jump", &Quirks::jump},
    {"vblank", &Quirks::vblank},
    {"logic", &Quirks::logic},
};

// Sets the quirk the database names `name`; false, and nothing changed, for a
// name it does not know. Per-ROM overrides go through here.
inline bool SetQuirk(Quirks& quirks, std::string_view name, bool value) {
    for (const QuirkField& field : QuirkFields) {
        if (field.name == name) {
            quirks.*field.member = value;
            return true;
        }
    }
    return false;
}

// The standard machine's hexadecimal font, 5 bytes a digit, 0 to F.
inline constexpr std::uint8_t Chip8Font[80] = {
    0xF0, 0x90, 0x90, 0x90, 0xF0, 0x20, 0x60, 0x20, 0x20, 0x70, 0xF0, 0x10, 0xF0, 0x80, 0xF0, 0xF0,
    0x10, 0xF0, 0x10, 0xF0, 0x90, 0x90, 0xF0, 0x10, 0x10, 0xF0, 0x80, 0xF0, 0x10, 0xF0, 0xF0, 0x80,
    0xF0, 0x90, 0xF0, 0xF0, 0x10, 0x20, 0x40, 0x40, 0xF0, 0x90, 0xF0, 0x90, 0xF0, 0xF0, 0x90, 0xF0,
    0x10, 0xF0, 0xF0, 0x90, 0xF0, 0x90, 0x90, 0xE0, 0x90, 0xE0, 0x90, 0xE0, 0xF0, 0x80, 0x80, 0x80,
    0xF0, 0xE0, 0x90, 0x90, 0x90, 0xE0, 0xF0, 0x80, 0xF0, 0x80, 0xF0, 0xF0, 0x80, 0xF0, 0x80, 0x80,
};

// The CHIP-8 key value that keypad key n (1..16) stands for: the first
// caption of remap button n - 1. -1 for no key.
inline constexpr int Chip8KeyValue(int keypadKey) {
    constexpr std::uint8_t values[16] = {1, 2, 3,   4,   5,   6,   7,   8,
                                         9, 0, 0xE, 0xF, 0xA, 0xB, 0xC, 0xD};
    return keypadKey >= 1 && keypadKey <= 16 ? values[keypadKey - 1] : -1;
}

} // namespace kestrel
