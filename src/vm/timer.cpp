#include "vm/machine.h"

namespace kestrel {

// The tick never counts the sound timer down: any non-zero value becomes one
// tone of ten milliseconds a unit, and is cleared. A standard machine's timers
// are its frames' alone.
void Machine::Timer1_Timer() {
    if (standard()) return;
    if (State.DelayTimer > 0) --State.DelayTimer;
    if (State.SoundTimer > 0) {
        host_.tone(500, State.SoundTimer * 10);
        State.SoundTimer = 0;
    }
}

// Both timers count once a frame, before its instructions; the tone sounds
// while the sound timer is above 0. Pause stops them both.
void Machine::StartFrame() {
    if (!standard()) return;
    frameBegun_ = true;
    if (State.Paused) return;
    if (State.DelayTimer > 0) --State.DelayTimer;
    if (State.SoundTimer > 0 && --State.SoundTimer == 0) host_.stopTone();
}

void Machine::pausex_Click() {
    State.Paused = !State.Paused;
    if (!standard()) return;
    if (State.Paused) {
        host_.stopTone();
    } else if (State.SoundTimer > 0) {
        soundTone();
    }
}

// A frame longer than the timer needs: the frame that takes it to 0 stops the
// tone, so a late frame leaves no gap.
void Machine::soundTone() {
    host_.tone(500, (State.SoundTimer + 1) * 1000 / 60);
}

void Machine::GetDelayTimerIntoReg() {
    VX() = State.DelayTimer;
}
void Machine::SetDelayTimer() {
    State.DelayTimer = VX();
}
void Machine::SetSoundTimer() {
    State.SoundTimer = VX();
    if (!standard()) return;
    if (State.SoundTimer > 0) {
        soundTone();
    } else {
        host_.stopTone();
    }
}

} // namespace kestrel
