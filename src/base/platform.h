#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrel {

// Which interpreter runs a machine: Kestrel's own, or the standard one
// (src/standard/), whose platforms differ only in the data below and in the
// handlers their instruction sets add.
enum class Engine { Kestrel, Standard };

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

// What a standard machine decodes beyond CHIP-8's own instructions.
struct Extensions {
    bool superChip = false; // scrolls, 00FD-00FF, DXY0, FX30, FX75/FX85
    bool xoChip = false;    // 00DN, 5XY2/5XY3, F000 NNNN, FN01, F002, FX3A
    bool twoPage = false;   // 0230 clears the 64 x 64 screen
};

// How the HP48's SUPER-CHIP 1.1 drew, where today's programs expect
// otherwise. All false is the modern behaviour.
struct CalculatorScreen {
    bool modeSwitchKeepsPicture = false; // 00FE/00FF leave the screen as it is
    bool scrollInHiresPixels = false;    // in 64 x 32, scrolls move half pixels
    bool loresBigSpriteIsNarrow = false; // DXY0 in 64 x 32 draws 8 x 16
    bool hiresFlagCountsRows = false;    // VF: rows that collided plus rows cut off below
    bool loresDisplayWait = false;       // in 64 x 32 a sprite ends the frame
};

// The screen's sizes in CHIP-8 pixels: the low-resolution mode a program
// starts in, and 00FF's, if the machine has it (0 x 0: none).
struct ScreenSizes {
    int width = 64;
    int height = 32;
    int hiresWidth = 0;
    int hiresHeight = 0;
};

// How a machine keeps time: Kestrel's by its own run loop and the window's
// tick, the standard machines by the window's frames.
enum class Clock { Tick, Frames };

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

