#pragma once

#include "machine/machine.h"
#include "support/fake_host.h"
#include "support/passes.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace kestrel::testing {

// A machine on a FakeHost that runs little programs written as instruction
// words, through Reset_Click and the run loop, for a bounded number of yields.
//
// On a standard machine, whose Reset writes memory afresh from the copy of
// the opened ROM, the words go into a ROM image that is opened before the run,
// and runs are measured in frames of a fake frame clock.
class RomRunner {
  public:
    explicit RomRunner(const MachineKind& kind = KestrelMachine);

    // Places the words at `at` onward, as a loaded ROM would be.
    void load(std::initializer_list<std::uint16_t> words, std::uint32_t at = ProgramStart) {
        load(std::vector<std::uint16_t>(words), at);
    }

    void load(const std::vector<std::uint16_t>& words, std::uint32_t at = ProgramStart);

    // Runs `words` from 512 followed by a jump to itself, through Reset and
    // the run loop, long enough for every word to have executed once.
    void execute(std::initializer_list<std::uint16_t> words) {
        execute(std::vector<std::uint16_t>(words));
    }
    void execute(const std::vector<std::uint16_t>& words);
    // Reset, then run long enough for `instructions` instructions at least:
    // passes on Kestrel's machine, frames on a standard one.
    void run(std::uint64_t instructions);
    // Reset, then run `passes` passes of instructions that each make
    // `handlerYields` opening yields (0 for DXYN and unmatched words).
    void resetAndRunPasses(std::uint64_t passes, std::uint64_t handlerYields = 1) {
        resetAndRun(YieldsOfPasses(passes, handlerYields));
    }

    // Reset, then run until `yieldCount` more yields have been made (or the
    // run stops on its own, at a fault).
    void resetAndRun(std::uint64_t yieldCount);
    // Stop the run inside yield number `yieldNumber`, counted over the host's life.
    void stopAt(std::uint64_t yieldNumber);

    // Opens the ROM image if it changed, resets, and runs `frames` frames of
    // a standard machine, as its frame clock would.
    void runFrames(std::uint64_t frames);
    // Runs `frames` more frames, without a reset.
    void moreFrames(std::uint64_t frames);
    std::uint64_t framesBegun = 0;
    // Events served just before frame number n (counted over the runner's
    // life from 1) begins, as the event loop serves them between frames.
    std::multimap<std::uint64_t, std::function<void()>> frameEvents;
    std::function<void()> everyFrame; // served before each frame, after its events
    void atFrame(std::uint64_t frame, std::function<void()> event) {
        frameEvents.emplace(frame, std::move(event));
    }

    // The 64 x 32 screen read back from the surface, '#' lit and '.' dark.
    std::vector<std::string> screen() const;
    bool lit(int cx, int cy) const;
    // The 128 x 64 grid read back from the surface in the default palette's
    // colours: '.' none, '1' plane 1, '2' plane 2, '3' both, '?' any other.
    std::vector<std::string> colourScreen() const;
    // The same with '#' for plane 1 and '.' for none.
    std::vector<std::string> hiresScreen() const;

    FakeHost host;
    Machine machine;
    MachineState& state() { return machine.State; }

  private:
    bool standard() const { return machine.Kind().engine == Engine::Standard; }
    void openImage();
    std::vector<std::uint8_t> image_; // the standard machine's ROM, from 512
    bool imageChanged_ = false;
};

// The three machines, for tables of cases run on each.
struct NamedMachine {
    const char* name;
    MachineKind kind;
};
inline const NamedMachine Machines[] = {
    {"Kestrel", KestrelMachine},
    {"COSMAC VIP", CosmacVipMachine},
    {"modern", ModernChip8Machine},
};

// A case of a rule machines differ on: a program, and the value it leaves
// on each of a table's Count machines, in their order.
template <std::size_t Count> struct MachineCase {
    const char* name;
    std::vector<std::uint16_t> program;
    int expected[Count];
};
using RuleCase = MachineCase<std::size(Machines)>;

} // namespace kestrel::testing
