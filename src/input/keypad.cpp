#include "vm/machine.h"

namespace kestrel {

// On Kestrel's machine VX is compared with the keypad key number as it
// stands: 0 asks whether no key is held, and 17 or more never matches. A
// standard machine asks whether key VX & 0xF of its sixteen is down.
bool Machine::keyMatches() {
    if (!standard()) return VX() == State.KeyPressed;
    return keypad_.isDown(VX() & 0xF);
}

void Machine::SkipIfKeyPressed() {
    if (keyMatches()) State.ProgramCounter += 2;
}

void Machine::SkipIfKeyNotPressed() {
    if (!keyMatches()) State.ProgramCounter += 2;
}

// A key already held does not count; on Kestrel's machine a bound key going
// down after the start ends the wait, and its number is stored. A new run
// ends it with nothing stored.
void Machine::WaitForKeyPress() {
    const std::uint64_t run = handlerRun_;
    if (standard()) return waitForKeyRelease(run);
    State.KeyPressed = 0;
    beginKeyWait();
    while (State.KeyPressed == 0) {
        if (!idleYieldFor(run)) return endKeyWait(false);
    }
    VX() = static_cast<std::uint8_t>(State.KeyPressed);
    endKeyWait(true);
}

// A standard machine waits for a key to go down and up again, and stores its
// value 0..F; a key held when the wait begins must be pressed anew.
void Machine::waitForKeyRelease(std::uint64_t run) {
    keypad_.beginWait();
    beginKeyWait();
    while (keypad_.waitedKey() < 0) {
        if (!idleYieldFor(run)) return endKeyWait(false);
    }
    VX() = static_cast<std::uint8_t>(keypad_.waitedKey());
    endKeyWait(true);
}

} // namespace kestrel
