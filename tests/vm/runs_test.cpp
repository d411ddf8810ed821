#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrel::testing {
namespace {

class AbandonedHandler : public ::testing::TestWithParam<std::uint16_t> {};

// A new program is loaded and reset inside the opening yield of the old
// program's first instruction: that handler must do nothing at all, and the
// new run (all zero words) changes nothing but the PC.
TEST_P(AbandonedHandler, DoesNotContinueAfterTheYieldThatServedTheReset) {
    RomRunner r;
    MachineState& s = r.state();
    for (int k = 0; k < 16; ++k)
        s.V[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(k + 1);
    s.IndexReg = 0x600;
    s.StackPointer = 1;
    s.CallStack[0] = 0x222;
    s.KeyPressed = 2;
    r.load({GetParam()});
    r.host.at(1, [&] {
        s.Memory[512] = s.Memory[513] = 0; // as Open ROM of a file of two zero bytes
        r.machine.Reset_Click();
    });
    // Lit after the first reset, so a late 00E0 or DXYN would show.
    r.host.at(1, [&] { r.machine.Debug().KestrelSurface().FillRect(1, 0, 4, 3, LitColour); });
    const MachineState before = s;
    r.stopAt(301);
    r.machine.Reset_Click();
    r.machine.RunDriver();
    EXPECT_EQ(s.V, before.V);
    EXPECT_EQ(s.IndexReg, 0x600u);
    EXPECT_EQ(s.StackPointer, 1);
    EXPECT_EQ(s.CallStack, before.CallStack);
    EXPECT_EQ(s.DelayTimer, 0);
    EXPECT_EQ(s.SoundTimer, 0);
    EXPECT_EQ(s.Memory[512], 0);
    for (std::size_t a = 0x600; a < 0x610; ++a)
        EXPECT_EQ(s.Memory[a], 0);
    EXPECT_TRUE(r.lit(0, 0));
    EXPECT_EQ(r.host.statusText, "");
    EXPECT_EQ(s.ProgramCounter, 512u + 2 * 3); // three passes of the new run
}

INSTANTIATE_TEST_SUITE_P(Runs, AbandonedHandler,
                         ::testing::Values(0x00E0, 0x00EE, 0x1300, 0x2300, 0x3102, 0x4100, 0x5120,
                                           0x6155, 0x7155, 0x8124, 0x8126, 0x812E, 0x9120, 0xA123,
                                           0xB300, 0xC1FF, 0xE29E, 0xE1A1, 0xF107, 0xF10A, 0xF115,
                                           0xF118, 0xF11E, 0xF129, 0xF133, 0xFF55, 0xFF65));

TEST(Runs, ExitInsideAHandlersYieldEndsTheDriverAndNothingContinues) {
    RomRunner r;
    r.load({0x6155, 0x6266});
    r.host.at(1, [&] { r.machine.EndAllRuns(); });
    r.machine.Reset_Click();
    r.machine.RunDriver();
    EXPECT_EQ(r.host.yields, 1u);
    EXPECT_EQ(r.state().V[1], 0);
    EXPECT_FALSE(r.machine.RunActive());
}

TEST(Runs, AResetInsideARunIsStartedByTheActiveDriverWithoutAskingTheHost) {
    RomRunner r;
    r.load({0x7101, 0x1200});
    r.host.at(250, [&] { r.machine.Reset_Click(); });
    r.resetAndRunPasses(6);
    EXPECT_EQ(r.host.runRequests, 1); // the first reset only
    EXPECT_EQ(r.machine.RunGeneration(), 3u);
}

// The host may deliver a posted driver call inside a yield of the active run.
TEST(Runs, ADriverCallInsideARunReturnsAtOnceAndTheRunGoesOn) {
    RomRunner r;
    r.load({0x7101, 0x1200});
    std::uint64_t yieldsInside = 1;
    r.host.at(150, [&] {
        const std::uint64_t before = r.host.yields;
        r.machine.Reset_Click();
        r.machine.RunDriver();
        yieldsInside = r.host.yields - before;
    });
    r.resetAndRunPasses(10);
    EXPECT_EQ(yieldsInside, 0u);
    EXPECT_EQ(r.host.runRequests, 1);
    EXPECT_GE(r.state().V[1], 4); // the new run, started by the outer driver
}

// A fault is reported once the run has unwound, from the driver itself.
TEST(Runs, AFaultIsReportedAfterTheRunHasUnwound) {
    RomRunner r;
    r.load({0x00EE});
    std::uint64_t yieldsAtReport = 0;
    std::uintptr_t reportStack = 0;
    r.host.onFault = [&] {
        yieldsAtReport = r.host.yields;
        volatile char mark = 0;
        reportStack = reinterpret_cast<std::uintptr_t>(&mark);
    };
    r.resetAndRun(1000);
    ASSERT_EQ(r.host.faults.size(), 1u);
    EXPECT_EQ(yieldsAtReport, 1u);
    EXPECT_EQ(r.host.yields, 1u);
    EXPECT_EQ(r.machine.LastFault(), r.host.faults[0]);
    // Reported from the driver, above the unwound handler's opening yield.
    EXPECT_GT(reportStack, r.host.yieldStackAddress);
}

// Ten thousand resets, served at changing points inside runs (in handlers'
// opening yields, in the run loop, inside FX0A waits and inside remap waits
// of the running program): the native stack is as deep at the first yield
// of every run as at the first yield of the first.
TEST(Runs, TenThousandResetsLeaveTheNativeStackDepthUnchanged) {
    RomRunner r;
    r.load({0x7101, 0xF20A, 0x1200});
    std::set<std::uintptr_t> firstYieldOfRun;
    std::uintptr_t deepestInFirstRun = UINTPTR_MAX;
    std::uint64_t resetYield = 0; // the yield that served the latest reset
    int resets = 0;
    std::uint32_t lcg = 1;
    std::uint64_t nextReset = 700;
    r.host.everyYield = [&] {
        if (r.host.yields == resetYield + 1) firstYieldOfRun.insert(r.host.yieldStackAddress);
        if (resets == 0) deepestInFirstRun = std::min(deepestInFirstRun, r.host.yieldStackAddress);
        if (r.host.yields != nextReset) return;
        lcg = lcg * 1103515245u + 12345u;
        if (resets % 5 == 4) {
            // A remap clicked in the run; the reset comes inside its wait.
            r.host.at(r.host.yields + 3, [&] {
                ++resets;
                resetYield = r.host.yields;
                r.machine.Reset_Click();
            });
            r.machine.Command1_Click(static_cast<int>(lcg >> 28));
        } else {
            ++resets;
            resetYield = r.host.yields;
            r.machine.Reset_Click();
        }
        nextReset = r.host.yields + 1 + (lcg >> 16) % 400;
        if (resets >= 10000) r.machine.EndAllRuns();
    };
    r.machine.Reset_Click();
    r.machine.RunDriver();
    EXPECT_EQ(resets, 10000);
    ASSERT_EQ(firstYieldOfRun.size(), 1u) << "the first yield of a run moved on the stack";
    // No yield of a later run went deeper than the deepest of the first run plus
    // the remap's own frames (a remap is clicked only after the first reset).
    EXPECT_GE(r.host.deepestYieldStackAddress + 4096, deepestInFirstRun);
    EXPECT_EQ(r.host.runRequests, 1);
}

} // namespace
} // namespace kestrel::testing
