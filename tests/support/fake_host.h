#pragma once

#include "support/passes.h"
#include "support/silent_host.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kestrel::testing {

struct Tone {
    int hz;
    int ms;
};

struct PatternPlayed {
    SoundPattern pattern;
    double samplesPerSecond;
};

// A Host that counts and records everything, and runs scripted events at
// chosen yields (yield numbers count from 1 over the host's whole life).
class FakeHost : public SilentHost {
  public:
    void yield() override { serve(false); }
    void idleYield() override { serve(true); }
    void tone(int hz, int ms) override {
        tones.push_back({hz, ms});
        toneSounding = true;
    }
    void stopTone() override {
        ++toneStops;
        toneSounding = false;
    }
    void playPattern(const SoundPattern& pattern, double samplesPerSecond) override {
        patterns.push_back({pattern, samplesPerSecond});
        toneSounding = true;
    }
    void setStatusText(const std::string& text) override {
        statusText = text;
        statusHistory.push_back(text);
    }
    void setButtonCaption(int index, const std::string& text) override {
        captions[index] = text;
        captionHistory.emplace_back(index, text);
    }
    void surfaceChanged() override { ++surfaceChanges; }
    void requestRun() override { ++runRequests; }
    void reportFault(const std::string& text) override {
        faults.push_back(text);
        if (onFault) onFault();
    }
    void reportLoadError(const std::string& text) override { loadErrors.push_back(text); }

    // Run `event` inside yield number `yieldNumber`.
    void at(std::uint64_t yieldNumber, std::function<void()> event) {
        script.emplace(yieldNumber, std::move(event));
    }
    // Run `event` inside the `nth` yield of pass `pass` of a run started
    // with this host (see YieldOfPass).
    void atPass(std::uint64_t pass, std::uint64_t nth, std::function<void()> event,
                std::uint64_t handlerYields = HandlerYields) {
        at(YieldOfPass(pass, nth, handlerYields), std::move(event));
    }
    // Run `event` inside every yield, after the scripted ones.
    std::function<void()> everyYield;
    // Run inside every idle yield, after everyYield: a fake frame clock, whose
    // frames begin whenever the machine waits for one.
    std::function<void()> everyIdleYield;
    // Run inside reportFault, after the fault is recorded.
    std::function<void()> onFault;

    // The native stack address of a local in the latest yield: equal values
    // mean equal stack depth at the point the host is entered.
    std::uintptr_t yieldStackAddress = 0;
    std::uintptr_t deepestYieldStackAddress = UINTPTR_MAX;

    std::uint64_t yields = 0;     // all yields, idle ones included
    std::uint64_t idleYields = 0; // those that were allowed to wait
    int toneStops = 0;
    bool toneSounding = false; // a tone began and has not been stopped
    int surfaceChanges = 0;
    int runRequests = 0;
    std::string statusText;
    std::vector<std::string> statusHistory;
    std::map<int, std::string> captions;
    std::vector<std::pair<int, std::string>> captionHistory;
    std::vector<Tone> tones;
    std::vector<PatternPlayed> patterns;
    std::vector<std::string> faults;
    std::vector<std::string> loadErrors;

  private:
    void serve(bool idle) {
        SilentHost::yield();
        volatile char mark = 0;
        yieldStackAddress = reinterpret_cast<std::uintptr_t>(&mark);
        if (yieldStackAddress < deepestYieldStackAddress)
            deepestYieldStackAddress = yieldStackAddress;
        ++yields;
        if (idle) ++idleYields;
        auto [first, last] = script.equal_range(yields);
        std::vector<std::function<void()>> due;
        for (auto it = first; it != last; ++it)
            due.push_back(std::move(it->second));
        script.erase(first, last);
        for (auto& event : due)
            event();
        if (everyYield) everyYield();
        if (idle && everyIdleYield) everyIdleYield();
    }

    std::multimap<std::uint64_t, std::function<void()>> script;
};

// A FakeHost whose yields also serve the calls posted to it, as the toolkit's
// do. Only the run driver is ever posted: requestRun posts `driver`, a yield
// serves the calls posted before it began, then its events, and
// serveTopLevel() stands for the top of the event loop.
class PostingHost : public FakeHost {
  public:
    void yield() override { enter(false); }
    void idleYield() override { enter(true); }
    void requestRun() override {
        FakeHost::requestRun();
        ++posted_;
    }
    void serveTopLevel() {
        while (posted_ > 0)
            servePosted();
    }

    std::function<void()> driver;
    int yieldDepth = 0; // yields now on the stack
    int deepestYield = 0;
    std::uint64_t driverCalls = 0;

  private:
    void enter(bool idle) {
        deepestYield = std::max(deepestYield, ++yieldDepth);
        servePosted();
        if (idle)
            FakeHost::idleYield();
        else
            FakeHost::yield();
        --yieldDepth;
    }
    void servePosted() {
        for (int due = std::exchange(posted_, 0); due > 0; --due) {
            ++driverCalls;
            driver();
        }
    }
    int posted_ = 0;
};

} // namespace kestrel::testing
