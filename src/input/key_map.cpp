#include "input/key_map.h"
#include "vm/machine.h"

namespace kestrel {

void Machine::LoadDefaultKeyMap() {
    for (int i = 1; i <= KeypadKeys; ++i)
        State.KeyMap[static_cast<std::size_t>(i)] = DefaultKeyMap[static_cast<std::size_t>(i)];
}

// The scan does not stop at a match: when entries share a code the highest
// wins. Every key-down, bound or not, becomes LastKeyCode.
void Machine::Form_KeyDown(int keyCode) {
    for (int i = 1; i <= KeypadKeys; ++i) {
        if (State.KeyMap[static_cast<std::size_t>(i)] == keyCode) State.KeyPressed = i;
    }
    State.LastKeyCode = static_cast<std::int16_t>(keyCode);
}

// One key is tracked: any key going up means none is held.
void Machine::Form_KeyUp() {
    State.KeyPressed = 0;
}

} // namespace kestrel
