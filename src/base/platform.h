#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kestrel {

// Which interpreter runs a machine: Kestrel's own, or the standard machines'
// (src/standard/), whose platforms differ only in the data below and in the
// handlers their instruction sets add.
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

// The instructions a standard machine decodes. Each set holds the one before.
enum class InstructionSet { Chip8, SuperChip, XoChip };

// How the HP48's SUPER-CHIP 1.1 drew, where today's programs expect
// otherwise. All false is the modern behaviour.
struct CalculatorScreen {
    bool modeSwitchKeepsPicture = false; // 00FE/00FF leave the screen as it is
    bool scrollInHiresPixels = false;    // in 64 x 32, scrolls move half pixels
    bool loresBigSpriteIsNarrow = false; // DXY0 in 64 x 32 draws 8 x 16
    bool hiresFlagCountsRows = false;    // VF: rows that collided plus rows cut off below
    bool loresDisplayWait = false;       // in 64 x 32 a sprite ends the frame
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
    std::string_view name{};      // as CPU › Machine shows it
    InstructionSet instructions = InstructionSet::Chip8;
    bool hasHires = false;                   // 00FF gives 128 x 64
    int planes = 1;                          // bit planes drawn, 1 or 2
    int flagRegisters = 0;                   // FX75/FX85 reach V0..V(n-1)
    std::span<const std::uint8_t> bigFont{}; // FX30's digits, 10 bytes each, after the small font
    CalculatorScreen calculator{};
};

// The standard machine's hexadecimal font, 5 bytes a digit, 0 to F.
inline constexpr std::uint8_t Chip8Font[80] = {
    0xF0, 0x90, 0x90, 0x90, 0xF0, 0x20, 0x60, 0x20, 0x20, 0x70, 0xF0, 0x10, 0xF0, 0x80, 0xF0, 0xF0,
    0x10, 0xF0, 0x10, 0xF0, 0x90, 0x90, 0xF0, 0x10, 0x10, 0xF0, 0x80, 0xF0, 0x10, 0xF0, 0xF0, 0x80,
    0xF0, 0x90, 0xF0, 0xF0, 0x10, 0x20, 0x40, 0x40, 0xF0, 0x90, 0xF0, 0x90, 0xF0, 0xF0, 0x90, 0xF0,
    0x10, 0xF0, 0xF0, 0x90, 0xF0, 0x90, 0x90, 0xE0, 0x90, 0xE0, 0x90, 0xE0, 0xF0, 0x80, 0x80, 0x80,
    0xF0, 0xE0, 0x90, 0x90, 0x90, 0xE0, 0xF0, 0x80, 0xF0, 0x80, 0xF0, 0xF0, 0x80, 0xF0, 0x80, 0x80,
};

// SUPER-CHIP 1.1's big digits 0-9, 8 x 10 pixels each.
inline constexpr std::uint8_t SuperChipBigFont[100] = {
    0x3C, 0x7E, 0xE7, 0xC3, 0xC3, 0xC3, 0xC3, 0xE7, 0x7E, 0x3C, // 0
    0x18, 0x38, 0x58, 0x18, 0x18, 0x18, 0x18, 0x18, 0x18, 0x3C, // 1
    0x3E, 0x7F, 0xC3, 0x06, 0x0C, 0x18, 0x30, 0x60, 0xFF, 0xFF, // 2
    0x3C, 0x7E, 0xC3, 0x03, 0x0E, 0x0E, 0x03, 0xC3, 0x7E, 0x3C, // 3
    0x06, 0x0E, 0x1E, 0x36, 0x66, 0xC6, 0xFF, 0xFF, 0x06, 0x06, // 4
    0xFF, 0xFF, 0xC0, 0xC0, 0xFC, 0xFE, 0x03, 0xC3, 0x7E, 0x3C, // 5
    0x3E, 0x7C, 0xE0, 0xC0, 0xFC, 0xFE, 0xC3, 0xC3, 0x7E, 0x3C, // 6
    0xFF, 0xFF, 0x03, 0x06, 0x0C, 0x18, 0x30, 0x60, 0x60, 0x60, // 7
    0x3C, 0x7E, 0xC3, 0xC3, 0x7E, 0x7E, 0xC3, 0xC3, 0x7E, 0x3C, // 8
    0x3C, 0x7E, 0xC3, 0xC3, 0x7F, 0x3F, 0x03, 0x03, 0x3E, 0x7C, // 9
};

