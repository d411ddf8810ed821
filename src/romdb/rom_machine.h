#pragma once

// CPU › Machine › "From the ROM database": what the CHIP-8 database chose for
// a ROM, made into the machine value that runs it, and what the player is
// told. The choosing is the database's; this applies it. No toolkit here, so
// that the core's tests check it.

#include "base/platform.h"
#include "romdb/rom_database.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kestrel {

struct RomMachine {
    // The platform's machine, its quirks overridden in order, its rate the
    // ROM's tickrate or the platform's default. A speed chosen in CPU › Speed
    // overrides the rate; "Machine's own" gives it back.
    MachineKind kind;
    std::string programTitle; // for the window's title; empty for an unknown ROM
    std::string warning;      // for a box; empty unless it runs on a machine not its own
    std::string writtenFor;   // the database's name of the platform chosen, for a refusal
    // The ROM's own colours, with Kestrel's where it gives fewer than four.
    std::optional<Palette> palette;
};

// `rom` is the ROM's bytes: one the database does not know that begins with
// 12 60, the jump over the two-page interpreter's routines, runs on that.
RomMachine RomMachineFor(const romdb::RomChoice& choice, std::span<const std::uint8_t> rom = {});

} // namespace kestrel
