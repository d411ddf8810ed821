#include "vm/machine.h"

#include <algorithm>
#include <utility>

namespace kestrel {

// A machine chosen starts as if its ROM had just been opened on it. A copy too
// long for it is told before anything changes, since the box's own event loop
// serves the old run meanwhile; the machine then starts with the font alone.
void Machine::SelectMachine(const MachineKind& kind) {
    if (romCopy_.size() > kind.romLimit)
        host_.reportLoadError(loadRefusal(romPath_, tooLongReason(kind, romCopy_.size())));
    kind_ = kind;
    startAfresh();
    Reset_Click();
}

// As if the ROM had been opened and `kind` then chosen, except that a ROM too
// long for it is refused before anything changes, as a refused load is.
bool Machine::OpenRomOn(const std::string& path, std::vector<std::uint8_t> rom,
                        const MachineKind& kind) {
    if (rom.size() > kind.romLimit) {
        host_.reportLoadError(
            loadRefusal(path, tooLongReason(kind, static_cast<long long>(rom.size()))));
        return false;
    }
    romCopy_ = std::move(rom);
    romPath_ = path;
    SelectMachine(kind);
    return true;
}

void Machine::startAfresh() {
    State.Memory.fill(0);
    State.V.fill(0);
    State.IndexReg = 0;
    State.StackPointer = 0;
    State.CallStack.fill(0);
    State.DelayTimer = 0;
    State.SoundTimer = 0;
    if (romCopy_.size() <= kind_.romLimit)
        std::copy(romCopy_.begin(), romCopy_.end(), State.Memory.begin() + ProgramStart);
    frameBegun_ = false;
}

} // namespace kestrel
