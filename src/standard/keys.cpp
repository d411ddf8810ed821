#include "standard/standard_interpreter.h"
#include "vm/waiting_text.h"

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

} // namespace kestrel
