#include "machine/machine.h"

#include <utility>

namespace kestrel {

// A machine chosen starts as if its ROM had just been opened on it. A copy too
// long for it is told before anything changes, since the box's own event loop
// serves the old run meanwhile; a standard machine then has nothing to run.
void Machine::SelectMachine(const MachineKind& kind) {
    if (romCopy_.size() > kind.romLimit)
        host_.reportLoadError(loadRefusal(romPath_, tooLongReason(kind, romCopy_.size())));
    kind_ = kind;
    standard_.SetPalette(StandardInterpreter::DefaultPalette);
    // Kestrel's machine starts from memory of its own size, cleared, with the
    // ROM in it; its Reset leaves the rest as it finds it.
    if (!standard()) {
        const bool fits = romCopy_.size() <= kind_.romLimit;
        State.StartAfresh(MemorySize, fits ? std::span(romCopy_) : std::span<std::uint8_t>());
    }
    Reset_Click();
}

// As if the ROM had been opened and `kind` then chosen, except that a ROM too
// long for it is refused before anything changes, as a refused load is.
bool Machine::OpenRomOn(const std::string& path, std::vector<std::uint8_t> rom,
                        const MachineKind& kind, const std::string& writtenFor) {
    if (rom.size() > kind.romLimit) {
        host_.reportLoadError(
            loadRefusal(path, tooLongReason(kind, static_cast<long long>(rom.size()), writtenFor)));
        return false;
    }
    romCopy_ = std::move(rom);
    romPath_ = path;
    SelectMachine(kind);
    return true;
}

// Nothing opened, or a copy too long for this machine: nothing to run.
void Machine::restartStandard() {
    if (romCopy_.empty() || romCopy_.size() > kind_.romLimit) return standard_.Empty();
    standard_.Reset(romCopy_);
}

} // namespace kestrel
