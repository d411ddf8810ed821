#include "frame_clock.h"

#include <utility>

namespace kestrel {

FrameClock::FrameClock(std::function<void()> onFrame, QObject* parent,
                       std::function<Clock::time_point()> now)
    : QObject(parent), onFrame_(std::move(onFrame)), now_(std::move(now)) {
    setObjectName(QStringLiteral("FrameClock"));
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &FrameClock::fire);
}

void FrameClock::start() {
    pacer_.start(now_());
    onFrame_();
    schedule();
}

// Read after the frame has run, so that its own time is not waited again.
void FrameClock::schedule() {
    timer_.start(pacer_.wait(now_()));
}

void FrameClock::fire() {
    const auto now = now_();
    const auto late = now - pacer_.nextDeadline();
    if (pacer_.beginFrame(now)) {
        if (lateness_ != nullptr) lateness_->push_back(std::chrono::nanoseconds(late).count());
        onFrame_();
    }
    schedule();
}

} // namespace kestrel
