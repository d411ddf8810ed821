#pragma once

#include "base/machine_state.h"
#include "debug/instruction_table.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrel {

// What halted a program the debugger holds.
enum class StopCause : std::uint8_t {
    None,          // nothing: it runs
    Break,         // the debugger's Break, or a new run that starts halted
    Step,          // a step, step over, step out or frame step finished
    Breakpoint,    // the program counter reached a breakpoint
    MemoryWrite,   // an instruction wrote to a watched range
    RegisterValue, // a register took a watched value
    Fault,         // a fault, whose message waits for Continue
};

struct StopReport {
    StopCause cause = StopCause::None;
    std::uint32_t address = 0; // the instruction it concerns
    std::string text;          // what to show: the watch that fired, or the fault's message
};

// A watched register: 0..15 are V0..VF, IndexWatch is I.
inline constexpr int IndexWatch = 16;
struct RegisterWatch {
    int reg = 0;
    std::uint32_t value = 0;
    bool operator==(const RegisterWatch&) const = default;
};
// A watched range of memory, both ends included.
struct MemoryWatch {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    bool operator==(const MemoryWatch&) const = default;
};

// One instruction run, as the trace keeps it: 32 bytes, so that the trace
// can stay on while the debugger is open. The registers are those it found;
// what it changed shows in the next entry's, or in the machine once it is
// the last.
struct TraceEntry {
    std::uint32_t frame;   // the frame (a tick on Kestrel's machine) it ran in
    std::uint32_t address; // where it began
    std::uint16_t word;
    std::uint16_t second;           // the word after it, which a four-byte instruction reads
    std::uint32_t index;            // I before it ran (its low 32 bits)
    std::array<std::uint8_t, 16> v; // V0-VF before it ran
};

// The debugger's side of each instruction, which both interpreters consult
// while a debugger is attached: whether to halt before it, and what to note
// after it. With no debugger attached, neither interpreter asks anything of
// it per instruction: each checks Attached() once a frame or a pass and runs
// its own plain loop otherwise.
class DebugHooks {
  public:
    // The last 4,096 instructions, 128 KB.
    static constexpr std::size_t TraceLength = 1 << 12;

    bool Attached() const { return attached_; }
    bool Halted() const { return halted_; }
    const StopReport& Stop() const { return stop_; }
    std::uint32_t FrameCount() const { return frame_; }
    void CountFrame() { ++frame_; }

    // Before the instruction at the program counter: true when the program
    // halts there instead of running it. Inline, and with nothing to ask but
    // a breakpoint's byte while no step, watch or passed breakpoint needs
    // more, so that a debugger open costs the run little.
    bool HaltsBefore(const MachineState& state) {
        const std::uint32_t pc = state.ProgramCounter;
        if (careful_ || (pc < breakpoints_.size() && breakpoints_[pc] != 0))
            return carefulHaltsBefore(state);
        note(state, pc);
        prepared_ = false;
        return false;
    }
    // The quick loop a standard frame runs while nothing but breakpoints is
    // set and no sink takes the trace: it holds these in registers, writes
    // the trace itself, and hands the ring's place back when it leaves.
    struct QuickRun {
        const std::uint8_t* marks; // one a byte of memory
        TraceEntry* trace;         // TraceLength entries, or none when the trace is off
        std::size_t next;
        std::uint32_t frame;
    };
    bool Quick() const { return !careful_ && !traceSink; }
    static void Fill(TraceEntry& entry, std::uint32_t frame, std::uint32_t pc, std::uint16_t word,
                     std::uint16_t second, const MachineState& state) {
        entry.frame = frame;
        entry.address = pc;
        entry.word = word;
        entry.second = second;
        entry.index = static_cast<std::uint32_t>(state.IndexReg);
        entry.v = state.V;
    }
    QuickRun BeginQuick() {
        return {breakpoints_.data(), tracing_ ? trace_.data() : nullptr, traceNext_, frame_};
    }
    // `last`: where the last instruction it ran began, which a fault concerns.
    void EndQuick(std::size_t next, std::uint64_t ran, std::uint32_t last) {
        if (ran == 0) return;
        if (tracing_ && ran >= TraceLength - traceNext_) traceFull_ = true;
        traceNext_ = next;
        address_ = last;
    }
    // After the instruction HaltsBefore let run has run.
    void Ran(const MachineState& state) {
        if (tracing_) traceRan();
        if (careful_) carefulRan(state);
    }
    // A fault stopped the program: true when the debugger holds its message
    // until Continue, halting with the state that caused it.
    bool HoldsFault(const std::string& text);

