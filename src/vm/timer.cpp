#include "vm/kestrel_interpreter.h"

namespace kestrel {

// The tick never counts the sound timer down: any non-zero value becomes one
// tone of ten milliseconds a unit, and is cleared.
void KestrelInterpreter::Timer1_Timer() {
    if (hooks_.Halted()) return; // the debugger holds the program: no timer counts
    if (State.DelayTimer > 0) --State.DelayTimer;
    if (State.SoundTimer > 0) {
        host_.tone(KestrelMachine.toneHz, State.SoundTimer * KestrelMachine.toneUnitMs);
        State.SoundTimer = 0;
    }
}

void KestrelInterpreter::GetDelayTimerIntoReg() {
    VX() = State.DelayTimer;
}
void KestrelInterpreter::SetDelayTimer() {
    State.DelayTimer = VX();
}
void KestrelInterpreter::SetSoundTimer() {
    State.SoundTimer = VX();
}

} // namespace kestrel
