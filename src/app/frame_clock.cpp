#include "frame_clock.h"

#include <utility>

namespace kestrel {

FrameClock::FrameClock(std::function<void()> onFrame, QObject* parent)
    : QObject(parent), onFrame_(std::move(onFrame)) {
    setObjectName(QStringLiteral("FrameClock"));
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &FrameClock::fire);
}

void FrameClock::start() {
    start_ = Clock::now();
    frame_ = 1; // frame 0 begins now
    onFrame_();
    schedule();
}

FrameClock::Clock::time_point FrameClock::deadline(std::int64_t frame) const {
    return start_ + std::chrono::nanoseconds(frame * 1'000'000'000 / FramesPerSecond);
}

// The timer counts whole milliseconds: the wait is rounded to the nearest,
// so that frames begin within half a millisecond of their deadlines either
// way, where rounding up would make every frame late.
void FrameClock::schedule() {
    const auto wait = deadline(frame_) - Clock::now();
    const auto ms = std::chrono::round<std::chrono::milliseconds>(wait);
    timer_.start(std::max(ms, std::chrono::milliseconds(0)));
}

// Frames missed by a short stall are caught up one an event-loop turn, so
// that the timers keep time; after a longer one (the machine suspended, a
// starved process) the clock starts afresh from now.
void FrameClock::fire() {
    const auto now = Clock::now();
    const auto late = now - deadline(frame_);
    if (lateness_ != nullptr) lateness_->push_back(std::chrono::nanoseconds(late).count());
    if (late > MostBehind) {
        start_ = now;
        frame_ = 0;
    }
    ++frame_;
    onFrame_();
    schedule();
}

} // namespace kestrel
