#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace kestrel {

// The standard machines' frame clock: 60 frames a second by deadlines, frame
// k due at start + k/60 s, so that it keeps its rate where a 17 ms interval
// would give 58.8 frames a second. It waits in the event loop on a one-shot
// precise timer, never in a sleep, so keys, menus and repaints are served at
// once. Frames missed by a stall of up to MostBehind are caught up; after a
// longer stall the clock starts afresh rather than count the timers down in
// a rush.
class FrameClock : public QObject {
    Q_OBJECT
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int FramesPerSecond = 60;
    static constexpr std::chrono::milliseconds MostBehind{100};

    FrameClock(std::function<void()> onFrame, QObject* parent);

    void start();
    void stop() { timer_.stop(); }
    bool isActive() const { return timer_.isActive(); }

    // For the benchmarks: each frame's start against its deadline, in
    // nanoseconds (late is positive), appended to `sink` while it is set.
    void recordLateness(std::vector<std::int64_t>* sink) { lateness_ = sink; }

  private:
    Clock::time_point deadline(std::int64_t frame) const;
    void schedule();
    void fire();

    std::function<void()> onFrame_;
    QTimer timer_;
    Clock::time_point start_;
    std::int64_t frame_ = 0; // the next frame to begin
    std::vector<std::int64_t>* lateness_ = nullptr;
};

} // namespace kestrel
