#include "machine/machine.h"
#include "base/texts.h"

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

void Machine::startNewRun() {
    ++runGeneration_;
    runWanted_ = true;
    if (driverDepth_ == 0) host_.requestRun();
}

void Machine::EndAllRuns() {
    ++runGeneration_;
    runWanted_ = false;
    host_.stopTone();
}

void Machine::stopRun(const std::string& what) {
    ++runGeneration_;
    runWanted_ = false;
    pendingFault_ = what + " The run has stopped; choose Reset or Open ROM to start again.";
}

void Machine::RunDriver() {
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
        // A standard machine runs from its frame clock, not from here.
        if (!standard()) start_cpu();
        if (!pendingFault_.empty()) {
            lastFault_ = pendingFault_;
            pendingFault_.clear();
            host_.reportFault(lastFault_);
        }
    }
    --driverDepth_;
}

void Machine::beginKeyWait() {
    if (keyWaits_ == 0) oldestKeyWaitRun_ = runGeneration_;
    ++keyWaits_;
    host_.setStatusText(WaitingText);
}

void Machine::endKeyWait(bool completed) {
    --keyWaits_;
    if (!completed) return;
    const bool runStillWaits = (keyWaits_ > 0 && oldestKeyWaitRun_ == runGeneration_) ||
                               (standard() && standard_.WaitingForKey());
    host_.setStatusText(runStillWaits ? WaitingText : std::string());
}

bool Machine::abandonedKeyWaits() const {
    return keyWaits_ > 0 && oldestKeyWaitRun_ != runGeneration_;
}

// A wait entered while no run is active sits beneath any run the driver
// would start; the driver waits for it to unwind.
bool Machine::beginRemapWait(std::size_t button) {
    const bool idle = driverDepth_ == 0;
    if (idle) ++idleWaits_;
    buttonWaits_[button] = runGeneration_;
    beginKeyWait();
    return idle;
}

void Machine::endRemapWait(std::size_t button, bool idle) {
    buttonWaits_[button].reset();
    if (!idle) return;
    --idleWaits_;
    if (idleWaits_ == 0 && runWanted_) host_.requestRun();
}

} // namespace kestrel
