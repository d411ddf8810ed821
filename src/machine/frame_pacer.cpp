#include "machine/frame_pacer.h"

#include <algorithm>

namespace kestrel {

void FramePacer::start(Clock::time_point now) {
    start_ = now;
    frame_ = 1; // frame 0 begins now
}

// From the start, not from the frame before, so that no rounding adds up.
FramePacer::Clock::time_point FramePacer::deadline(std::int64_t frame) const {
    return start_ + std::chrono::nanoseconds(frame * 1'000'000'000 / FramesPerSecond);
}

// A stall of up to MostBehind (a slow repaint, a menu held open) is caught
// up, so that the timers keep time; after a longer one (the machine
// suspended, a starved process) the clock starts afresh from now.
bool FramePacer::beginFrame(Clock::time_point now) {
    if (!due(now)) return false; // a timer that fired early
    if (now - nextDeadline() > MostBehind)
        start(now);
    else
        ++frame_;
    return true;
}

// Rounded to the nearest millisecond, so that frames begin within half a
// millisecond of their deadlines either way, where rounding up would make
// every frame late.
std::chrono::milliseconds FramePacer::wait(Clock::time_point now) const {
    const auto ms = std::chrono::round<std::chrono::milliseconds>(nextDeadline() - now);
    return std::max(ms, std::chrono::milliseconds(0));
}

} // namespace kestrel
