#include "romdb/rom_machine.h"

namespace kestrel {

namespace {

std::string warningFor(const romdb::RomChoice& choice, const std::string& platformName) {
    const std::string program = choice.title.empty() ? "This program" : "\"" + choice.title + "\"";
    // The database lists some ROMs with no platform at all.
    const std::string written =
        platformName.empty()
            ? " is listed in the CHIP-8 database with no machine it is written for."
            : " is written for " + platformName + ", which Kestrel does not run.";
    return program + written + " It runs on CHIP-8 (modern), and may not work.";
}

} // namespace

RomMachine RomMachineFor(const romdb::RomChoice& choice, std::span<const std::uint8_t> bytes) {
    RomMachine rom;
    rom.kind = *choice.platform;
    const bool twoPage = bytes.size() >= 2 && bytes[0] == 0x12 && bytes[1] == 0x60;
    if (choice.status == romdb::RomStatus::Unknown && twoPage) rom.kind = TwoPageMachine;
    // The platform's own quirks (chip48's differ from superchip's), then the
    // ROM's. The library names only the seven quirks; one it did not know
    // would be left as it is.
    for (const romdb::QuirkOverride& quirk : choice.platformQuirks)
        SetQuirk(rom.kind.quirks, quirk.quirk, quirk.value);
    for (const romdb::QuirkOverride& quirk : choice.quirkOverrides)
        SetQuirk(rom.kind.quirks, quirk.quirk, quirk.value);
    rom.kind.rate = choice.tickrate.value_or(rom.kind.rate);
    // The colours given replace Kestrel's in order; the rest stay.
    if (!choice.palette.empty()) {
        rom.palette = DefaultPalette;
        for (std::size_t k = 0; k < choice.palette.size() && k < rom.palette->size(); ++k)
            (*rom.palette)[k] = static_cast<std::int32_t>(choice.palette[k] & 0xFFFFFFu);
    }
    if (choice.status != romdb::RomStatus::Unknown) rom.programTitle = choice.title;
    if (choice.status == romdb::RomStatus::Known) rom.writtenFor = choice.platformName;
    if (choice.status == romdb::RomStatus::KnownForOtherPlatforms)
        rom.warning = warningFor(choice, choice.otherPlatformName);
    return rom;
}

} // namespace kestrel
