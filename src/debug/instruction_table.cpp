#include "debug/instruction_table.h"

#include <array>
#include <cstddef>
#include <memory>

namespace kestrel::debug {

namespace {

using enum Flow;

// A set that adds rows to another tries its own first: XO-CHIP's 5XY2 comes
// before the 5XYN skip it narrows.
template <std::size_t A, std::size_t B>
constexpr std::array<InstructionInfo, A + B> Join(const std::array<InstructionInfo, A>& first,
                                                  const std::array<InstructionInfo, B>& then) {
    std::array<InstructionInfo, A + B> joined{};
    for (std::size_t i = 0; i < A; ++i)
        joined[i] = first[i];
    for (std::size_t i = 0; i < B; ++i)
        joined[A + i] = then[i];
    return joined;
}

// Kestrel's machine looks only at the nibbles its dispatch examines, and
// never at the second: 0AE0 clears, 03EE returns, 5XY1 runs as 5XY0, E190 as
// EX9E and F123 as FX29.
constexpr std::array<InstructionInfo, 34> KestrelTable{{
    {0x00E0, 0xF0FF, "clear", 2, Plain},
    {0x00EE, 0xF0FF, "return", 2, Return},
    {0x1000, 0xF000, "jump {nnn}", 2, Jump},
    {0x2000, 0xF000, ":call {nnn}", 2, Call},
    {0x3000, 0xF000, "if v{x} != {nn} then", 2, Skip},
    {0x4000, 0xF000, "if v{x} == {nn} then", 2, Skip},
    {0x5000, 0xF000, "if v{x} != v{y} then", 2, Skip},
    {0x6000, 0xF000, "v{x} := {nn}", 2, Plain},
    {0x7000, 0xF000, "v{x} += {nn}", 2, Plain},
    {0x8000, 0xF00F, "v{x} := v{y}", 2, Plain},
    {0x8001, 0xF00F, "v{x} |= v{y}", 2, Plain},
    {0x8002, 0xF00F, "v{x} &= v{y}", 2, Plain},
    {0x8003, 0xF00F, "v{x} ^= v{y}", 2, Plain},
    {0x8004, 0xF00F, "v{x} += v{y}", 2, Plain},
    {0x8005, 0xF00F, "v{x} -= v{y}", 2, Plain},
    {0x8006, 0xF00F, "v{x} >>= v{y}", 2, Plain},
    {0x8007, 0xF00F, "v{x} =- v{y}", 2, Plain},
    {0x800E, 0xF00F, "v{x} <<= v{y}", 2, Plain},
    {0x9000, 0xF000, "if v{x} == v{y} then", 2, Skip},
    {0xA000, 0xF000, "i := {nnn}", 2, Plain},
    {0xB000, 0xF000, "jump0 {nnn}", 2, JumpOffset},
    {0xC000, 0xF000, "v{x} := random {nn}", 2, Plain},
    {0xD000, 0xF000, "sprite v{x} v{y} {n}", 2, Plain},
    {0xE090, 0xF0F0, "if v{x} -key then", 2, Skip},
    {0xE0A0, 0xF0F0, "if v{x} key then", 2, Skip},
    {0xF007, 0xF0FF, "v{x} := delay", 2, Plain},
    {0xF00A, 0xF0FF, "v{x} := key", 2, Wait},
    {0xF015, 0xF0FF, "delay := v{x}", 2, Plain},
    {0xF018, 0xF0FF, "buzzer := v{x}", 2, Plain},
    {0xF01E, 0xF0FF, "i += v{x}", 2, Plain},
    {0xF020, 0xF0F0, "i := hex v{x}", 2, Plain},
    {0xF030, 0xF0F0, "bcd v{x}", 2, Plain, Writes::Bcd},
    {0xF050, 0xF0F0, "save v{x}", 2, Plain, Writes::ThroughX},
    {0xF060, 0xF0F0, "load v{x}", 2, Plain},
}};

// The standard machines decode leniently: 5XYN and 9XYN compare whatever N
// is, and DXY0 draws (no rows on CHIP-8, 16 x 16 from SUPER-CHIP on).
constexpr std::array<InstructionInfo, 34> Chip8Table{{
    {0x00E0, 0xFFFF, "clear", 2, Plain},
    {0x00EE, 0xFFFF, "return", 2, Return},
    {0x1000, 0xF000, "jump {nnn}", 2, Jump},
    {0x2000, 0xF000, ":call {nnn}", 2, Call},
    {0x3000, 0xF000, "if v{x} != {nn} then", 2, Skip},
    {0x4000, 0xF000, "if v{x} == {nn} then", 2, Skip},
    {0x5000, 0xF000, "if v{x} != v{y} then", 2, Skip},
    {0x6000, 0xF000, "v{x} := {nn}", 2, Plain},
    {0x7000, 0xF000, "v{x} += {nn}", 2, Plain},
    {0x8000, 0xF00F, "v{x} := v{y}", 2, Plain},
    {0x8001, 0xF00F, "v{x} |= v{y}", 2, Plain},
    {0x8002, 0xF00F, "v{x} &= v{y}", 2, Plain},
    {0x8003, 0xF00F, "v{x} ^= v{y}", 2, Plain},
    {0x8004, 0xF00F, "v{x} += v{y}", 2, Plain},
    {0x8005, 0xF00F, "v{x} -= v{y}", 2, Plain},
    {0x8006, 0xF00F, "v{x} >>= v{y}", 2, Plain},
    {0x8007, 0xF00F, "v{x} =- v{y}", 2, Plain},
    {0x800E, 0xF00F, "v{x} <<= v{y}", 2, Plain},
    {0x9000, 0xF000, "if v{x} == v{y} then", 2, Skip},
    {0xA000, 0xF000, "i := {nnn}", 2, Plain},
    {0xB000, 0xF000, "jump0 {nnn}", 2, JumpOffset},
    {0xC000, 0xF000, "v{x} := random {nn}", 2, Plain},
    {0xD000, 0xF000, "sprite v{x} v{y} {n}", 2, Plain},
    {0xE09E, 0xF0FF, "if v{x} -key then", 2, Skip},
    {0xE0A1, 0xF0FF, "if v{x} key then", 2, Skip},
    {0xF007, 0xF0FF, "v{x} := delay", 2, Plain},
    {0xF00A, 0xF0FF, "v{x} := key", 2, Wait},
    {0xF015, 0xF0FF, "delay := v{x}", 2, Plain},
    {0xF018, 0xF0FF, "buzzer := v{x}", 2, Plain},
    {0xF01E, 0xF0FF, "i += v{x}", 2, Plain},
    {0xF029, 0xF0FF, "i := hex v{x}", 2, Plain},
    {0xF033, 0xF0FF, "bcd v{x}", 2, Plain, Writes::Bcd},
    {0xF055, 0xF0FF, "save v{x}", 2, Plain, Writes::ThroughX},
    {0xF065, 0xF0FF, "load v{x}", 2, Plain},
}};

// SUPER-CHIP's screen instructions want X = 0; 00FD ends the program.
constexpr std::array<InstructionInfo, 9> SuperChipAdds{{
    {0x00C0, 0xFFF0, "scroll-down {n}", 2, Plain},
    {0x00FB, 0xFFFF, "scroll-right", 2, Plain},
    {0x00FC, 0xFFFF, "scroll-left", 2, Plain},
    {0x00FD, 0xFFFF, "exit", 2, Exit},
    {0x00FE, 0xFFFF, "lores", 2, Plain},
    {0x00FF, 0xFFFF, "hires", 2, Plain},
    {0xF030, 0xF0FF, "i := bighex v{x}", 2, Plain},
    {0xF075, 0xF0FF, "saveflags v{x}", 2, Plain},
    {0xF085, 0xF0FF, "loadflags v{x}", 2, Plain},
}};

// F000 and F002 want X = 0; FN01 keeps the low two bits of N.
constexpr std::array<InstructionInfo, 7> XoChipAdds{{
    {0x00D0, 0xFFF0, "scroll-up {n}", 2, Plain},
    {0x5002, 0xF00F, "save v{x} - v{y}", 2, Plain, Writes::XThroughY},
    {0x5003, 0xF00F, "load v{x} - v{y}", 2, Plain},
    {0xF000, 0xFFFF, "i := long {nnnn}", 4, Plain},
    {0xF001, 0xF0FF, "plane {p}", 2, Plain},
    {0xF002, 0xFFFF, "audio", 2, Plain},
    {0xF03A, 0xF0FF, "pitch := v{x}", 2, Plain},
}};

constexpr std::array<InstructionInfo, 1> TwoPageAdds{{
    {0x0230, 0xFFFF, "clear", 2, Plain},
}};

constexpr auto SuperChipTable = Join(SuperChipAdds, Chip8Table);
constexpr auto XoChipTable = Join(XoChipAdds, SuperChipTable);
constexpr auto TwoPageTable = Join(TwoPageAdds, Chip8Table);

// The fields a format may name; the disassembler fills in these alone.
constexpr bool KnownField(std::string_view field) {
    for (std::string_view known : {"x", "y", "n", "nn", "nnn", "nnnn", "p"}) {
        if (field == known) return true;
    }
    return false;
}

// Every row's value lies under its mask, or it could never match, and every
// field of its format is closed and known.
constexpr bool WellFormed(std::span<const InstructionInfo> rows) {
    for (const InstructionInfo& row : rows) {
        if ((row.value & row.mask) != row.value) return false;
        const std::string_view format = row.format;
        for (std::size_t open = format.find('{'); open != std::string_view::npos;
             open = format.find('{', open + 1)) {
            const std::size_t close = format.find('}', open);
            if (close == std::string_view::npos ||
                !KnownField(format.substr(open + 1, close - open - 1)))
                return false;
        }
    }
    return true;
}
static_assert(WellFormed(KestrelTable) && WellFormed(XoChipTable) && WellFormed(TwoPageTable));

std::uint8_t byteAt(InstructionSetId set, std::span<const std::uint8_t> memory,
                    std::uint32_t address) {
    return memory[WrapsAddresses(set) ? address % memory.size() : address];
}

std::uint16_t wordAt(InstructionSetId set, std::span<const std::uint8_t> memory,
                     std::uint32_t address) {
    return static_cast<std::uint16_t>(byteAt(set, memory, address) << 8 |
                                      byteAt(set, memory, address + 1));
}

} // namespace

std::span<const InstructionInfo> Instructions(InstructionSetId set) {
    switch (set) {
    case InstructionSetId::Kestrel: return KestrelTable;
    case InstructionSetId::Chip8: return Chip8Table;
    case InstructionSetId::SuperChip: return SuperChipTable;
    case InstructionSetId::XoChip: return XoChipTable;
    case InstructionSetId::Chip8TwoPage: return TwoPageTable;
    }
    return {};
}

const InstructionInfo* Decode(InstructionSetId set, std::uint16_t word) {
    for (const InstructionInfo& row : Instructions(set)) {
        if ((word & row.mask) == row.value) return &row;
    }
    return nullptr;
}

const DecodeIndex& DecodeIndex::For(InstructionSetId set) {
    static const std::array<DecodeIndex, 5> indexes{
        DecodeIndex(InstructionSetId::Kestrel), DecodeIndex(InstructionSetId::Chip8),
        DecodeIndex(InstructionSetId::SuperChip), DecodeIndex(InstructionSetId::XoChip),
        DecodeIndex(InstructionSetId::Chip8TwoPage)};
    return indexes[static_cast<std::size_t>(set)];
}

DecodeIndex::DecodeIndex(InstructionSetId set)
    : rows_(Instructions(set)), index_(std::make_unique<std::uint8_t[]>(1u << 16)) {
    for (std::uint32_t word = 0; word <= 0xFFFF; ++word) {
        const InstructionInfo* info = Decode(set, static_cast<std::uint16_t>(word));
        index_[word] = info != nullptr ? static_cast<std::uint8_t>(info - rows_.data()) : None;
    }
}

std::optional<WrittenRange> MemoryWritten(const InstructionInfo& info, std::uint16_t word,
                                          std::uint64_t index) {
    const int x = (word >> 8) & 0xF;
    const int y = (word >> 4) & 0xF;
    switch (info.writes) {
    case Writes::None: return std::nullopt;
    case Writes::Bcd: return WrittenRange{index, index + 2};
    case Writes::ThroughX: return WrittenRange{index, index + static_cast<std::uint64_t>(x)};
    case Writes::XThroughY:
        return WrittenRange{index, index + static_cast<std::uint64_t>(x > y ? x - y : y - x)};
    }
    return std::nullopt;
}

int Length(InstructionSetId set, std::uint16_t word) {
    const InstructionInfo* info = Decode(set, word);
    return info != nullptr ? info->length : 2;
}

bool WrapsAddresses(InstructionSetId set) {
    return set != InstructionSetId::Kestrel;
}

std::optional<Successors> NextAddresses(InstructionSetId set, std::span<const std::uint8_t> memory,
                                        std::uint32_t address) {
    const bool wraps = WrapsAddresses(set);
    // Kestrel's machine refuses a fetch that would read past its memory.
    if (memory.empty() || (!wraps && (address >= memory.size() || memory.size() - address < 2)))
        return std::nullopt;
    const auto place = [&](std::uint32_t a) {
        return wraps ? static_cast<std::uint32_t>(a % memory.size()) : a;
    };
    const std::uint16_t word = wordAt(set, memory, address);
    const InstructionInfo* info = Decode(set, word);
    const Flow flow = info != nullptr ? info->flow : Plain;
    const std::uint32_t next = place(address + (info != nullptr ? info->length : 2u));
    Successors successors{info, flow, word, next, std::nullopt};
    switch (flow) {
    case Skip: {
        // Only XO-CHIP has a four-byte instruction to skip; Kestrel's machine
        // skips two bytes without fetching them.
        const bool fetchable = wraps || memory.size() - next >= 2;
        const int skipped = fetchable ? Length(set, wordAt(set, memory, next)) : 2;
        successors.target = place(next + static_cast<std::uint32_t>(skipped));
        break;
    }
    case Jump:
    case JumpOffset:
    case Call: successors.target = word & 0xFFFu; break;
    default: break;
    }
    return successors;
}

} // namespace kestrel::debug
