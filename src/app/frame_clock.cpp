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

// The timer counts whole milliseconds: rounding the wait up means a frame
// never begins before its deadline.
void FrameClock::schedule() {
    const auto wait = deadline(frame_) - Clock::now();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait);
    timer_.start(std::max(ms, std::chrono::milliseconds(0)));
}

void FrameClock::fire() {
    const auto now = Clock::now();
    const auto late = now - deadline(frame_);
    if (lateness_ != nullptr) lateness_->push_back(std::chrono::nanoseconds(late).count());
    if (late >= std::chrono::nanoseconds(1'000'000'000 / FramesPerSecond))
        frame_ = (now - start_) * FramesPerSecond / std::chrono::seconds(1);
    ++frame_;
    onFrame_();
    schedule();
}

} // namespace kestrel
