#pragma once

#include "base/debug_hooks.h"
#include "base/host.h"
#include "base/interpreter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrel {

// Runs and waits: which run is current, the driver that enters runs from the
// top of the event loop, the key waits on the stack and the fault that
// stopped a run. base/run_control.cpp states the rules. Kestrel's run loop
// and its waits live by them; a standard machine's reset ends whatever of
// them is still on the stack.
class RunControl {
  public:
    static constexpr std::size_t Buttons = 16;

    // A debugger attached to `hooks` may hold a fault's message until it continues.
    RunControl(Host& host, DebugHooks& hooks) : host_(host), hooks_(hooks) {}

    // The interpreter the driver runs, and whose own key wait holds the label.
    void Follow(Interpreter& running) { running_ = &running; }

    bool Active() const { return driverDepth_ > 0; }
    std::uint64_t Generation() const { return runGeneration_; }
    // The generation of the run now executing, and whether it is still current.
    std::uint64_t HandlerRun() const { return handlerRun_; }
    bool HandlerStillCurrent() const { return runGeneration_ == handlerRun_; }
    const std::string& LastFault() const { return lastFault_; }
    void ClearLastFault() { lastFault_.clear(); }

    // Yield, then tell whether the run (or wait) that began at `generation`
    // is still current.
    bool YieldFor(std::uint64_t generation) {
        host_.yield();
        return runGeneration_ == generation;
    }
    bool IdleYieldFor(std::uint64_t generation) {
        host_.idleYield();
        return runGeneration_ == generation;
    }

    void StartNewRun(); // Reset's: abandon the current run and ask for one
    void EndAllRuns();  // Exit, or a standard machine's reset: nothing that runs or waits continues
    // Stop the run at a bad access: nothing of it continues, and the driver
    // reports the message once the run has unwound.
    void StopRun(const std::string& what);
    // A fault that stopped a machine outside any run (a standard frame).
    void ReportFault(const std::string& text);
    // The run driver: runs whatever run was asked for until none is wanted.
    void RunDriver();

    void BeginKeyWait();
    void EndKeyWait(bool completed); // completed: the wait got its key in a current run
    bool AbandonedKeyWaits() const;
    bool InKeyWait() const {
        return keyWaits_ > 0 || idleWaits_ > 0;
    } // some key wait on the stack belongs to an abandoned run
    bool BeginRemapWait(std::size_t button); // true: entered while no run was active
    void EndRemapWait(std::size_t button, bool idle);
    // The generation in which the button's wait began, while it waits.
    const std::optional<std::uint64_t>& ButtonWait(std::size_t button) const {
        return buttonWaits_[button];
    }

  private:
    Host& host_;
    DebugHooks& hooks_;
    Interpreter* running_ = nullptr;
    std::uint64_t runGeneration_ = 0;
    std::uint64_t handlerRun_ = 0;
    bool runWanted_ = false;
    int driverDepth_ = 0;
    int idleWaits_ = 0; // remap waits entered while no run was active
    // FX0A and remap waits now on the stack, of any run, and the generation
    // of the oldest of them.
    int keyWaits_ = 0;
    std::uint64_t oldestKeyWaitRun_ = 0;
    std::array<std::optional<std::uint64_t>, Buttons> buttonWaits_{};
    std::string pendingFault_;
    std::string lastFault_;
};

} // namespace kestrel