    // The debugger's own side. The machine chosen: its instructions, and
    // whether its addresses wrap at the end of its memory.
    void Follow(debug::InstructionSetId set, bool wraps) {
        decode_ = &debug::DecodeIndex::For(set);
        wraps_ = wraps;
    }
    // `pc`: the instruction under way, which a fault at once concerns.
    void Attach(std::uint32_t memorySize, std::uint32_t pc);
    void Detach();
    void Halt(StopCause cause, std::uint32_t address, std::string text = {});
    // A reset: a fault held is gone with the run it stopped.
    void DropHeldFault() { heldFault_.clear(); }
    // Runs on: a breakpoint at the instruction it halted at does not stop it
    // again at once. Returns the fault held, if any, for its message to go out.
    std::string Resume(std::uint32_t pc);
    // Runs `count` instructions, then halts (StopCause::Step).
    void ResumeFor(std::uint32_t pc, std::uint64_t count);
    // Runs until the program counter is `address` with `depth` return
    // addresses on the stack (step over a call), or until fewer than `depth`
    // are (step out).
    void ResumeUntilAt(std::uint32_t pc, std::uint32_t address, int depth);
    void ResumeUntilBelow(std::uint32_t pc, int depth);
    bool Stepping() const { return mode_ != Mode::Free; }
    // A standard machine's frame step ended its frame.
    void FrameStepped(std::uint32_t pc) { Halt(StopCause::Step, pc); }

    std::vector<std::uint8_t>& Breakpoints() { return breakpoints_; }
    const std::vector<std::uint8_t>& Breakpoints() const { return breakpoints_; }
    const std::vector<MemoryWatch>& MemoryWatches() const { return memoryWatches_; }
    const std::vector<RegisterWatch>& RegisterWatches() const { return registerWatches_; }
    void SetMemoryWatches(std::vector<MemoryWatch> watches) {
        memoryWatches_ = std::move(watches);
        beCareful();
    }
    void SetRegisterWatches(std::vector<RegisterWatch> watches) {
        registerWatches_ = std::move(watches);
        beCareful();
    }
    bool breakOnFaults = true;

    // The trace, oldest first: at most TraceLength entries.
    std::vector<TraceEntry> Trace() const;
    void ClearTrace() {
        traceNext_ = 0;
        traceFull_ = false;
    }
    void TraceOn(bool on) { tracing_ = on; }
    std::function<void(const TraceEntry&)> traceSink;

  private:
    enum class Mode { Free, Count, UntilAt, UntilBelow };
    void resume(std::uint32_t pc, Mode mode);
    bool stepDone(const MachineState& state);
    bool carefulHaltsBefore(const MachineState& state);
    void carefulRan(const MachineState& state);
    // Whether each instruction needs more than a breakpoint's byte looked at.
    void beCareful() {
        careful_ = mode_ != Mode::Free || passOnce_.has_value() || !memoryWatches_.empty() ||
                   !registerWatches_.empty();
    }
    // The instruction let run: where, and its words. Its trace entry is
    // written here, with the registers as they stand before it: read then,
    // they are not the bytes the instruction has only just stored, which a
    // processor reads back slowly.
    void note(const MachineState& state, std::uint32_t pc) {
        address_ = pc;
        word_ = static_cast<std::uint16_t>(byte(state, pc) << 8 | byte(state, pc + 1));
        second_ = static_cast<std::uint16_t>(byte(state, pc + 2) << 8 | byte(state, pc + 3));
        if (tracing_) Fill(trace_[traceNext_], frame_, pc, word_, second_, state);
    }
    // A byte as the machine fetches it: wrapping at the end of a standard
    // machine's memory; none past the end of Kestrel's.
    std::uint8_t byte(const MachineState& state, std::uint64_t a) const {
        const std::size_t size = state.Memory.size();
        if (wraps_) return state.Memory[a & (size - 1)];
        return a < size ? state.Memory[a] : 0;
    }
    void traceRan() {
        if (traceSink) traceSink(trace_[traceNext_]);
        if (++traceNext_ == trace_.size()) {
            traceNext_ = 0;
            traceFull_ = true;
        }
    }
    bool written(const MemoryWatch& watch, std::size_t size) const;

    bool attached_ = false;
    bool careful_ = false;
    bool prepared_ = false; // the careful HaltsBefore noted what the watches compare
    bool halted_ = false;
    StopReport stop_;
    std::string heldFault_;
    std::uint32_t frame_ = 0;

    Mode mode_ = Mode::Free;
    std::uint64_t stepsLeft_ = 0;
    std::uint32_t untilAddress_ = 0;
    int untilDepth_ = 0;
    std::optional<std::uint32_t>
        passOnce_; // the address resumed from: its breakpoint is passed once

    std::vector<std::uint8_t> breakpoints_; // one a byte of memory: 1 where set
    std::vector<MemoryWatch> memoryWatches_;
    std::vector<RegisterWatch> registerWatches_;
    const debug::DecodeIndex* decode_ = &debug::DecodeIndex::For(debug::InstructionSetId::Kestrel);
    bool wraps_ = false;
    // The instruction let run: where, its words (the second read only by a
    // four-byte instruction), and the memory it writes.
    std::uint32_t address_ = 0;
    std::uint16_t word_ = 0;
    std::uint16_t second_ = 0;
    std::optional<debug::WrittenRange> writes_;
    std::array<std::uint8_t, 16> vBefore_{};
    std::uint64_t indexBefore_ = 0;

    bool tracing_ = true;
    std::vector<TraceEntry> trace_;
    std::size_t traceNext_ = 0;
    bool traceFull_ = false;
};

} // namespace kestrel