// Sixteen 4 x 5 digit glyphs, five rows a digit; the high nibble of each row is
// the pixels, left to right.
inline constexpr std::uint8_t KestrelFont[80] = {
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

// A standard machine's colours of none, plane 1, plane 2 and both, as 0xRRGGBB.
using Palette = std::array<std::int32_t, 4>;
inline constexpr Palette DefaultPalette = {0x000000, 0x00FF00, 0xFF00FF, 0xFFFFFF};

// One plain value a machine: everything in which machines differ, read by
// the handlers and by every front end.
struct MachineKind {
    Engine engine = Engine::Kestrel;
    Clock clock = Clock::Tick;
    Quirks quirks{};
    // Limits.
    std::uint32_t memorySize = 0;     // addresses formed on a standard machine wrap at this
    std::uint32_t romLimit = 0;       // the longest ROM it loads
    std::uint32_t programStart = 512; // where a ROM goes and the run begins
    int stackSlots = 0;               // outstanding calls it holds
    // Screen.
    ScreenSizes screen{};
    int planes = 1; // bit planes drawn, 1 or 2: it shows 2 to the power of planes colours
    CalculatorScreen calculator{};
    // Instructions, fonts, flags and pace.
    Extensions extensions{};
    std::span<const std::uint8_t> font = Chip8Font; // FX29's digits, 5 bytes each
    std::uint32_t fontBase = 0;                     // where Reset writes the font and FX29 points
    std::span<const std::uint8_t> bigFont{};        // FX30's digits, 10 bytes each, after the font
    int flagRegisters = 0;                          // FX75/FX85 reach V0..V(n-1)
    int rate = 0; // instructions a frame; Kestrel's run sets its own pace
    // Kestrel's tone: FX18's value v sounds toneHz for v x toneUnitMs.
    int toneHz = 0;
    int toneUnitMs = 0;
    // Names: in CPU › Machine, its menu item's object name, on kestrel-run's
    // command line, and the CHIP-8 database's platform ids it runs.
    std::string_view name{};
    std::string_view objectName{};
    std::string_view commandName{};
    std::span<const std::string_view> databaseIds{};
    // What a refusal of a ROM too long calls the ROM; empty: "a ROM for <name>".
    std::string_view refusalHolder{};

    bool hasHires() const { return screen.hiresWidth > 0; }
};

// The platform table. Kestrel's limits are written here and nowhere else.
inline constexpr MachineKind KestrelMachine{.engine = Engine::Kestrel,
                                            .clock = Clock::Tick,
                                            .memorySize = 8193, // 0 to 8192 inclusive
                                            .romLimit = 8193 - 512,
                                            .stackSlots = 257,
                                            .font = KestrelFont,
                                            .fontBase = 4096,
                                            .toneHz = 500,
                                            .toneUnitMs = 10,
                                            .name = "Kestrel",
                                            .objectName = "machineKestrel",
                                            .commandName = "kestrel",
                                            .refusalHolder = "a ROM"};

inline constexpr std::string_view OriginalChip8Ids[] = {"originalChip8"};
inline constexpr std::string_view ModernChip8Ids[] = {"modernChip8"};
inline constexpr std::string_view SuperChipIds[] = {"superchip", "superchip1", "chip48"};
inline constexpr std::string_view XoChipIds[] = {"xochip"};

// The database's originalChip8 and modernChip8; they differ only in vblank and logic.
inline constexpr MachineKind CosmacVipMachine{.engine = Engine::Standard,
                                              .clock = Clock::Frames,
                                              .quirks = {.vblank = true, .logic = true},
                                              .memorySize = 4096,
                                              .romLimit = 3584,
                                              .stackSlots = 16,
                                              .fontBase = 0x050,
                                              .rate = 15,
                                              .name = "CHIP-8 (COSMAC VIP)",
                                              .objectName = "machineCosmacVip",
                                              .commandName = "cosmac-vip",
                                              .databaseIds = OriginalChip8Ids};
inline constexpr MachineKind ModernChip8Machine = [] {
    MachineKind kind = CosmacVipMachine;
    kind.quirks = {};
    kind.rate = 12;
    kind.name = "CHIP-8 (modern)";
    kind.objectName = "machineModern";
    kind.commandName = "chip-8";
    kind.databaseIds = ModernChip8Ids;
    return kind;
}();
// The COSMAC VIP's two-page interpreter for the "hi-res" programs: a 64 x 64
// screen and 0230 to clear it; the rest is the VIP's CHIP-8. Its programs
// begin with 1260, a jump over that interpreter's own routines.
inline constexpr MachineKind TwoPageMachine = [] {
    MachineKind kind = CosmacVipMachine;
    kind.screen = {.width = 64, .height = 64};
    kind.extensions.twoPage = true;
    kind.name = "CHIP-8 (two-page, 64 x 64)";
    kind.objectName = "machineTwoPage";
    kind.commandName = "two-page";
    kind.databaseIds = {};
    return kind;
}();
// The database's superchip quirks on both; 1.1 adds the calculator's screen.
inline constexpr MachineKind SuperChipModernMachine = [] {
    MachineKind kind = CosmacVipMachine;
    kind.quirks = {.shift = true, .memoryLeaveIUnchanged = true, .jump = true};
    kind.screen = {.width = 64, .height = 32, .hiresWidth = 128, .hiresHeight = 64};
    kind.extensions.superChip = true;
    kind.bigFont = SuperChipBigFont;
    kind.flagRegisters = 8;
    kind.rate = 30;
    kind.name = "SUPER-CHIP (modern)";
    kind.objectName = "machineSuperChipModern";
    kind.commandName = "superchip";
    kind.databaseIds = SuperChipIds;
    return kind;
}();
inline constexpr MachineKind SuperChip11Machine = [] {
    MachineKind kind = SuperChipModernMachine;
    kind.calculator = {.modeSwitchKeepsPicture = true,
                       .scrollInHiresPixels = true,
                       .loresBigSpriteIsNarrow = true,
                       .hiresFlagCountsRows = true,
                       .loresDisplayWait = true};
    kind.name = "SUPER-CHIP 1.1";
    kind.objectName = "machineSuperChip11";
    kind.commandName = "superchip-1.1";
    kind.databaseIds = {};
    return kind;
}();
// The database's xochip quirks: sprites wrap, the rest as on CHIP-8 (modern).
inline constexpr MachineKind XoChipMachine = [] {
    MachineKind kind = SuperChipModernMachine;
    kind.quirks = {.wrap = true};
    kind.memorySize = 65536;
    kind.romLimit = 65536 - 512;
    kind.planes = 2;
    kind.extensions.xoChip = true;
    kind.bigFont = XoChipBigFont;
    kind.flagRegisters = 16;
    kind.rate = 100;
    kind.name = "XO-CHIP";
    kind.objectName = "machineXoChip";
    kind.commandName = "xo-chip";
    kind.databaseIds = XoChipIds;
    return kind;
}();

// Every machine, in the order CPU › Machine lists them.
inline constexpr const MachineKind* Platforms[] = {
    &KestrelMachine,     &CosmacVipMachine,       &ModernChip8Machine, &TwoPageMachine,
    &SuperChip11Machine, &SuperChipModernMachine, &XoChipMachine,
};

// The machine that runs the database's platform `id`, or none.
inline constexpr const MachineKind* MachineForDatabaseId(std::string_view id) {
    for (const MachineKind* kind : Platforms) {
        for (std::string_view known : kind->databaseIds) {
            if (known == id) return kind;
        }
    }
    return nullptr;
}

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
