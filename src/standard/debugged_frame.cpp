#include "standard/standard_interpreter.h"

#include <string>
#include <utility>

namespace kestrel {

// A frame begun runs its start (timers, a key wait's end) once, however often
// it halts inside; the frames the clock asks for while halted do nothing, so
// no timer counts. A fault is held by the debugger, with the state that
// caused it, or told as it is without one.
void StandardInterpreter::DebuggedFrame(int rate) {
    if (hooks_.Halted()) return;
    if (!frameOpen_) {
        if (!beginFrame()) return;
        hooks_.CountFrame();
        frameOpen_ = true;
        frameLeft_ = rate;
    }
    runDebuggedInstructions();
    if (pictureChanged_) paintPicture();
    if (hooks_.Halted()) stopSound();
    if (!fault_.empty()) {
        std::string fault = std::exchange(fault_, std::string());
        if (!hooks_.HoldsFault(fault)) runs_.ReportFault(fault);
    }
}

void StandardInterpreter::DebugResumed() {
    if (State.SoundTimer > 0 && !State.Paused &&
        (status_ == Status::Running || status_ == Status::WaitingForKey))
        startSound();
}

} // namespace kestrel
