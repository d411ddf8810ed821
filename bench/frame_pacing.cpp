// The standard machines' pacing in the real window: Form1 on the X server
// named by DISPLAY (make bench starts an Xvfb), a program that draws every
// frame running at the machine's own rate for 10 s after 1 s to settle.
// Prints the process's CPU share, the frame rate, the delay timer's count
// and how far frame starts fell from their deadlines.
//   kestrel_frame_pacing vip|modern|kestrel [seconds] [speed]
// With a speed (an item of CPU > Speed: 7, 15, 30, 100 or 1000), that item is
// chosen and a program that counts its instructions in I runs instead, and
// the instructions a second are printed too.

#include "form1.h"
#include "support/program_bytes.h"
#include "support/temp_file.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Draws an 8 x 1 bar at (0, 0) over and over, each draw inverting it, and
// reloads the delay timer with 255 each time it reaches 0.
const std::vector<std::uint16_t> DrawEveryFrame = {
    0xA210, // LD I, bar
    0x6000, // LD V0, 0
    0xD001, // draw: DRW V0, V0, 1
    0xF207, // LD V2, DT
    0x3200, // SE V2, 0
    0x1204, // JP draw
    0x62FF, // LD V2, 255
    0xF215, // LD DT, V2
    0x1204, // JP draw
    0x0000, // (padding)
    0xFF00, // bar: FF
};

// Adds 1 to I in a loop of two instructions: 2 x I instructions have run.
const std::vector<std::uint16_t> CountInstructions = {
    0x6001, // LD V0, 1
    0xF01E, // loop: ADD I, V0
    0x1202, // JP loop
};

} // namespace

int main(int argc, char** argv) {
    const char* which = argc > 1 ? argv[1] : "modern";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    const int speed = argc > 3 ? std::atoi(argv[3]) : 0;
    const kestrel::MachineKind& kind = std::strcmp(which, "vip") == 0 ? kestrel::CosmacVipMachine
                                       : std::strcmp(which, "kestrel") == 0
                                           ? kestrel::KestrelMachine
                                           : kestrel::ModernChip8Machine;
    QApplication app(argc, argv);
    kestrel::Form1 form;
    form.show();
    kestrel::testing::TempFile rom(
        kestrel::testing::WordsToBytes(speed > 0 ? CountInstructions : DrawEveryFrame));
    kestrel::Machine& machine = form.machine();
    machine.OpenRom(rom.path());
    form.chooseMachine(kind);
    if (speed > 0) {
        auto* item = form.findChild<QAction*>(QStringLiteral("Speed%1").arg(speed));
        if (item == nullptr || !item->isEnabled()) {
            std::fprintf(stderr, "no speed %d on this machine\n", speed);
            return 2;
        }
        item->trigger();
    }
    std::uint64_t indexAtStart = 0;

    std::vector<std::int64_t> lateness;
    long long delaySteps = 0;
    int lastDelay = -1;
    bool measuring = false;
    double cpuAtStart = 0;
    Clock::time_point startedAt;
    // Read twice a second, so that the reading costs next to nothing: the
    // timer is reloaded at most once between readings (every 255 frames), in
    // the frame in which it reached 0.
    const auto readDelay = [&] {
        const int delay = machine.State.DelayTimer;
        if (lastDelay >= 0)
            delaySteps += delay <= lastDelay ? lastDelay - delay : lastDelay + 255 - delay;
        lastDelay = delay;
    };
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (measuring) readDelay();
    });
    poll.start(500);
    QTimer::singleShot(1000, Qt::PreciseTimer, [&] {
        lastDelay = machine.State.DelayTimer;
        measuring = true;
        cpuAtStart = cpuSeconds();
        startedAt = Clock::now();
        indexAtStart = machine.State.IndexReg;
        form.frameClock().recordLateness(&lateness);
    });
    QTimer::singleShot(static_cast<int>(1000 + seconds * 1000), Qt::PreciseTimer, [&] {
        readDelay();
        const double elapsed = std::chrono::duration<double>(Clock::now() - startedAt).count();
        const double cpu = cpuSeconds() - cpuAtStart;
        form.frameClock().recordLateness(nullptr);
        std::vector<double> offMs;
        for (const std::int64_t ns : lateness)
            offMs.push_back(std::abs(double(ns)) / 1e6);
        std::sort(offMs.begin(), offMs.end());
        const auto percentile = [&](double p) {
            return offMs.empty() ? 0.0
                                 : offMs[std::min(offMs.size() - 1, std::size_t(p * offMs.size()))];
        };
        std::printf("machine %s, %.2f s: cpu %.2f %% of a core, %.2f frames/s (%zu frames), "
                    "delay timer %lld steps (%.1f in 10 s), frame start off its deadline: "
                    "median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                    which, elapsed, 100.0 * cpu / elapsed, lateness.size() / elapsed,
                    lateness.size(), delaySteps, delaySteps * 10.0 / elapsed, percentile(0.5),
                    percentile(0.99), offMs.empty() ? 0.0 : offMs.back());
        if (speed > 0) {
            const double perSecond = 2.0 * double(machine.State.IndexReg - indexAtStart) / elapsed;
            std::printf("  at %d a frame: %.0f instructions/s, %.2f %% of %d\n", speed, perSecond,
                        100.0 * perSecond / (60.0 * speed), 60 * speed);
        }
        std::fflush(stdout);
        machine.EndAllRuns();
        QApplication::quit();
    });
    return QApplication::exec();
}
