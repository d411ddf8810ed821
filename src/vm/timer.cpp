#include "vm/machine.h"

namespace kestrel {

// The tick never counts the sound timer down: any non-zero value becomes one
// tone of ten milliseconds a unit, and is cleared.
void Machine::Timer1_Timer() {
    if (State.DelayTimer > 0) --State.DelayTimer;
    if (State.SoundTimer > 0) {
        host_.tone(500, State.SoundTimer * 10);
        State.SoundTimer = 0;
    }
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
