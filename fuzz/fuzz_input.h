#pragma once

// The layout of one fuzz input, shared by the fuzzer and the seed builder.
//
//   offset  size  field
//   0       16    V0..VF
//   16      4     I (little-endian)
//   20      2     ProgramCounter (little-endian; values above 8191 are allowed)
//   22      2     StackPointer, taken modulo 258 (0..257)
//   24      1     DelayTimer
//   25      1     SoundTimer
//   26      1     KeyPressed, taken modulo 17
//   27      1     flags: bit 0 Paused, bit 1 start at the ROM's reset PC (512),
//                 bit 2 serve posted run requests inside nested yields too,
//                 bits 3..5 the machine (see MachineOf)
//   28      1     number of events E, taken modulo 65
//   29      5E    events: gap in yields (2, LE), kind (1), argument (2, LE)
//   ...     2     ROM length L (LE), clipped to what is left
//   ...     L     the ROM image, placed at 512
//   ...     rest  a second image, the file that Open ROM events load
//
// Missing bytes read as zero, so every byte string is a valid input.

#include "base/platform.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrel::fuzz {

inline constexpr std::size_t HeaderSize = 29;
inline constexpr std::size_t EventSize = 5;
inline constexpr int MaxEvents = 64;

enum class EventKind : std::uint8_t {
    KeyDown, // argument: any host key code (signed 16-bit)
    KeyUp,
    Tick,     // Timer1_Timer
    Pause,    // pausex_Click
    Reset,    // Reset_Click
    OpenRom,  // argument bit 0..1: 0 the second image, 1 no file chosen, 2 a missing file, 3 a
              // folder
    Remap,    // Command1_Click(argument modulo 16)
    RemapRaw, // Command1_Click(argument as a signed index), the guard against bad indexes
    Exit,     // EndAllRuns
    Machine,  // SelectMachine: argument bits 0..2 the machine (see MachineOf); with bit 3,
              // bits 4..10 flip the seven quirks of a standard one, in quirks.json's order
    Count
};

// Machine number n: 0 Kestrel's, 1 the COSMAC VIP, 2 CHIP-8 (modern), 3 SUPER-CHIP 1.1,
// 4 SUPER-CHIP (modern), 5 XO-CHIP; 6 and 7 are 0 and 1 again.
inline constexpr int MachineCount = static_cast<int>(std::size(Platforms));
inline constexpr int MachineOf(int bits) {
    return (bits & 7) % MachineCount;
}
// The Machine event's bit that flips quirks, and the first of the seven it flips.
inline constexpr int QuirkFlipBit = 3;
inline constexpr int FirstQuirkBit = 4;

struct Event {
    std::uint16_t gap;
    EventKind kind;
    std::int16_t argument;
};

// A starting state other than zero registers, I = 0, PC 512 and an empty stack.
struct Start {
    std::uint32_t index = 0;
    std::uint16_t pc = 512;
    std::uint16_t stackDepth = 0;
    std::uint8_t vAll = 0;    // every V register
    std::uint8_t machine = 0; // see MachineOf
};

// Builds an input around a ROM.
inline std::vector<std::uint8_t> SeedFromRom(const std::vector<std::uint8_t>& rom,
                                             const std::vector<Event>& events = {},
                                             const std::vector<std::uint8_t>& second = {},
                                             const Start& start = {}) {
    std::vector<std::uint8_t> out(HeaderSize, 0);
    for (int i = 0; i < 16; ++i)
        out[static_cast<std::size_t>(i)] = start.vAll;
    for (int i = 0; i < 4; ++i)
        out[16 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(start.index >> (8 * i));
    out[20] = static_cast<std::uint8_t>(start.pc & 0xFF);
    out[21] = static_cast<std::uint8_t>(start.pc >> 8);
    out[22] = static_cast<std::uint8_t>(start.stackDepth & 0xFF);
    out[23] = static_cast<std::uint8_t>(start.stackDepth >> 8);
    out[27] =
        static_cast<std::uint8_t>((start.pc == 512 ? 2 : 0) | // bit 1: start where a reset would
                                  (start.machine & 7) << 3);
    out[28] = static_cast<std::uint8_t>(events.size());
    for (const Event& e : events) {
        out.push_back(static_cast<std::uint8_t>(e.gap & 0xFF));
        out.push_back(static_cast<std::uint8_t>(e.gap >> 8));
        out.push_back(static_cast<std::uint8_t>(e.kind));
        const auto arg = static_cast<std::uint16_t>(e.argument);
        out.push_back(static_cast<std::uint8_t>(arg & 0xFF));
        out.push_back(static_cast<std::uint8_t>(arg >> 8));
    }
    out.push_back(static_cast<std::uint8_t>(rom.size() & 0xFF));
    out.push_back(static_cast<std::uint8_t>(rom.size() >> 8));
    out.insert(out.end(), rom.begin(), rom.end());
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

} // namespace kestrel::fuzz