// XO-CHIP's big digits 0-F, 8 x 10 pixels each.
inline constexpr std::uint8_t XoChipBigFont[160] = {
    0xFF, 0xFF, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xFF, 0xFF, // 0
    0x18, 0x78, 0x78, 0x18, 0x18, 0x18, 0x18, 0x18, 0xFF, 0xFF, // 1
    0xFF, 0xFF, 0x03, 0x03, 0xFF, 0xFF, 0xC0, 0xC0, 0xFF, 0xFF, // 2
    0xFF, 0xFF, 0x03, 0x03, 0xFF, 0xFF, 0x03, 0x03, 0xFF, 0xFF, // 3
    0xC3, 0xC3, 0xC3, 0xC3, 0xFF, 0xFF, 0x03, 0x03, 0x03, 0x03, // 4
    0xFF, 0xFF, 0xC0, 0xC0, 0xFF, 0xFF, 0x03, 0x03, 0xFF, 0xFF, // 5
    0xFF, 0xFF, 0xC0, 0xC0, 0xFF, 0xFF, 0xC3, 0xC3, 0xFF, 0xFF, // 6
    0xFF, 0xFF, 0x03, 0x03, 0x06, 0x0C, 0x18, 0x18, 0x18, 0x18, // 7
    0xFF, 0xFF, 0xC3, 0xC3, 0xFF, 0xFF, 0xC3, 0xC3, 0xFF, 0xFF, // 8
    0xFF, 0xFF, 0xC3, 0xC3, 0xFF, 0xFF, 0x03, 0x03, 0xFF, 0xFF, // 9
    0x7E, 0xFF, 0xC3, 0xC3, 0xC3, 0xFF, 0xFF, 0xC3, 0xC3, 0xC3, // A
    0xFC, 0xFC, 0xC3, 0xC3, 0xFC, 0xFC, 0xC3, 0xC3, 0xFC, 0xFC, // B
    0x3C, 0xFF, 0xC3, 0xC0, 0xC0, 0xC0, 0xC0, 0xC3, 0xFF, 0x3C, // C
    0xFC, 0xFE, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xC3, 0xFE, 0xFC, // D
    0xFF, 0xFF, 0xC0, 0xC0, 0xFF, 0xFF, 0xC0, 0xC0, 0xFF, 0xFF, // E
    0xFF, 0xFF, 0xC0, 0xC0, 0xFF, 0xFF, 0xC0, 0xC0, 0xC0, 0xC0, // F
};

// The platform table. Kestrel's machine reads only its limits from here.
inline constexpr MachineKind KestrelMachine{.rules = Rules::Kestrel,
                                            .memorySize = 8193,
                                            .romLimit = 7681,
                                            .fontBase = 4096,
                                            .stackSlots = 257,
                                            .name = "Kestrel"};
// The database's originalChip8 and modernChip8; they differ only in vblank and logic.
inline constexpr MachineKind CosmacVipMachine{.rules = Rules::Chip8,
                                              .quirks = {.vblank = true, .logic = true},
                                              .rate = 15,
                                              .memorySize = 4096,
                                              .romLimit = 3584,
                                              .fontBase = 0x050,
                                              .stackSlots = 16,
                                              .name = "CHIP-8 (COSMAC VIP)"};
inline constexpr MachineKind ModernChip8Machine{.rules = Rules::Chip8,
                                                .rate = 12,
                                                .memorySize = 4096,
                                                .romLimit = 3584,
                                                .fontBase = 0x050,
                                                .stackSlots = 16,
                                                .name = "CHIP-8 (modern)"};
// The database's superchip quirks on both; 1.1 adds the calculator's screen.
inline constexpr MachineKind SuperChipModernMachine{
    .rules = Rules::Chip8,
    .quirks = {.shift = true, .memoryLeaveIUnchanged = true, .jump = true},
    .rate = 30,
    .memorySize = 4096,
    .romLimit = 3584,
    .fontBase = 0x050,
    .stackSlots = 16,
    .name = "SUPER-CHIP (modern)",
    .instructions = InstructionSet::SuperChip,
    .hasHires = true,
    .flagRegisters = 8,
    .bigFont = SuperChipBigFont};
// The same with the calculator's screen.
inline constexpr MachineKind SuperChip11Machine = [] {
    MachineKind kind = SuperChipModernMachine;
    kind.name = "SUPER-CHIP 1.1";
    kind.calculator = {.modeSwitchKeepsPicture = true,
                       .scrollInHiresPixels = true,
                       .loresBigSpriteIsNarrow = true,
                       .hiresFlagCountsRows = true,
                       .loresDisplayWait = true};
    return kind;
}();
// The database's xochip quirks: sprites wrap, the rest as on CHIP-8 (modern).
inline constexpr MachineKind XoChipMachine{.rules = Rules::Chip8,
                                           .quirks = {.wrap = true},
                                           .rate = 100,
                                           .memorySize = 65536,
                                           .romLimit = 65024,
                                           .fontBase = 0x050,
                                           .stackSlots = 16,
                                           .name = "XO-CHIP",
                                           .instructions = InstructionSet::XoChip,
                                           .hasHires = true,
                                           .planes = 2,
                                           .flagRegisters = 16,
                                           .bigFont = XoChipBigFont};

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

// The CHIP-8 key value that keypad key n (1..16) stands for: the first
// caption of remap button n - 1. -1 for no key.
inline constexpr int Chip8KeyValue(int keypadKey) {
    constexpr std::uint8_t values[16] = {1, 2, 3,   4,   5,   6,   7,   8,
                                         9, 0, 0xE, 0xF, 0xA, 0xB, 0xC, 0xD};
    return keypadKey >= 1 && keypadKey <= 16 ? values[keypadKey - 1] : -1;
}

} // namespace kestrel
