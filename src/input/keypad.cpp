#include "vm/kestrel_interpreter.h"

namespace kestrel {

// VX is compared with the keypad key number as it stands: 0 asks whether no
// key is held, and 17 or more never matches.
bool KestrelInterpreter::keyMatches() {
    return VX() == State.KeyPressed;
}

void KestrelInterpreter::SkipIfKeyPressed() {
    if (keyMatches()) State.ProgramCounter += 2;
}

void KestrelInterpreter::SkipIfKeyNotPressed() {
    if (!keyMatches()) State.ProgramCounter += 2;
}

// A key already held does not count; a bound key going down after the start
// ends the wait, and its number is stored. A new run ends it with nothing
// stored.
void KestrelInterpreter::WaitForKeyPress() {
    const std::uint64_t run = runs_.HandlerRun();
    State.KeyPressed = 0;
    runs_.BeginKeyWait();
    while (State.KeyPressed == 0) {
        if (!runs_.IdleYieldFor(run)) return runs_.EndKeyWait(false);
    }
    VX() = static_cast<std::uint8_t>(State.KeyPressed);
    runs_.EndKeyWait(true);
}

} // namespace kestrel
