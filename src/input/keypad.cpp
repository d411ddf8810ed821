#include "vm/machine.h"

namespace kestrel {

// Made once: the text is too long to live inside a string object, and a wait
// for a key must not allocate each time it begins.
const std::string Machine::WaitingText = "Waiting for key...";

void Machine::beginKeyWait() {
    if (keyWaitsRun_ != runGeneration_) {
        keyWaitsRun_ = runGeneration_;
        keyWaits_ = 0;
    }
    ++keyWaits_;
    host_.setStatusText(WaitingText);
}

// An abandoned wait leaves the label to the new run, which emptied it; a wait
// that ends keeps the text only while another wait of its run goes on.
void Machine::endKeyWait(bool completed) {
    if (!completed) return;
    --keyWaits_;
    host_.setStatusText(keyWaits_ > 0 ? WaitingText : std::string());
}

// VX is compared with the keypad key number as it stands: 0 asks whether no
// key is held, and 17 or more never matches.
void Machine::SkipIfKeyPressed() {
    if (VX() == State.KeyPressed) State.ProgramCounter += 2;
}

void Machine::SkipIfKeyNotPressed() {
    if (VX() != State.KeyPressed) State.ProgramCounter += 2;
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
    VX() = static_cast<std::uint8_t>(State.KeyPressed);
    endKeyWait(true);
}

} // namespace kestrel
