#pragma once

#include "machine/machine.h"
#include "vm/cadence.h"

#include <cstdint>

namespace kestrel::run {

// How kestrel-run drives Kestrel's own machine, which runs on yields rather
// than frames: a tick of its timer is served every TickYields yields of the
// run loop, which is PassesPerTick passes of instructions that open with
// their one yield (a pass is an instruction and PassYields yields more).
inline constexpr std::uint64_t PassesPerTick = 10;
inline constexpr std::uint64_t TickYields = PassesPerTick * (PassYields + HandlerYields);

// Runs `count` frames of a standard machine, unpaced, as the window's frame
// clock begins them; `before(k)` is served before frame k (from 0) begins,
// and a true `stop()` after a frame ends the run there. The frames run.
template <typename Before, typename Stop>
std::uint64_t RunFrames(Machine& machine, std::uint64_t count, Before&& before, Stop&& stop) {
    for (std::uint64_t k = 0; k < count; ++k) {
        before(k);
        machine.StartFrame();
        if (stop()) return k + 1;
    }
    return count;
}

} // namespace kestrel::run
