#pragma once

#include "machine/machine.h"
#include "run/frames.h"
#include "run/headless_host.h"
#include "run/key_script.h"
#include "run/machine_names.h"
#include "run/picture.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::run {

struct RunOptions {
    std::uint64_t frames = 60;            // frames of a standard machine, ticks of Kestrel's
    std::optional<int> rate;              // instructions a frame, as CPU › Speed sets it
    std::vector<KeyEvent> keys;           // in frame order, as ParseKeyScript gives them
    std::optional<std::uint32_t> breakAt; // halt when the program counter gets there
    // Given one line an instruction (frame, address, word, mnemonic) when set.
    std::function<void(const std::string&)> trace;
};

enum class RunEnd {
    Completed,  // every frame ran
    Faulted,    // the program stopped at a fault; text is its message
    Breakpoint, // the program counter reached breakAt
};

struct RunResult {
    RunEnd end = RunEnd::Completed;
    // Frames (ticks) run, the one it stopped in included: it stopped in frame
    // frames - 1, counted from 0 as the key script counts them.
    std::uint64_t frames = 0;
    std::string text;
};

// kestrel-run's machine: a Machine on a headless host that opens a ROM on the
// machine asked for and runs it for a number of frames, without pacing, with
// keys pressed and released at chosen frames.
class Runner {
  public:
    Runner();

    // Reads the ROM and resets on the machine chosen; false when it is
    // unreadable or too long for it, and error() says why.
    bool open(const std::string& path, const MachineChoice& choice);
    // The keys the machine takes: CHIP-8 values on the standard machines.
    static Engine EngineOf(const MachineChoice& choice) {
        return choice.fromDatabase() ? Engine::Standard : choice.kind->engine;
    }
    // Checks what only the opened machine can (a breakpoint inside its
    // memory), then runs; the error is in text, and nothing runs, if not.
    std::optional<std::string> prepare(const RunOptions& options);
    RunResult run(const RunOptions& options);

    PictureView picture() const { return machine_.Debug().Picture(); }
    const MachineState& state() const { return machine_.State; }
    const MachineKind& kind() const { return machine_.Kind(); }
    const std::string& error() const { return error_; }
    // What "From the ROM database" would tell in a box: a ROM listed only
    // for machines Kestrel does not run. Empty otherwise.
    const std::string& warning() const { return warning_; }

  private:
    // Counts the run loop's yields and serves Kestrel's tick every TickYields.
    class TickHost : public HeadlessHost {
      public:
        void yield() override {
            if (--untilTick_ == 0) {
                untilTick_ = TickYields;
                onTick();
            }
            if (onYield) onYield();
        }
        void idleYield() override { yield(); }
        std::function<void()> onTick;
        std::function<void()> onYield; // set only while a debugger watches

      private:
        std::uint64_t untilTick_ = TickYields;
    };

    void pressKeys(const std::vector<KeyEvent>& keys, std::size_t& next, std::uint64_t frame);
    void press(const KeyEvent& event);
    void attach(const RunOptions& options);
    bool halted() const;
    std::string faultText() const;
    RunResult runKestrel(const RunOptions& options);
    RunResult runStandard(const RunOptions& options);

    TickHost host_;
    Machine machine_{host_};
    std::uint64_t frame_ = 0; // the frame (tick) that runs, from 0
    std::string error_;
    std::string warning_;
    bool watching_ = false;            // a debugger is attached for a break or a trace
    std::optional<TraceEntry> traced_; // the last instruction traced, its line still to write
};

} // namespace kestrel::run
