#include "vm/machine.h"

namespace kestrel {

Machine::Machine(Host& host) : host_(host) {}

void Machine::EndAllRuns() {
    ++runGeneration_;
    runWanted_ = false;
    host_.stopTone();
}

void Machine::RunDriver() {
    // The active driver sees the abandoned run unwind and starts the new one.
    if (driverDepth_ > 0) return;
    // A remap wait entered while idle is still on the stack beneath us; a run
    // started here would live inside that button's handler. Come back once
    // it has unwound.
    if (idleWaits_ > 0) {
        if (runWanted_) host_.requestRun();
        return;
    }
    ++driverDepth_;
    while (runWanted_) {
        runWanted_ = false;
        handlerRun_ = runGeneration_;
        start_cpu();
        if (!pendingFault_.empty()) {
            lastFault_ = pendingFault_;
            pendingFault_.clear();
            host_.reportFault(lastFault_);
        }
    }
    --driverDepth_;
}

void Machine::stopRun(const std::string& what) {
    ++runGeneration_;
    runWanted_ = false;
    pendingFault_ = what + " The run has stopped; choose Reset or Open ROM to start again.";
}

void Machine::stopRunAtAddress(std::uint64_t address) {
    stopRun("Instruction " + instructionName() + " at address " +
            std::to_string(instructionAddress_) + " reached address " + std::to_string(address) +
            ", outside memory (0..8192).");
}

std::string Machine::instructionName() const {
    static constexpr char Hex[] = "0123456789ABCDEF";
    return {Hex[State.Nibble1 & 15], Hex[State.Nibble2 & 15], Hex[State.Nibble3 & 15],
            Hex[State.Nibble4 & 15]};
}

} // namespace kestrel
