#include "vm/kestrel_interpreter.h"

#include <algorithm>

namespace kestrel {

// Kestrel's machine starts from memory of its own size, cleared, with the ROM
// in it; its Reset leaves the rest as it finds it.
void KestrelInterpreter::Chosen(std::span<const std::uint8_t> rom) {
    State.StartAfresh(KestrelMachine, rom);
}

// The ROM goes into memory at once; the reset that follows leaves it there.
void KestrelInterpreter::RomRead(std::span<const std::uint8_t> rom) {
    std::copy(rom.begin(), rom.end(), State.Memory.begin() + ProgramStart);
}

// Reset leaves the registers, stack, timers, Paused and the rest of memory as
// the previous run left them. It does not enter the run loop itself: it asks
// for a run, which the driver starts from the top of the event loop.
void KestrelInterpreter::Reset(std::span<const std::uint8_t>) {
    surface_.ClearSurface(); // no yield here, unlike 00E0
    host_.surfaceChanged();
    State.ProgramCounter = ProgramStart;
    std::copy(Font.begin(), Font.end(), State.Memory.begin() + FontBase);
    runs_.StartNewRun();
}

} // namespace kestrel
