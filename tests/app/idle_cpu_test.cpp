// Paused, or waiting for a key on a remap button, Kestrel waits for events
// instead of spinning: under 5% of a core, measured as the process's own CPU
// time over five seconds of each.

#include "app_test_support.h"

#include <QPushButton>
#include <QTest>

#include <ctime>

using namespace kestrel;
using namespace kestrel::apptest;

namespace {

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double wallSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Share of one core used from `cpu0`/`wall0` to now.
struct Span {
    double cpu0 = processCpuSeconds();
    double wall0 = wallSeconds();
    double share() const { return (processCpuSeconds() - cpu0) / (wallSeconds() - wall0); }
};

constexpr int PhaseMs = 5000;

} // namespace

class IdleCpuTest : public QObject {
    Q_OBJECT

  private slots:
    void pausedAndRemapWaitsUseUnderFivePercent() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Machine& machine = form.machine();
        placeProgram(machine, {0x7001, 0x1200}); // V0 counts up for ever
        QAction* pause = form.findChild<QAction*>(QStringLiteral("pausex"));
        pause->trigger(); // paused before the run starts

        double paused = 1.0, waiting = 1.0;
        int counterPaused = -1, counterBeforeWait = -1, counterAfterWait = -1;
        bool done = false;
        QTimer::singleShot(0, &form, [&] { machine.Reset_Click(); });
        QTimer::singleShot(200, &form, [&] {
            auto span = std::make_shared<Span>();
            QTimer::singleShot(PhaseMs, &form, [&, span] {
                paused = span->share();
                counterPaused = machine.State.V[0];
                pause->trigger();
                QTimer::singleShot(200, &form, [&] {
                    counterBeforeWait = machine.State.V[0];
                    auto waitSpan = std::make_shared<Span>();
                    QTimer::singleShot(PhaseMs, &form, [&, waitSpan] {
                        waiting = waitSpan->share();
                        counterAfterWait = machine.State.V[0];
                        QTest::keyClick(&form, Qt::Key_Space);
                    });
                    button(form, 0)->click(); // waits inside the run for the key
                    machine.EndAllRuns();
                    done = true;
                });
            });
        });
        QVERIFY(QTest::qWaitFor([&] { return done && !machine.RunActive(); }, 2 * PhaseMs + 10000));
        qInfo("CPU paused %.2f%%, remap wait %.2f%% of a core", paused * 100, waiting * 100);
        QCOMPARE(counterPaused, 0);                    // nothing ran while paused
        QVERIFY(counterBeforeWait > 0);                // it ran once Pause was lifted
        QCOMPARE(counterAfterWait, counterBeforeWait); // and stood still in the wait
        QCOMPARE(static_cast<int>(machine.State.KeyMap[1]), 32);
        QVERIFY2(paused < 0.05, qPrintable(QString::number(paused * 100)));
        QVERIFY2(waiting < 0.05, qPrintable(QString::number(waiting * 100)));
    }
};

QTEST_MAIN(IdleCpuTest)
#include "idle_cpu_test.moc"
