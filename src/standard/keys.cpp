#include "base/texts.h"
#include "standard/standard_interpreter.h"

namespace kestrel {

// FX0A: the frames pass while the machine waits for a key to go up, one held
// when the wait begins as well as one pressed after, as the VIP's own key
// routine returns a key that is down when it is called once it is released.
void StandardInterpreter::beginKeyWait() {
    keypad_.beginWait();
    keypad_.holdTaps(true);
    waitRegister_ = x_;
    leaveRunning(Status::WaitingForKey);
    host_.setStatusText(WaitingText);
}

void StandardInterpreter::finishKeyWait() {
    if (keypad_.waitedKey() < 0) return;
    State.V[waitRegister_] = static_cast<std::uint8_t>(keypad_.waitedKey());
    status_ = Status::Running;
    keypad_.holdTaps(false); // a wait ends only in a frame, never while paused
    host_.setStatusText("");
}

void StandardInterpreter::KeyDown(int keyCode, KeyPlace place) {
    const int value = chip8KeyOf(keyCode, place);
    if (value >= 0) keypad_.press({keyCode, place}, value);
    keysChanged();
}

// A key the key map binds gives the value of its keypad key (the highest
// entry, as Kestrel's machine takes it); any other key gives its place in the
// letter block, if it has one. -1: no CHIP-8 key.
int StandardInterpreter::chip8KeyOf(int keyCode, KeyPlace place) const {
    int keypadKey = 0;
    for (int i = 1; i <= KeypadKeys; ++i) {
        if (State.KeyMap[static_cast<std::size_t>(i)] == keyCode) keypadKey = i;
    }
    return keypadKey != 0 ? Chip8KeyValue(keypadKey) : LetterBlockValue(place);
}

} // namespace kestrel
