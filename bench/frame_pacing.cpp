// The standard machines' pacing in the real window: Form1 on the X server
// named by DISPLAY (make bench starts an Xvfb), a program that draws every
// frame running at the machine's own rate for 10 s after 1 s to settle.
// Prints the process's CPU share, the frame rate, the delay timer's count
// and how far frame starts fell from their deadlines.
//   kestrel_frame_pacing vip|modern|kestrel|superchip|xochip [seconds] [speed]
// With a speed (an item of CPU > Speed: 7, 15, 30, 100 or 1000), that item is
// chosen and a program that counts its instructions in I runs instead, and
// the instructions a second are printed too. SUPER-CHIP (modern) and XO-CHIP
// run a program that draws a 16 x 16 sprite and scrolls once a frame, at their
// own rate or at `speed` a frame (set on the machine, as the ROM database does
// for rates beyond the menu's).
// The reference window, started alongside, repaints a picture of the same
// size 60 times a second; its CPU share over the same seconds is printed too.

#include "form1.h"
#include "support/program_bytes.h"
#include "support/temp_file.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Another process's user and system time, from /proc; 0 when unreadable.
double processCpuSeconds(pid_t pid) {
    if (pid <= 0) return 0;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    // utime and stime are fields 14 and 15; after the name, 12 and 13.
    for (int i = 1; i <= 13 && fields >> field; ++i)
        if (i >= 12) ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

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

// 128 x 64 on both planes (one on SUPER-CHIP); once a frame, when the delay
// timer set to 1 runs out, a 16 x 16 sprite is drawn and the screen scrolled
// down a pixel; between, a spin of four instructions.
const std::vector<std::uint16_t> DrawAndScrollEachFrame = {
    0xF301, // planes 1 and 2 (nothing on SUPER-CHIP)
    0x00FF, // 128 x 64
    0xA220, // I := sprite
    0x6A38, // VA := 56
    0x6B18, // VB := 24
    0x6301, // V3 := 1
    0x7401, // spin: V4 += 1
    0xF207, // V2 := DT
    0x3200, // skip if V2 = 0
    0x120C, // jump spin
    0xDAB0, // 16 x 16 sprite at (VA, VB)
    0x00C1, // scroll down 1
    0xF315, // DT := 1
    0x120C, // jump spin
    0x0000, 0x0000,
    // sprite, 0x220: a plane's 32 bytes, then the second plane's
    0xFFFF, 0x8001, 0x8001, 0x8001, 0x8001, 0x8001, 0x8001, 0x8001, 0x8001, 0x8001, 0x8001, 0x8001,
    0x8001, 0x8001, 0x8001, 0xFFFF, 0x0000, 0x0000, 0x0000, 0x0FF0, 0x0FF0, 0x0FF0, 0x0FF0, 0x0FF0,
    0x0FF0, 0x0FF0, 0x0FF0, 0x0FF0, 0x0FF0, 0x0000, 0x0000, 0x0000};

// Adds 1 to I in a loop of two instructions: 2 x I instructions have run.
const std::vector<std::uint16_t> CountInstructions = {
    0x6001, // LD V0, 1
    0xF01E, // loop: ADD I, V0
    0x1202, // JP loop
};

} // namespace

int main(int argc, char** argv) {
    const char* which = argc > 1 ? argv[1] : "chip-8";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    const int speed = argc > 3 ? std::atoi(argv[3]) : 0;
    // The machine by its command-line name, as kestrel-run names it.
    const kestrel::MachineKind* chosen = &kestrel::ModernChip8Machine;
    for (const kestrel::MachineKind* kind : kestrel::Platforms) {
        if (kind->commandName == which) chosen = kind;
    }
    const kestrel::MachineKind& kind = *chosen;
    const bool extended = kind.hasHires();
    QApplication app(argc, argv);
    kestrel::Form1 form;
    form.show();
    kestrel::testing::TempFile rom(kestrel::testing::WordsToBytes(extended ? DrawAndScrollEachFrame
                                                                  : speed > 0 ? CountInstructions
                                                                              : DrawEveryFrame));
    kestrel::Machine& machine = form.machine();
    machine.OpenRom(rom.path());
    form.chooseMachine(kind);
    if (speed > 0 && extended) {
        machine.SetSpeed(speed);
    } else if (speed > 0) {
        auto* item = form.findChild<QAction*>(QStringLiteral("Speed%1").arg(speed));
        if (item == nullptr || !item->isEnabled()) {
            std::fprintf(stderr, "no speed %d on this machine\n", speed);
            return 2;
        }
        item->trigger();
    }
    // The reference window, on the same display for the same seconds.
    pid_t reference = -1;
    {
        std::string path = KESTREL_REFERENCE_WINDOW;
        std::string mode = "repaint";
        char* args[] = {path.data(), mode.data(), nullptr};
        if (posix_spawn(&reference, path.c_str(), nullptr, nullptr, args, environ) != 0)
            reference = -1;
    }
    double referenceCpuAtStart = 0;
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
        referenceCpuAtStart = processCpuSeconds(reference);
        startedAt = Clock::now();
        indexAtStart = machine.State.IndexReg;
        form.frameClock().recordLateness(&lateness);
    });
    QTimer::singleShot(static_cast<int>(1000 + seconds * 1000), Qt::PreciseTimer, [&] {
        readDelay();
        const double elapsed = std::chrono::duration<double>(Clock::now() - startedAt).count();
        const double cpu = cpuSeconds() - cpuAtStart;
        const double referenceCpu = processCpuSeconds(reference) - referenceCpuAtStart;
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
        std::printf("  reference window: cpu %.2f %% of a core; ratio %.2f; frames expected %.0f, "
                    "started %zu\n",
                    100.0 * referenceCpu / elapsed, referenceCpu > 0 ? cpu / referenceCpu : 0.0,
                    60.0 * elapsed, lateness.size());
        if (speed > 0 && !extended) {
            const double perSecond = 2.0 * double(machine.State.IndexReg - indexAtStart) / elapsed;
            std::printf("  at %d a frame: %.0f instructions/s, %.2f %% of %d\n", speed, perSecond,
                        100.0 * perSecond / (60.0 * speed), 60 * speed);
        }
        std::fflush(stdout);
        machine.EndAllRuns();
        if (reference > 0) {
            kill(reference, SIGTERM);
            waitpid(reference, nullptr, 0);
        }
        QApplication::quit();
    });
    return QApplication::exec();
}
