#pragma once

#include "machine/frame_pacer.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace kestrel {

// The standard machines' frame clock: FramePacer says when frames begin, and
// this waits for them in the event loop on a one-shot precise timer, never in
// a sleep, so keys, menus and repaints are served at once. Caught-up frames
// come one an event-loop turn. The time is read from `now`, which tests drive
// by hand.
class FrameClock : public QObject {
    Q_OBJECT
  public:
    using Clock = FramePacer::Clock;
    static constexpr int FramesPerSecond = FramePacer::FramesPerSecond;
    static constexpr std::chrono::milliseconds MostBehind = FramePacer::MostBehind;

    FrameClock(std::function<void()> onFrame, QObject* parent,
               std::function<Clock::time_point()> now = &Clock::now);

    void start();
    void stop() { timer_.stop(); }
    bool isActive() const { return timer_.isActive(); }

    // For the benchmarks: each frame's start against its deadline, in
    // nanoseconds (late is positive), appended to `sink` while it is set.
    void recordLateness(std::vector<std::int64_t>* sink) { lateness_ = sink; }

  private:
    void schedule();
    void fire();

    std::function<void()> onFrame_;
    std::function<Clock::time_point()> now_;
    QTimer timer_;
    FramePacer pacer_;
    std::vector<std::int64_t>* lateness_ = nullptr;
};

} // namespace kestrel
