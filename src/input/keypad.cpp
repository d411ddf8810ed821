#include "vm/machine.h"

namespace kestrel {

// On Kestrel's machine VX is compared with the keypad key number as it
// stands: 0 asks whether no key is held, and 17 or more never matches. A
// standard machine asks whether the held key gives the value VX & 0xF.
bool Machine::keyMatches() {
    if (!standard()) return VX() == State.KeyPressed;
    return Chip8KeyValue(State.KeyPressed) == (VX() & 0xF);
}

void Machine::SkipIfKeyPressed() {
    if (keyMatches()) State.ProgramCounter += 2;
}

void Machine::SkipIfKeyNotPressed() {
    if (!keyMatches()) State.ProgramCounter += 2;
}

// A key already held does not count; only a bound key going down after the
// start ends the wait. A new run ends it with nothing stored.
void Machine::WaitForKeyPress() {
    const std::uint64_t run = handlerRun_;
    State.KeyPressed = 0;
    beginKeyWait();
    while (State.KeyPressed == 0) {
        if (!idleYieldFor(run)) return endKeyWait(false);
    }
    // A standard machine stores the key's value, Kestrel's its number.
    VX() =
        static_cast<std::uint8_t>(standard() ? Chip8KeyValue(State.KeyPressed) : State.KeyPressed);
    endKeyWait(true);
}

} // namespace kestrel
