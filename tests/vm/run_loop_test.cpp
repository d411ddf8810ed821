#include "support/key_codes.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrel::testing {
namespace {

TEST(RunLoop, ZeroMemoryWalksThePcByTwoAPassOfAHundredYields) {
    RomRunner r;
    std::vector<std::uint32_t> pcs;
    r.host.everyYield = [&] { pcs.push_back(r.state().ProgramCounter); };
    const MachineState before = r.state();
    r.resetAndRunPasses(10, 0);
    ASSERT_EQ(pcs.size(), YieldsOfPasses(10, 0));
    for (std::size_t n = 0; n < pcs.size(); ++n)
        ASSERT_EQ(pcs[n], 514 + 2 * (n / YieldsOfPasses(1, 0))) << "yield " << n + 1;
    EXPECT_EQ(r.host.idleYields, 0u);
    const MachineState& s = r.state();
    EXPECT_EQ(s.V, before.V);
    EXPECT_EQ(s.IndexReg, 0u);
    EXPECT_EQ(s.StackPointer, 0);
    EXPECT_EQ(s.DelayTimer, 0);
    EXPECT_EQ(r.host.surfaceChanges, 1); // the reset's clear only
}

TEST(RunLoop, AYieldingInstructionAddsItsOpeningYieldToThePass) {
    RomRunner r;
    for (std::uint32_t a = 512; a < 600; a += 2)
        r.load({0x6001}, a);
    std::vector<std::uint32_t> pcs;
    r.host.everyYield = [&] { pcs.push_back(r.state().ProgramCounter); };
    r.resetAndRunPasses(10);
    ASSERT_EQ(pcs.size(), YieldsOfPasses(10));
    for (std::size_t n = 0; n < pcs.size(); ++n)
        ASSERT_EQ(pcs[n], 514 + 2 * (n / YieldsOfPasses(1))) << "yield " << n + 1;
}

TEST(RunLoop, DelayTimerFallsToOneAPassAndStopsThere) {
    RomRunner r;
    r.state().DelayTimer = 200;
    r.resetAndRunPasses(198, 0);
    EXPECT_EQ(r.state().DelayTimer, 2);
    r.resetAndRunPasses(1, 0);
    EXPECT_EQ(r.state().DelayTimer, 1);
    r.resetAndRunPasses(50, 0);
    EXPECT_EQ(r.state().DelayTimer, 1);
}

TEST(RunLoop, PauseSkipsInstructionsButNotTheCountdownAndYieldsIdly) {
    RomRunner r;
    r.load({0x7101, 0x1200});
    r.state().DelayTimer = 200;
    r.machine.pausex_Click();
    r.resetAndRunPasses(199, 0);
    EXPECT_EQ(r.state().DelayTimer, 1);
    EXPECT_EQ(r.state().ProgramCounter, 512u);
    EXPECT_EQ(r.state().V[1], 0);
    EXPECT_EQ(r.host.idleYields, r.host.yields);

    // Pause lifted inside a yield: the next pass executes again.
    r.host.at(r.host.yields + 50, [&] { r.machine.pausex_Click(); });
    r.resetAndRun(50 + YieldsOfPasses(5));
    EXPECT_GE(r.state().V[1], 2);
}

TEST(RunLoop, PauseChosenInsideAPassTakesEffectAtTheNextYield) {
    RomRunner r;
    r.load({0x7101, 0x1200});
    const std::uint64_t pauseAt = YieldOfPass(2, 49); // among the loop's yields after 1200
    r.host.at(pauseAt, [&] { r.machine.pausex_Click(); });
    r.resetAndRun(2000);
    EXPECT_EQ(r.state().V[1], 1); // 7101 ran in pass 1, 1200 in pass 2, then nothing
    EXPECT_EQ(r.state().ProgramCounter, 512u);
    EXPECT_EQ(r.host.idleYields, 2000u - pauseAt);
}

// Fetches up to 8191 read 8191 and 8192; one above stops the run.
TEST(RunLoop, TheFetchLimitStopsTheRunWithAMessageAndResetStartsAgain) {
    RomRunner r;
    r.state().V[0] = 0xFE;
    r.load({0xBFFF}); // to 4349: past the font, and odd, so the walk reaches 8191
    r.state().Memory[8191] = 0x61;
    r.state().Memory[8192] = 0x42;
    r.resetAndRun(1'000'000);
    EXPECT_EQ(r.state().V[1], 0x42);
    EXPECT_EQ(r.state().ProgramCounter, 8193u);
    ASSERT_EQ(r.host.faults.size(), 1u);
    const std::string& fault = r.host.faults[0];
    EXPECT_NE(fault.find("8193"), std::string::npos) << fault;
    EXPECT_EQ(r.machine.LastFault(), fault);
    EXPECT_LT(r.host.yields, 1'000'000u);
    EXPECT_FALSE(r.machine.RunActive());

    // The window lives on: ticks and keys are served, and Reset runs again.
    r.state().V[1] = 0;
    r.machine.Timer1_Timer();
    r.machine.Form_KeyDown(key::NumPad5);
    EXPECT_EQ(r.state().KeyPressed, 5);
    r.load({0x6177, 0x1202});
    r.resetAndRunPasses(3);
    EXPECT_EQ(r.state().V[1], 0x77);
    EXPECT_EQ(r.host.faults.size(), 1u);
    EXPECT_TRUE(r.machine.LastFault().empty());
}

TEST(RunLoop, AFetchAt8192WouldReadPastMemoryAndStopsTheRun) {
    RomRunner r;
    r.state().V[0] = 0xFF;
    r.load({0xBFFF}); // to 4350, even, so the walk reaches 8192
    r.resetAndRun(1'000'000);
    EXPECT_EQ(r.state().ProgramCounter, 8192u);
    ASSERT_EQ(r.host.faults.size(), 1u);
    EXPECT_NE(r.host.faults[0].find("8192"), std::string::npos) << r.host.faults[0];
    EXPECT_NE(r.host.faults[0].find("8193"), std::string::npos) << r.host.faults[0];
}

} // namespace
} // namespace kestrel::testing
