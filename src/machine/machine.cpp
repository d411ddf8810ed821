#include "machine/machine.h"

namespace kestrel {

Machine::Machine(Host& host) : host_(host) {
    runs_.Follow(*running_);
}

std::span<const std::uint8_t> Machine::fittingRom() const {
    if (romCopy_.size() > kind_.romLimit) return {};
    return romCopy_;
}

// Whatever ran or waited before never continues, no tone of it goes on
// sounding, and no wait of it keeps the label; then the machine that runs
// resets in its own way.
void Machine::Reset_Click() {
    runs_.ClearLastFault();
    host_.stopTone();
    host_.setStatusText("");
    running_->Reset(fittingRom());
    debugger_.MachineReset();
}

void Machine::OpenRom(const std::string& path) {
    // A refused file leaves whatever was running going on.
    if (!path.empty() && !LoadRom(path)) return;
    Reset_Click();
}

void Machine::pausex_Click() {
    State.Paused = !State.Paused;
    running_->PauseChanged();
}

void Machine::Form_KeyDown(int keyCode, KeyPlace place) {
    kestrel_.Form_KeyDown(keyCode);
    standard_.KeyDown(keyCode, place);
}

void Machine::Form_KeyUp(int keyCode, KeyPlace place) {
    kestrel_.Form_KeyUp();
    standard_.KeyUp(keyCode, place);
}

// A key released while another window has the focus sends no key-up.
void Machine::Form_Deactivate() {
    kestrel_.Form_KeyUp();
    standard_.ReleaseAllKeys();
}

} // namespace kestrel
