#include "machine/machine.h"

#include <algorithm>

namespace kestrel {

// On Kestrel's machine Reset leaves the registers, stack, timers, Paused and
// the rest of memory as the previous run left them. It does not enter the run
// loop itself: it asks for a run, which the driver starts from the top of the
// event loop. A standard machine restarts the program as loaded, and its
// frame clock runs it.
void Machine::Reset_Click() {
    // Whatever ran or waited before never continues, no tone of it goes on
    // sounding, and no wait of it keeps the label.
    lastFault_.clear();
    host_.stopTone();
    host_.setStatusText("");
    if (standard()) {
        EndAllRuns(); // a run of Kestrel's machine still on the stack unwinds
        return restartStandard();
    }
    surface_.ClearSurface(); // no yield here, unlike 00E0
    host_.surfaceChanged();
    State.ProgramCounter = ProgramStart;
    std::copy(Font.begin(), Font.end(), State.Memory.begin() + FontBase);
    startNewRun();
}

void Machine::OpenRom(const std::string& path) {
    // A refused file leaves whatever was running going on.
    if (!path.empty() && !LoadRom(path)) return;
    Reset_Click();
}

} // namespace kestrel
