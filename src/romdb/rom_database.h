#pragma once

// The CHIP-8 database's answer for a ROM: which standard machine runs it, with
// which quirks and at what speed, and what the player is told. No toolkit and
// no machine in here: the window hashes the file, asks, and applies the plain
// answer to the machine it builds.
//
//     const auto choice = romdb::RomDatabase::Vendored().Choose(romdb::Sha1(bytes));
//     // machine:  choice.platform, then choice.platformQuirks, then each of
//     //           choice.quirkOverrides, by name
//     // speed:    choice.tickrate, or the machine's own rate when it is empty
//     // colours:  choice.palette when it is not empty
//     // title:    choice.title when choice.status != RomStatus::Unknown
//     // message:  when choice.status == RomStatus::KnownForOtherPlatforms, the
//     //           title, choice.otherPlatformName and that it may not work
//
// The rules, as the database means them (a ROM's lists are best first):
// - a quirkyPlatforms entry for a platform Kestrel runs wins: the first such,
//   with its overrides;
// - else the first platform Kestrel runs in its platforms list, with no
//   overrides;
// - else the ROM is KnownForOtherPlatforms: modern, no overrides, and the
//   name of the first platform listed (quirkyPlatforms first, then platforms);
// - the tickrate is the ROM's, else the chosen platform's default (modern's
//   for the last two cases and for Unknown).
// Kestrel runs originalChip8 and modernChip8; superchip1, superchip and chip48
// as SUPER-CHIP; xochip as XO-CHIP.
// Reading the file and refusing one too long for the chosen machine are the
// caller's, before and after Choose.
//
// The data (third_party/chip-8-database/roms.json) is compiled in and parsed
// at the first Choose, so that a start that never asks pays nothing for it.

#include "base/platform.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::romdb {

using Sha1Digest = std::array<std::uint8_t, 20>;

// The SHA-1 of the whole file's bytes, as the database keys its ROMs.
Sha1Digest Sha1(std::span<const std::uint8_t> bytes);
// 40 lowercase hex digits; nullopt for anything else.
std::optional<Sha1Digest> DigestFromHex(std::string_view hex);

// One quirk set to a value. `quirk` is always the name of one of QuirkFields.
struct QuirkOverride {
    std::string_view quirk;
    bool value;
    bool operator==(const QuirkOverride&) const = default;
};

enum class RomStatus {
    Unknown,               // not in the database: modern machine, nothing to show
    Known,                 // listed for a machine Kestrel runs
    KnownForOtherPlatforms // listed only for others: run on modern, and tell the player
};

// Tickrates are clamped into this range, which holds every rate the data
// gives (XO-CHIP programs go up to 200,000).
inline constexpr int MinTickrate = 1;
inline constexpr int MaxTickrate = 200'000;

struct RomChoice {
    RomStatus status = RomStatus::Unknown;
    // The machine that runs it: the row of the platform table whose database
    // ids hold the platform chosen. The database has three ids for SUPER-CHIP,
    // told apart by platformId and their quirks.
    const MachineKind* platform = &ModernChip8Machine;
    // To apply, in order, after platformQuirks.
    std::vector<QuirkOverride> quirkOverrides{};
    // Instructions a frame: the ROM's tickrate, else the platform's default.
    // Empty when the data gives neither as an integer: the machine's own rate.
    std::optional<int> tickrate{};
    std::string title{};             // the program's title; empty when Unknown
    std::string otherPlatformName{}; // KnownForOtherPlatforms: the first listed platform's
                                     // name (its id if the data has no name; may be empty)
    // Known only, else empty: the database id chosen ("superchip1"), its name
    // ("Superchip 1.0"; its id if the data has no name), and its own quirks,
    // all seven in QuirkFields order (one the data omits is false), or none
    // when the data gives the platform no quirks.
    std::string platformId{};
    std::string platformName{};
    std::vector<QuirkOverride> platformQuirks{};
    // The ROM's colours as 0xRRGGBB: background, plane 1, plane 2, both (1 to
    // 4 of them). Empty when the data gives none, or any malformed.
    std::vector<std::uint32_t> palette{};
    // Every field has a default, so that a choice may be written naming the first few.
    bool operator==(const RomChoice&) const = default;
};

// A database read from JSON shaped like roms.json. The text is parsed at the
// first Choose; text that is not JSON, or not shaped so, gives an empty
// database, in which every ROM is Unknown.
class RomDatabase {
  public:
    explicit RomDatabase(std::string_view json); // the text must outlive the database
    ~RomDatabase();
    RomDatabase(const RomDatabase&) = delete;
    RomDatabase& operator=(const RomDatabase&) = delete;

    // The copy compiled into Kestrel, and its text (to time a first lookup
    // on a database of one's own).
    static const RomDatabase& Vendored();
    static std::string_view VendoredText();

    RomChoice Choose(const Sha1Digest& rom) const;
    // Every ROM hash the database holds, in ascending order.
    std::vector<Sha1Digest> Hashes() const;

    struct Tables; // the parsed data, defined with the reader

  private:
    const Tables& tables() const;

    std::string_view json_;
    mutable std::once_flag parsed_;
    mutable std::unique_ptr<Tables> tables_;
};

} // namespace kestrel::romdb
