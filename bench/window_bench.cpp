// The window's costs: one yield of Form1 against a bare processEvents, the
// instruction rate the window reaches, and the time from start to a window.

#include "bench_options.h"
#include "form1.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kestrel::bench {
namespace {

using Clock = std::chrono::steady_clock;

double nanoseconds(Clock::duration d) {
    return std::chrono::duration<double, std::nano>(d).count();
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Serve whatever the window still has to do after being shown.
void settle() {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 100)
        QCoreApplication::processEvents();
}

// The window shown and settled, with its tick stopped so that nothing is
// pending while a yield is timed. The window is destroyed after the timing.
void showWithoutTicks(Form1& form) {
    form.show();
    settle();
    form.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    settle();
}

// ---------------------------------------------------------------------------
// Form1's yield, called through the Host interface as the machine calls it,
// against a bare processEvents, with nothing pending (the tick timer is
// stopped for the measurement). The two are timed in alternating blocks so
// that both see the same load; the median of the blocks' ratios is reported.

void BM_Form1YieldAgainstProcessEvents(benchmark::State& state) {
    Form1 form;
    showWithoutTicks(form);
    Host* host = &form;
    benchmark::DoNotOptimize(host);

    constexpr int Block = 2000;
    std::vector<double> yieldNs;
    std::vector<double> bareNs;
    std::vector<double> ratios;
    bool yieldFirst = true;
    for (auto _ : state) {
        // Which block goes first alternates, so neither gains from the order.
        const auto t0 = Clock::now();
        for (int k = 0; k < Block; ++k) {
            if (yieldFirst)
                host->yield();
            else
                QCoreApplication::processEvents();
        }
        const auto t1 = Clock::now();
        for (int k = 0; k < Block; ++k) {
            if (yieldFirst)
                QCoreApplication::processEvents();
            else
                host->yield();
        }
        const auto t2 = Clock::now();
        const double first = nanoseconds(t1 - t0) / Block;
        const double second = nanoseconds(t2 - t1) / Block;
        const double y = yieldFirst ? first : second;
        const double b = yieldFirst ? second : first;
        yieldFirst = !yieldFirst;
        yieldNs.push_back(y);
        bareNs.push_back(b);
        ratios.push_back(y / b);
    }
    state.counters["form1_yield_ns"] = median(yieldNs);
    state.counters["processEvents_ns"] = median(bareNs);
    state.counters["ratio"] = median(ratios);
    state.SetItemsProcessed(state.iterations() * 2 * Block);
}
BENCHMARK(BM_Form1YieldAgainstProcessEvents)->Unit(benchmark::kMicrosecond);

void BM_Form1Yield(benchmark::State& state) {
    Form1 form;
    showWithoutTicks(form);
    Host* host = &form;
    benchmark::DoNotOptimize(host);
    for (auto _ : state)
        host->yield();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Form1Yield);

void BM_BareProcessEvents(benchmark::State& state) {
    Form1 form; // the same window exists, so the same event sources are polled
    showWithoutTicks(form);
    for (auto _ : state)
        QCoreApplication::processEvents();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareProcessEvents);

// ---------------------------------------------------------------------------
// The rate the window reaches on a ROM that spins on 1200 at 0x200: the ROM is
// opened the way the menu opens it, and the run goes on under the window's
// own event loop, ticks included, for two seconds. Each pass of the run loop
// is one instruction and 101 yields (the jump's opening yield and the loop's
// 100), so the yields counted through the host give the passes.

class CountingForm : public Form1 {
  public:
    void yield() override {
        if (yields++ == 0) first = Clock::now();
        Form1::yield();
    }
    std::uint64_t yields = 0;
    Clock::time_point first;
};

void BM_WindowSpinRate(benchmark::State& state) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("kestrel-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto rom = dir / "spin.ch8";
    {
        std::ofstream out(rom, std::ios::binary);
        out.put(static_cast<char>(0x12));
        out.put(static_cast<char>(0x00));
    }
    double instructionsPerSecond = 0;
    double yieldNs = 0;
    for (auto _ : state) {
        CountingForm form;
        form.show();
        settle();
        bool ended = false;
        Clock::time_point last;
        std::uint64_t yieldsAtEnd = 0;
        QTimer::singleShot(0, &form, [&] { form.machine().OpenRom(rom.string()); });
        QTimer::singleShot(2000, &form, [&] {
            last = Clock::now();
            yieldsAtEnd = form.yields;
            form.machine().EndAllRuns();
            ended = true;
        });
        while (!ended || form.machine().RunActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (yieldsAtEnd == 0) {
            state.SkipWithError("the ROM did not run: no yield reached the host");
            break;
        }
        const double seconds = std::chrono::duration<double>(last - form.first).count();
        const double passes = static_cast<double>(yieldsAtEnd) / 101.0;
        instructionsPerSecond = passes / seconds;
        yieldNs = seconds * 1e9 / static_cast<double>(yieldsAtEnd);
        state.SetIterationTime(seconds);
        if (!form.machine().LastFault().empty())
            state.SkipWithError(form.machine().LastFault().c_str());
    }
    std::filesystem::remove_all(dir);
    state.counters["instructions_per_second"] = instructionsPerSecond;
    state.counters["yield_ns"] = yieldNs;
}
BENCHMARK(BM_WindowSpinRate)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// From starting the real binary to its window being mapped on an X server:
// the benchmark watches the root window for MapNotify, then ends the process
// it started. A reference window (bench/reference_window.cpp: the same menu
// bar, buttons and label, no machine) is started in turn in the same run, so
// that both see the same load; which goes first alternates. Needs
// --kestrel_binary and --x_display (scripts/run-bench starts an Xvfb for it).

bool waitForMap(Display* display, Clock::time_point deadline, Clock::time_point& mapped) {
    const int fd = ConnectionNumber(display);
    while (Clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect) {
                mapped = Clock::now();
                return true;
            }
        }
        fd_set read;
        FD_ZERO(&read);
        FD_SET(fd, &read);
        timeval wait{0, 2000};
        ::select(fd + 1, &read, nullptr, nullptr, &wait);
    }
    return false;
}

