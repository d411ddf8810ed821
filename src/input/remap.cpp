#include "base/texts.h"
#include "input/key_caption.h"
#include "vm/kestrel_interpreter.h"

namespace kestrel {

// The wait is a yield loop inside the click, so the run loop stands still
// meanwhile. Any key-down ends it, bound or not; a new run ends it with
// nothing bound.
void KestrelInterpreter::Command1_Click(int Index) {
    if (Index < 0 || Index >= KeypadKeys) return;
    // Waits of an abandoned run are still unwinding beneath this click (a
    // Reset came in the same yield): a wait here would stack on theirs.
    if (runs_.AbandonedKeyWaits()) return;
    const auto button = static_cast<std::size_t>(Index);
    const std::uint64_t generation = runs_.Generation();
    State.LastKeyCode = 0;
    // This button already waits in this run: a second wait inside it would
    // bind the same key to the same entry, so the running wait takes the key
    // and repeated clicks cannot deepen the stack.
    if (runs_.ButtonWait(button) == generation) {
        host_.setStatusText(WaitingText);
        return;
    }
    const bool idle = runs_.BeginRemapWait(button);
    bool keyArrived = true;
    while (State.LastKeyCode == 0) {
        if (!runs_.IdleYieldFor(generation)) {
            keyArrived = false;
            break;
        }
    }
    runs_.EndRemapWait(button, idle);
    if (!keyArrived) return runs_.EndKeyWait(false);
    State.KeyMap[button + 1] = static_cast<std::uint8_t>(State.LastKeyCode);
    host_.setButtonCaption(Index, KeyCaption(State.LastKeyCode));
    runs_.EndKeyWait(true);
}

} // namespace kestrel
