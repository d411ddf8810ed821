#include "machine/machine.h"

namespace kestrel {

// The tick never counts the sound timer down: any non-zero value becomes one
// tone of ten milliseconds a unit, and is cleared. A standard machine's timers
// are its frames' alone, and the window stops the tick while one runs.
void Machine::Timer1_Timer() {
    if (standard()) return;
    if (State.DelayTimer > 0) --State.DelayTimer;
    if (State.SoundTimer > 0) {
        host_.tone(500, State.SoundTimer * 10);
        State.SoundTimer = 0;
    }
}

// A fault that stopped the machine is told once the frame is over, so that
// the box's own event loop never runs inside the frame.
void Machine::StartFrame() {
    if (!standard()) return;
    standard_.RunFrame(Rate());
    const std::string fault = standard_.TakeFault();
    if (fault.empty()) return;
    lastFault_ = fault;
    host_.reportFault(lastFault_);
}

void Machine::pausex_Click() {
    State.Paused = !State.Paused;
    if (standard()) standard_.PauseChanged();
}

void Machine::GetDelayTimerIntoReg() {
    VX() = State.DelayTimer;
}
void Machine::SetDelayTimer() {
    State.DelayTimer = VX();
}
void Machine::SetSoundTimer() {
    State.SoundTimer = VX();
}

} // namespace kestrel
