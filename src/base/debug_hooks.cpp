#include "base/debug_hooks.h"

#include "base/texts.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kestrel {

namespace {

std::string registerName(int reg) {
    return reg == IndexWatch ? "I" : std::string("V") + "0123456789ABCDEF"[reg & 0xF];
}

std::uint64_t registerValue(const MachineState& state, int reg) {
    return reg == IndexWatch ? state.IndexReg : state.V[static_cast<std::size_t>(reg & 0xF)];
}

} // namespace

void DebugHooks::Attach(std::uint32_t memorySize, std::uint32_t pc) {
    if (!attached_) address_ = pc;
    attached_ = true;
    breakpoints_.resize(memorySize, 0);
    if (trace_.empty()) trace_.resize(TraceLength);
}

void DebugHooks::Detach() {
    attached_ = false;
    halted_ = false;
    mode_ = Mode::Free;
    stop_ = {};
    beCareful();
}

void DebugHooks::Halt(StopCause cause, std::uint32_t address, std::string text) {
    halted_ = true;
    mode_ = Mode::Free;
    stop_ = {cause, address, std::move(text)};
    beCareful();
}

std::string DebugHooks::Resume(std::uint32_t pc) {
    resume(pc, Mode::Free);
    return std::exchange(heldFault_, std::string());
}

void DebugHooks::ResumeFor(std::uint32_t pc, std::uint64_t count) {
    resume(pc, Mode::Count);
    stepsLeft_ = count;
}

void DebugHooks::ResumeUntilAt(std::uint32_t pc, std::uint32_t address, int depth) {
    resume(pc, Mode::UntilAt);
    untilAddress_ = address;
    untilDepth_ = depth;
}

void DebugHooks::ResumeUntilBelow(std::uint32_t pc, int depth) {
    resume(pc, Mode::UntilBelow);
    untilDepth_ = depth;
}

void DebugHooks::resume(std::uint32_t pc, Mode mode) {
    halted_ = false;
    stop_ = {};
    mode_ = mode;
    passOnce_ = pc;
    careful_ = true;
}

bool DebugHooks::stepDone(const MachineState& state) {
    switch (mode_) {
    case Mode::Free: return false;
    case Mode::Count:
        if (stepsLeft_ == 0) return true;
        --stepsLeft_;
        return false;
    case Mode::UntilAt:
        return state.ProgramCounter == untilAddress_ && state.StackPointer == untilDepth_;
    case Mode::UntilBelow: return state.StackPointer < untilDepth_;
    }
    return false;
}

bool DebugHooks::carefulHaltsBefore(const MachineState& state) {
    const std::uint32_t pc = state.ProgramCounter;
    const bool passing = passOnce_ == pc;
    passOnce_.reset();
    beCareful();
    if (stepDone(state)) {
        Halt(StopCause::Step, pc);
        return true;
    }
    if (!passing && pc < breakpoints_.size() && breakpoints_[pc] != 0) {
        Halt(StopCause::Breakpoint, pc, "Breakpoint at " + HexNumber(pc));
        return true;
    }
    note(state, pc);
    if (!registerWatches_.empty()) {
        vBefore_ = state.V;
        indexBefore_ = state.IndexReg;
    }
    prepared_ = true;
    writes_.reset();
    if (!memoryWatches_.empty()) {
        if (const debug::InstructionInfo* info = (*decode_)(word_))
            writes_ = debug::MemoryWritten(*info, word_, state.IndexReg);
    }
    return false;
}

bool DebugHooks::written(const MemoryWatch& watch, std::size_t size) const {
    const auto overlaps = [&](std::uint64_t first, std::uint64_t last) {
        return first <= watch.last && watch.first <= last;
    };
    if (!wraps_ || writes_->last < size) return overlaps(writes_->first, writes_->last);
    // A write that runs past the end of a standard machine's memory wraps to its start.
    const std::uint64_t first = writes_->first % size;
    const std::uint64_t last = writes_->last % size;
    return first <= last ? overlaps(first, last) : overlaps(first, size - 1) || overlaps(0, last);
}

void DebugHooks::carefulRan(const MachineState& state) {
    if (!std::exchange(prepared_, false)) return; // careful only since the instruction began
    const std::uint32_t address = address_;
    const std::uint16_t word = word_;
    if (writes_) {
        for (const MemoryWatch& watch : memoryWatches_) {
            if (written(watch, state.Memory.size())) {
                Halt(StopCause::MemoryWrite, address,
                     "Memory " + HexNumber(watch.first) + ".." + HexNumber(watch.last) +
                         " written by " + HexNumber(word) + " at " + HexNumber(address));
                return;
            }
        }
    }
    for (const RegisterWatch& watch : registerWatches_) {
        const std::uint64_t now = registerValue(state, watch.reg);
        const std::uint64_t before = watch.reg == IndexWatch
                                         ? indexBefore_
                                         : vBefore_[static_cast<std::size_t>(watch.reg & 0xF)];
        if (now == watch.value && before != watch.value) {
            Halt(StopCause::RegisterValue, address,
                 registerName(watch.reg) + " took " + HexNumber(watch.value) + " at " +
                     HexNumber(address));
            return;
        }
    }
}

bool DebugHooks::HoldsFault(const std::string& text) {
    if (!attached_ || !breakOnFaults) return false;
    heldFault_ = text;
    Halt(StopCause::Fault, address_, text);
    return true;
}

std::vector<TraceEntry> DebugHooks::Trace() const {
    std::vector<TraceEntry> entries;
    if (traceFull_)
        entries.insert(entries.end(), trace_.begin() + static_cast<std::ptrdiff_t>(traceNext_),
                       trace_.end());
    entries.insert(entries.end(), trace_.begin(),
                   trace_.begin() + static_cast<std::ptrdiff_t>(traceNext_));
    return entries;
}

} // namespace kestrel
