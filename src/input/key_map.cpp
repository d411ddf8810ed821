#include "input/key_map.h"
#include "machine/machine.h"

namespace kestrel {

void Machine::LoadDefaultKeyMap() {
    for (int i = 1; i <= KeypadKeys; ++i)
        State.KeyMap[static_cast<std::size_t>(i)] = DefaultKeyMap[static_cast<std::size_t>(i)];
}

// The scan does not stop at a match: when entries share a code the highest
// wins. Every key-down, bound or not, becomes LastKeyCode. The sixteen keys
// of the standard machines are kept whichever machine runs, so that a key
// held across a switch of machines goes up when it is released.
void Machine::Form_KeyDown(int keyCode, KeyPlace place) {
    for (int i = 1; i <= KeypadKeys; ++i) {
        if (State.KeyMap[static_cast<std::size_t>(i)] == keyCode) State.KeyPressed = i;
    }
    State.LastKeyCode = static_cast<std::int16_t>(keyCode);
    const int value = chip8KeyOf(keyCode, place);
    if (value >= 0) keypad_.press({keyCode, place}, value);
}

// Kestrel's machine tracks one key: any key going up means none is held.
void Machine::Form_KeyUp(int keyCode, KeyPlace place) {
    State.KeyPressed = 0;
    keypad_.release({keyCode, place});
}

// A key released while another window has the focus sends no key-up.
void Machine::Form_Deactivate() {
    State.KeyPressed = 0;
    keypad_.releaseAll();
}

// On the standard machines a key the key map binds gives the value of its
// keypad key (the highest entry, as above); any other key gives its place in
// the letter block, if it has one. -1: no CHIP-8 key.
int Machine::chip8KeyOf(int keyCode, KeyPlace place) const {
    int keypadKey = 0;
    for (int i = 1; i <= KeypadKeys; ++i) {
        if (State.KeyMap[static_cast<std::size_t>(i)] == keyCode) keypadKey = i;
    }
    return keypadKey != 0 ? Chip8KeyValue(keypadKey) : LetterBlockValue(place);
}

} // namespace kestrel
