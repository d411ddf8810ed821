#include "input/key_map.h"
#include "vm/kestrel_interpreter.h"

namespace kestrel {

void KestrelInterpreter::LoadDefaultKeyMap() {
    for (int i = 1; i <= KeypadKeys; ++i)
        State.KeyMap[static_cast<std::size_t>(i)] = DefaultKeyMap[static_cast<std::size_t>(i)];
}

// The scan does not stop at a match: when entries share a code the highest
// wins. Every key-down, bound or not, becomes LastKeyCode.
void KestrelInterpreter::Form_KeyDown(int keyCode) {
    for (int i = 1; i <= KeypadKeys; ++i) {
        if (State.KeyMap[static_cast<std::size_t>(i)] == keyCode) State.KeyPressed = i;
    }
    State.LastKeyCode = static_cast<std::int16_t>(keyCode);
}

// Kestrel's machine tracks one key: any key going up means none is held.
void KestrelInterpreter::Form_KeyUp() {
    State.KeyPressed = 0;
}

} // namespace kestrel
