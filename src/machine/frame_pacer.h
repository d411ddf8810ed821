#pragma once

#include <chrono>
#include <cstdint>

namespace kestrel {

// When the standard machines' frames begin, told the time rather than reading
// it, so that its rules are checked without a clock or an event loop: frame k
// is due at start + k/60 s, so that the rate holds where a 17 ms interval
// would give 58.8 frames a second. Frames missed by a stall of up to
// MostBehind are caught up one a call; after a longer stall the count starts
// afresh rather than run the timers down in a rush.
class FramePacer {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int FramesPerSecond = 60;
    static constexpr std::chrono::milliseconds MostBehind{100};
    // A timer of whole milliseconds, its wait rounded to the nearest, fires
    // up to half of one before the deadline.
    static constexpr std::chrono::microseconds Early{500};

    // Frame 0 begins at `now`.
    void start(Clock::time_point now);

    Clock::time_point deadline(std::int64_t frame) const;
    Clock::time_point nextDeadline() const { return deadline(frame_); }
    std::int64_t nextFrame() const { return frame_; }
    bool due(Clock::time_point now) const { return now >= nextDeadline() - Early; }

    // At `now`, begins the next frame if it is due, and says so; one frame a
    // call at most, however far behind.
    bool beginFrame(Clock::time_point now);

    // What to set a millisecond timer to: due() holds when it expires.
    std::chrono::milliseconds wait(Clock::time_point now) const;

  private:
    Clock::time_point start_;
    std::int64_t frame_ = 0; // the next frame to begin
};

} // namespace kestrel
