#include "machine/frame_pacer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

namespace kestrel {
namespace {

using namespace std::chrono_literals;
using Clock = FramePacer::Clock;

// Any instant will do; the clock's epoch is never special.
const Clock::time_point T0 = Clock::time_point{} + 12345s;

double msFrom(Clock::time_point t, Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(t - since).count();
}

// A millisecond timer that fires exactly when it is set to: each frame begins
// within half a millisecond of k/60 s, however many frames have gone before,
// and every expiry begins one (none is spent waking early).
TEST(FramePacer, BeginsSixtyFramesASecondAtWholeSixtiethsWithNoDrift) {
    FramePacer pacer;
    pacer.start(T0);
    Clock::time_point now = T0;
    int expiries = 0;
    int inFirstSecond = 1; // frame 0
    while (pacer.nextFrame() <= 600) {
        now += pacer.wait(now);
        ++expiries;
        const std::int64_t frame = pacer.nextFrame();
        ASSERT_TRUE(pacer.beginFrame(now)) << "expiry " << expiries << " began no frame";
        ASSERT_LE(std::abs(msFrom(now, T0) - frame * 1000.0 / 60), 0.5) << "frame " << frame;
        if (now < T0 + 1s) ++inFirstSecond;
    }
    EXPECT_EQ(inFirstSecond, 60);
    EXPECT_EQ(expiries, 600);
    EXPECT_EQ(pacer.deadline(600), T0 + 10s);
    EXPECT_EQ(pacer.deadline(60 * 3600), T0 + 1h);
}

// The timer counts whole milliseconds and is set to the nearest: a frame
// begins at most half a millisecond early, and a wait of 0 is always a frame
// due (a timer set to 0 for nothing would spin).
TEST(FramePacer, WaitsTheNearestMillisecondAndBeginsAtMostHalfOneEarly) {
    struct Case {
        std::chrono::nanoseconds beforeDeadline;
        std::chrono::milliseconds wait;
        bool due;
    };
    const Case cases[] = {
        {16'666'666ns, 17ms, false}, {16'400'000ns, 16ms, false},
        {1'500'001ns, 2ms, false},   {1'499'999ns, 1ms, false},
        {500'001ns, 1ms, false},     {500'000ns, 0ms, true},
        {400'000ns, 0ms, true},      {0ns, 0ms, true},
        {-5ms, 0ms, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.beforeDeadline.count() << " ns before the deadline");
        FramePacer pacer;
        pacer.start(T0);
        const Clock::time_point now = pacer.nextDeadline() - c.beforeDeadline;
        EXPECT_EQ(pacer.wait(now), c.wait);
        EXPECT_EQ(pacer.due(now), c.due);
        EXPECT_EQ(pacer.beginFrame(now), c.due);
        EXPECT_EQ(pacer.nextFrame(), c.due ? 2 : 1);
    }
}

// The timer fires `stall` after frame 1's deadline. Up to MostBehind, the
// frames due by then are all begun, one a call with no wait between, and the
// clock goes on at its own deadlines; past it, one frame begins and the next
// is a whole frame from now, not a rush of the missed ones.
TEST(FramePacer, CatchesUpAShortStallOneFrameACallAndStartsAfreshAfterALongOne) {
    struct Case {
        std::chrono::nanoseconds stall;
        int framesBegun;
    };
    const Case cases[] = {
        {0ns, 1}, {16ms, 1}, {50ms, 4}, {100ms, 7}, {100ms + 1ns, 1}, {250ms, 1}, {1h, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "a stall of " << c.stall.count() << " ns");
        FramePacer pacer;
        pacer.start(T0);
        const Clock::time_point now = pacer.nextDeadline() + c.stall;
        int begun = 0;
        for (std::int64_t before = pacer.nextFrame(); pacer.beginFrame(now); ++begun) {
            ASSERT_LE(begun, 100) << "frames never stop";
            const bool restarted = c.stall > FramePacer::MostBehind;
            EXPECT_EQ(pacer.nextFrame(), restarted ? 1 : before + 1) << "one frame a call";
            before = pacer.nextFrame();
            if (pacer.due(now)) {
                EXPECT_EQ(pacer.wait(now), 0ms);
            }
        }
        EXPECT_EQ(begun, c.framesBegun);
        if (c.stall > FramePacer::MostBehind) {
            EXPECT_EQ(pacer.nextDeadline(), now + 16'666'666ns);
        } else {
            EXPECT_EQ(pacer.nextFrame(), 1 + c.framesBegun);
            EXPECT_EQ(pacer.nextDeadline(),
                      T0 + std::chrono::nanoseconds(1s) * pacer.nextFrame() / 60);
        }
        EXPECT_EQ(pacer.wait(now),
                  std::chrono::round<std::chrono::milliseconds>(pacer.nextDeadline() - now));
    }
}

// Stopped and started again, soon or late, the count begins from the start:
// nothing left from before is caught up.
TEST(FramePacer, StartingAgainBeginsFromNow) {
    for (const auto pause : {std::chrono::nanoseconds(20ms), std::chrono::nanoseconds(1h)}) {
        SCOPED_TRACE(::testing::Message() << "started again after " << pause.count() << " ns");
        FramePacer pacer;
        pacer.start(T0);
        for (Clock::time_point now = T0; pacer.nextFrame() < 10; now += 1ms)
            pacer.beginFrame(now);
        const Clock::time_point again = pacer.nextDeadline() + pause;
        pacer.start(again);
        EXPECT_EQ(pacer.nextFrame(), 1);
        EXPECT_EQ(pacer.nextDeadline(), again + 16'666'666ns);
        EXPECT_FALSE(pacer.beginFrame(again));
        EXPECT_EQ(pacer.wait(again), 17ms);
    }
}

} // namespace
} // namespace kestrel
