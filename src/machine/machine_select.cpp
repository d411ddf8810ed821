#include "machine/machine.h"

#include <utility>

namespace kestrel {

// A machine chosen starts as if its ROM had just been opened on it. A copy too
// long for it is told before anything changes, since the box's own event loop
// serves the old run meanwhile; a standard machine then has nothing to run.
// Here, and only here, is it settled which interpreter runs.
void Machine::SelectMachine(const MachineKind& kind) {
    if (romCopy_.size() > kind.romLimit)
        host_.reportLoadError(loadRefusal(romPath_, tooLongReason(kind, romCopy_.size())));
    kind_ = kind;
    running_ = kind_.engine == Engine::Kestrel ? static_cast<Interpreter*>(&kestrel_) : &standard_;
    runs_.Follow(*running_);
    running_->Chosen(fittingRom());
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

} // namespace kestrel
