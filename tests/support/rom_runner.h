#pragma once

#include "support/fake_host.h"
#include "support/passes.h"
#include "vm/machine.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kestrel::testing {

// A machine on a FakeHost that runs little programs written as instruction
// words, through Reset_Click and the run loop, for a bounded number of yields.
class RomRunner {
  public:
    RomRunner() : machine(host) { machine.LoadDefaultKeyMap(); }

    // Places the words at 512 onward, as a loaded ROM would be.
    void load(std::initializer_list<std::uint16_t> words, std::uint32_t at = ProgramStart);

    // Runs `words` from 512 followed by a jump to itself, through Reset and
    // the run loop, long enough for every word to have executed once.
    void execute(std::initializer_list<std::uint16_t> words);
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

    // The 64 x 32 screen read back from the surface, '#' lit and '.' dark.
    std::vector<std::string> screen() const;
    bool lit(int cx, int cy) const;

    FakeHost host;
    Machine machine;
    MachineState& state() { return machine.State; }
};

} // namespace kestrel::testing