// Starts binary, waits for its window and ends it: the milliseconds it took,
// or an error.
bool startToMap(Display* display, const std::string& binary, char** envp, double& ms,
                std::string& error) {
    std::string path = binary;
    char* argv[] = {path.data(), nullptr};
    pid_t pid = 0;
    const auto start = Clock::now();
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp) != 0) {
        error = "cannot start " + binary;
        return false;
    }
    Clock::time_point mapped;
    const bool shown = waitForMap(display, start + std::chrono::seconds(10), mapped);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    XSync(display, True); // drop the unmap and destroy of the ended window
    if (!shown) {
        error = "no window of " + binary + " was mapped within 10 s";
        return false;
    }
    ms = std::chrono::duration<double, std::milli>(mapped - start).count();
    return true;
}

void BM_StartToVisibleWindow(benchmark::State& state) {
    const std::string binary = Options().kestrelBinary;
    const std::string displayName = Options().xDisplay;
    if (binary.empty() || displayName.empty()) {
        state.SkipWithError(
            "needs --kestrel_binary=PATH and --x_display=:N (an X server, e.g. Xvfb)");
        return;
    }
    Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) {
        state.SkipWithError(("cannot open X display " + displayName).c_str());
        return;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("QT_QPA_PLATFORM=", 0) == 0) continue;
        env.push_back(entry);
    }
    env.push_back("DISPLAY=" + displayName);
    env.push_back("QT_QPA_PLATFORM=xcb");
    std::vector<char*> envp;
    for (auto& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    double worst = 0;
    std::vector<double> times;
    std::vector<double> referenceTimes;
    bool kestrelFirst = true;
    for (auto _ : state) {
        double ms = 0;
        double referenceMs = 0;
        std::string error;
        const bool ok =
            kestrelFirst
                ? startToMap(display, binary, envp.data(), ms, error) &&
                      startToMap(display, KESTREL_REFERENCE_WINDOW, envp.data(), referenceMs, error)
                : startToMap(display, KESTREL_REFERENCE_WINDOW, envp.data(), referenceMs, error) &&
                      startToMap(display, binary, envp.data(), ms, error);
        kestrelFirst = !kestrelFirst;
        if (!ok) {
            state.SkipWithError(error.c_str());
            break;
        }
        times.push_back(ms);
        referenceTimes.push_back(referenceMs);
        worst = std::max(worst, ms);
        state.SetIterationTime(ms / 1000);
    }
    XCloseDisplay(display);
    state.counters["median_ms"] = median(times);
    state.counters["worst_ms"] = worst;
    state.counters["reference_median_ms"] = median(referenceTimes);
    state.counters["ratio_to_reference"] =
        median(referenceTimes) > 0 ? median(times) / median(referenceTimes) : 0;
}
BENCHMARK(BM_StartToVisibleWindow)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kestrel::bench
