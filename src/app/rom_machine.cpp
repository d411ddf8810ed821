#include "rom_machine.h"

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

RomMachine RomMachineFor(const romdb::RomChoice& choice) {
    RomMachine rom;
    // SUPER-CHIP and XO-CHIP have no machine yet: they run on modern, as a ROM
    // listed only for other platforms does.
    const bool standard = choice.platform == romdb::RunPlatform::OriginalChip8 ||
                          choice.platform == romdb::RunPlatform::ModernChip8;
    rom.kind = choice.platform == romdb::RunPlatform::OriginalChip8 ? CosmacVipMachine
                                                                    : ModernChip8Machine;
    // The library names only the seven quirks; one it did not know would be
    // left as it is.
    if (standard)
        for (const romdb::QuirkOverride& quirk : choice.quirkOverrides)
            SetQuirk(rom.kind.quirks, quirk.quirk, quirk.value);
    rom.kind.rate = choice.tickrate.value_or(rom.kind.rate);
    if (choice.status != romdb::RomStatus::Unknown) rom.programTitle = choice.title;
    if (choice.status == romdb::RomStatus::KnownForOtherPlatforms)
        rom.warning = warningFor(choice, choice.otherPlatformName);
    else if (choice.status == romdb::RomStatus::Known && !standard)
        rom.warning = warningFor(choice, choice.platformName);
    return rom;
}

} // namespace kestrel
