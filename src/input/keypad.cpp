#include "machine/machine.h"

namespace kestrel {

// VX is compared with the keypad key number as it stands: 0 asks whether no
// key is held, and 17 or more never matches.
bool Machine::keyMatches() {
    return VX() == State.KeyPressed;
}

void Machine::SkipIfKeyPressed() {
    if (keyMatches()) State.ProgramCounter += 2;
}

void Machine::SkipIfKeyNotPressed() {
    if (!keyMatches()) State.ProgramCounter += 2;
}

// A key already held does not count; a bound key going down after the start
// ends the wait, and its number is stored. A new run ends it with nothing
// stored.
void Machine::WaitForKeyPress() {
    const std::uint64_t run = handlerRun_;
    State.KeyPressed = 0;
    beginKeyWait();
    while (State.KeyPressed == 0) {
        if (!idleYieldFor(run)) return endKeyWait(false);
    }
    VX() = static_cast<std::uint8_t>(State.KeyPressed);
    endKeyWait(true);
}

} // namespace kestrel
