#include "form1.h"
#include "frame_clock.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <chrono>

using namespace kestrel;

// Timer1 ticks every 17 ms; ticks that fell due while the thread was busy
// are not made up afterwards in a burst. The ticks are counted as the machine
// received them, against the time that really passed, so that a loaded
// machine that serves the loop late sees fewer ticks rather than a failure.
class TickTest : public QObject {
    Q_OBJECT
  private slots:
    void aLateTickIsServedOnceNotInABurst() {
        Form1 form;
        MachineState& state = form.machine().State;
        state.DelayTimer = 200;
        // Let the tick run normally for a while first.
        QTRY_VERIFY_WITH_TIMEOUT(state.DelayTimer <= 197, 10000);

        // Busy for ten periods: ten ticks fell due. One turn of the event
        // loop serves the late tick, once.
        QThread::msleep(170);
        const int before = state.DelayTimer;
        QCoreApplication::processEvents();
        QCOMPARE(before - state.DelayTimer, 1);

        // And the rhythm goes on from there at 17 ms: ticks come again, and
        // never more than the time since allows (a burst would make up nine).
        QElapsedTimer afterwards;
        afterwards.start();
        const int resumed = state.DelayTimer;
        QTRY_VERIFY_WITH_TIMEOUT(resumed - state.DelayTimer >= 3, 10000);
        const int served = resumed - state.DelayTimer;
        const qint64 allowed = afterwards.elapsed() / 17 + 1;
        QVERIFY2(
            served <= allowed,
            qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(served).arg(afterwards.elapsed())));
    }

    // The frame clock on a clock driven by hand, which a frame moves on as if
    // it had taken that long, so that the rules need no real time: the frames a
    // 50 ms stall missed come one an event-loop turn, then none until the
    // clock moves; stopped and started again, it counts from the new start
    // and has nothing left to catch up.
    void theFrameClockCatchesUpOneFrameATurnAndStartsAfresh() {
        using namespace std::chrono_literals;
        FrameClock::Clock::time_point now{1000s};
        std::chrono::nanoseconds frameTakes{0};
        int frames = 0;
        FrameClock clock(
            [&] {
                ++frames;
                now += frameTakes;
                frameTakes = 0ns;
            },
            nullptr, [&] { return now; });
        std::vector<std::int64_t> lateness;
        clock.recordLateness(&lateness);

        // Frame 0 runs until 50 ms past frame 1's deadline: frames 1 to 4 are due.
        frameTakes = 16'666'666ns + 50ms;
        clock.start();
        QCOMPARE(frames, 1);
        for (int frame = 1; frame <= 4; ++frame) {
            QCoreApplication::processEvents();
            QCOMPARE(frames, 1 + frame);
        }
        QCOMPARE(lateness.size(), std::size_t(4));
        QCOMPARE(lateness.front(), std::int64_t(50'000'000));
        QCOMPARE(lateness.back(), std::int64_t(0));
        QCoreApplication::processEvents();
        QCOMPARE(frames, 5);

        // Frame 5 would be 13 ms late by now; a new start begins frame 0 and
        // waits a whole frame.
        clock.stop();
        QVERIFY(!clock.isActive());
        now += 30ms;
        clock.start();
        QVERIFY(clock.isActive());
        QCOMPARE(frames, 6);
        // The timer is set to 17 ms of real time and expires in this wait;
        // with the hand-driven clock standing still, no frame is due.
        QTest::qWait(60);
        QCOMPARE(frames, 6);
        QCOMPARE(lateness.size(), std::size_t(4));
    }
};

QTEST_MAIN(TickTest)
#include "tick_test.moc"
