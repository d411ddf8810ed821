#pragma once

#include "base/debug_hooks.h"
#include "base/host.h"
#include "base/machine_state.h"
#include "base/platform.h"
#include "base/screen_surface.h"
#include "debug/instruction_table.h"
#include "standard/frame_buffer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrel {

class Machine;
class KestrelInterpreter;
class StandardInterpreter;
class RunControl;

// What the program is doing, as the debugger shows it.
enum class ProgramState {
    NoProgram, // nothing to run: no ROM, or none that fits
    Running,
    Paused,        // CPU › Pause
    WaitingForKey, // FX0A, or a remap button on Kestrel's machine
    Ended,         // 00FD
    Faulted,
    Halted, // by the debugger: nothing runs, no timer counts, no tone sounds
};

// What a step asked for did.
enum class StepResult {
    Done,          // it ran and the program is halted again
    Started,       // it runs on and halts when it is done (Kestrel's machine, a step over or out)
    WaitingForKey, // the program waits for a key: nothing ran
    NotRunning,    // no program runs (none, ended, faulted): nothing ran
    NoHistory,     // nothing to step back to, or the machine keeps no history
    NotOnMachine,  // Kestrel's machine neither steps back nor by frames
    NoCall,        // step out with no call to return from
};

// What each result says to the user, empty for Done and Started.
const char* StepResultText(StepResult result);

// A picture as the window paints it, one entry a CHIP-8 pixel: the bits of
// the planes lit there (bit 0 plane 1, bit 1 plane 2), and the colours of
// none, plane 1, plane 2 and both.
struct PictureView {
    int columns = 0;
    int rows = 0;
    int planes = 1;
    std::vector<std::uint8_t> pixels; // row by row
    std::array<std::int32_t, 4> colours{};
    std::uint8_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y * columns + x)];
    }
};

// The one way into a running machine for the debugger window, kestrel-run
// and the tests: a read-only view of the machine that runs, its run control,
// breakpoints and watchpoints, the trace and, on the standard machines, the
// history that steps back. The Machine holds it; Machine::Debug() lends it.
//
// While detached it costs nothing: each interpreter checks once a frame or a
// pass whether it is attached, and runs its plain loop otherwise. Attached, it
// halts the program as asked: a halt is not CPU › Pause; nothing runs, no
// timer counts and no tone sounds until Continue or a step.
class Debugger {
  public:
    Debugger(Machine& machine, DebugHooks& hooks, KestrelInterpreter& kestrel,
             StandardInterpreter& standard, RunControl& runs, Host& host);
    ~Debugger();
    Debugger(const Debugger&) = delete;
    Debugger& operator=(const Debugger&) = delete;

    // Attached, the machine consults the debugger before and after every
    // instruction and keeps the trace and the history. Detaching leaves the
    // program running as it was before any break; breakpoints are kept.
    void Attach();
    void Detach();
    bool Attached() const { return hooks_.Attached(); }

    // ---- Inspect
    const MachineKind& Kind() const;
    debug::InstructionSetId InstructionSet() const;
    const std::array<std::uint8_t, 16>& V() const;
    std::uint64_t I() const;
    std::uint32_t PC() const;
    int SP() const;
    std::vector<std::uint32_t> Stack() const; // the return addresses held, oldest first
    std::uint8_t DelayTimer() const;
    std::uint8_t SoundTimer() const;
    std::span<const std::uint8_t> Memory() const; // its size is the machine's
    PictureView Picture() const;
    // A standard machine's frame buffer itself: its 128 x 64 grid, each
    // low-resolution pixel a block of it. Blank on Kestrel's machine.
    const FrameBuffer& ScreenBuffer() const;
    // Kestrel's machine's screen memory: its surface is the only record of
    // which pixels are lit, and a debugger may write it as it writes memory.
    ScreenSurface& KestrelSurface();
    bool Hires() const;
    std::uint8_t PlaneMask() const; // XO-CHIP's FN01 selection; 1 elsewhere
    const std::array<std::uint8_t, 16>& FlagRegisters() const;
    std::uint8_t Pitch() const;
    const SoundPattern& Pattern() const;
    std::uint16_t KeysDown() const; // bit k: CHIP-8 key k is down on the standard machines' keypad
    ProgramState State() const;
    const StopReport& Stop() const { return hooks_.Stop(); } // why it is halted
    std::uint32_t FrameCount() const { return hooks_.FrameCount(); }
    // A line of the trace as kestrel-run writes it: frame, address, word,
    // mnemonic, and the registers it changed, which `after` (the next entry,
    // or Registers() for the last) holds as they were once it had run.
    std::string TraceLine(const TraceEntry& entry, const TraceEntry& after) const;
    TraceEntry Registers() const;                                    // V and I as they are now
    std::vector<TraceEntry> Trace() const { return hooks_.Trace(); } // the last ones, oldest first
    // Every instruction run while attached also goes to `sink`, when set:
    // kestrel-run's --trace writes them all.
    void SetTraceSink(std::function<void(const TraceEntry&)> sink);

    // ---- Run control
    void Break();
    void Continue();
    StepResult Step();
    StepResult StepOver();     // a call runs until it returns; anything else is one step
    StepResult StepOut();      // runs to the return from the current call
    StepResult StepFrame();    // the standard machines: the rest of this frame, or the next one
    StepResult StepBack();     // the standard machines: to the state before the last instruction
    StepResult BackOneFrame(); // the standard machines: to the start of the previous frame

    // ---- Breakpoints and watchpoints. An address outside the machine's
    // memory is refused (false) and nothing changes.
    bool SetBreakpoint(std::uint32_t address, bool set = true);
    bool ToggleBreakpoint(std::uint32_t address);
    bool HasBreakpoint(std::uint32_t address) const;
    std::vector<std::uint32_t> Breakpoints() const;
    bool WatchMemory(MemoryWatch range, bool set = true);
    bool WatchRegister(RegisterWatch watch, bool set = true);
    void BreakOnFaults(bool on) { hooks_.breakOnFaults = on; }
    void ClearBreakpoints();

    // The history's cost now, and the span it holds.
    std::size_t HistoryBytes() const;
    double HistorySeconds() const;

    // Runs the instruction at the program counter at once, outside any run
    // and past any breakpoint: the benchmarks and the instruction-table check
    // time and test single instructions through it.
    void ExecuteOne();

    // The Machine's own call: a machine was chosen or reset. A program halted
    // starts halted at its first instruction.
    void MachineReset();

  private:
    bool standard() const;
    // Runs a standard machine's frames at once until the debugger halts it.
    void runStandardUntilHalted(int frames);
    bool standardRunnable() const;
    std::optional<StepResult> cannotStep();
    StepResult started();
    StepResult wentBack(bool went);

    Machine& machine_;
    DebugHooks& hooks_;
    KestrelInterpreter& kestrel_;
    StandardInterpreter& standard_;
    RunControl& runs_;
    Host& host_;
};

} // namespace kestrel
