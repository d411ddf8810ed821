#include "base/run_control.h"

#include "base/texts.h"
#include <utility>

namespace kestrel {

// Runs and waits. Every counter of them is written here and nowhere else.
//
// - The current run is the one whose generation is runGeneration_. Reset
//   starts a new generation and asks for a run; a fault and Exit start one
//   that wants no run. Every loop of the core looks at the generation after
//   each yield and returns at once when it changed.
// - Runs are entered only from RunDriver, from the top of the event loop,
//   never beneath a remap wait entered while idle: a driver called inside
//   another returns, and the outer one starts the next run once the
//   abandoned one has unwound.
// - A key wait (FX0A or a remap button) holds the label while it waits. A
//   wait of the current run that ends keeps the label only while another
//   wait of its run goes on beneath it, or a standard machine's FX0A waits; a wait that a new run
//   abandoned stores nothing and leaves the label to the new run, which emptied it.
// - Waits are counted on the stack, FX0A and remap alike, with the
//   generation of the oldest. While a wait of an abandoned run is still on
//   the stack a click does nothing, so Reset-and-click pairs served in one
//   yield cannot pile waits on each other; the same button clicked again in
//   its wait's run shares that wait.
// - What unwinds: an abandoned run's loop, handler and waits, up to the
//   driver, which reports a fault that stopped the run once it is gone. The
//   last remap wait entered while idle posts the driver as it unwinds, if a
//   run is wanted; the driver never posts itself.

void RunControl::StartNewRun() {
    ++runGeneration_;
    runWanted_ = true;
    if (driverDepth_ == 0) host_.requestRun();
}

void RunControl::EndAllRuns() {
    ++runGeneration_;
    runWanted_ = false;
    host_.stopTone();
}

void RunControl::StopRun(const std::string& what) {
    ++runGeneration_;
    runWanted_ = false;
    pendingFault_ = what + RunStoppedText;
}

void RunControl::ReportFault(const std::string& text) {
    lastFault_ = text;
    host_.reportFault(lastFault_);
}

void RunControl::RunDriver() {
    // The active driver sees the abandoned run unwind and starts the new one.
    if (driverDepth_ > 0) return;
    // A remap wait entered while idle is still on the stack beneath us; a run
    // started here would live inside that button's handler. The last such
    // wait posts the driver as it unwinds.
    if (idleWaits_ > 0) return;
    ++driverDepth_;
    while (runWanted_) {
        runWanted_ = false;
        handlerRun_ = runGeneration_;
        // A standard machine runs from its frame clock: its Run returns at once.
        running_->Run();
        if (!pendingFault_.empty()) {
            std::string fault = std::exchange(pendingFault_, std::string());
            if (!hooks_.HoldsFault(fault)) ReportFault(fault);
        }
    }
    --driverDepth_;
}

void RunControl::BeginKeyWait() {
    if (keyWaits_ == 0) oldestKeyWaitRun_ = runGeneration_;
    ++keyWaits_;
    host_.setStatusText(WaitingText);
}

void RunControl::EndKeyWait(bool completed) {
    --keyWaits_;
    if (!completed) return;
    const bool runStillWaits =
        (keyWaits_ > 0 && oldestKeyWaitRun_ == runGeneration_) || running_->WaitingForKey();
    host_.setStatusText(runStillWaits ? WaitingText : std::string());
}

bool RunControl::AbandonedKeyWaits() const {
    return keyWaits_ > 0 && oldestKeyWaitRun_ != runGeneration_;
}

// A wait entered while no run is active sits beneath any run the driver
// would start; the driver waits for it to unwind.
bool RunControl::BeginRemapWait(std::size_t button) {
    const bool idle = driverDepth_ == 0;
    if (idle) ++idleWaits_;
    buttonWaits_[button] = runGeneration_;
    BeginKeyWait();
    return idle;
}

void RunControl::EndRemapWait(std::size_t button, bool idle) {
    buttonWaits_[button].reset();
    if (!idle) return;
    --idleWaits_;
    if (idleWaits_ == 0 && runWanted_) host_.requestRun();
}

} // namespace kestrel
