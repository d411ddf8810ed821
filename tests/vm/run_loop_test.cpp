#include "support/key_codes.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
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

// A standard machine's frame runs its rate of instructions and returns, with
// no yield to the event loop inside it; the VIP's DXYN ends its frame.
TEST(Machines, AFrameRunsTheRateThenWaitsAndTheVipsSpriteEndsIt) {
    const std::vector<std::uint16_t> count = {0x7A01, 0x1200};
    const std::vector<std::uint16_t> sprites = {0x7A01, 0xD001, 0x7A01, 0xD001,
                                                0x7A01, 0xD001, 0x1200};
    const struct {
        const char* name;
        const std::vector<std::uint16_t>& program;
        std::uint64_t frames;
        std::optional<int> speed;
        int va[2]; // VIP, modern
    } cases[] = {
        {"counting, 1 frame", count, 1, {}, {8, 6}},
        {"counting, 3 frames", count, 3, {}, {23, 18}},
        {"counting at 7 a frame, 2 frames", count, 2, 7, {7, 7}},
        {"three sprites, 1 frame", sprites, 1, {}, {1, 6}},
        {"three sprites, 2 frames", sprites, 2, {}, {2, 11}},
    };
    for (const auto& c : cases) {
        for (std::size_t m = 0; m < 2; ++m) {
            RomRunner r(Machines[m + 1].kind);
            r.machine.SetSpeed(c.speed);
            r.load(c.program);
            r.runFrames(c.frames);
            const std::string where = std::string(c.name) + " on " + Machines[m + 1].name;
            EXPECT_EQ(r.state().V[10], c.va[m]) << where;
            EXPECT_EQ(r.host.yields + r.host.idleYields, 0u) << where;
        }
    }
}

// Each of the database's seven quirks, set on the modern machine as a per-ROM
// override would set it, changes its rule and nothing else.
TEST(Machines, EachQuirkOverrideChangesItsRule) {
    enum class Read { VA, VF, I, Lit };
    const struct {
        const char* quirk;
        std::vector<std::uint16_t> program;
        Read read;
        int without, with;
    } cases[] = {
        {"shift", {0x6181, 0x6204, 0x8126, 0x8F10}, Read::VF, 0x02, 0x40},
        {"memoryIncrementByX", {0xA300, 0xF255}, Read::I, 0x303, 0x302},
        {"memoryLeaveIUnchanged", {0xA300, 0xF255}, Read::I, 0x303, 0x300},
        {"wrap", {0xA320, 0x603C, 0x6100, 0xD011}, Read::Lit, 4, 8},
        {"jump", {0x6004, 0x6308, 0xB300}, Read::VA, 4, 8},
        {"vblank", {0x7A01, 0xD001, 0x7A01, 0xD001, 0x1200}, Read::VA, 5, 1},
        {"logic", {0x6F05, 0x8121}, Read::VF, 5, 0},
    };
    for (const auto& c : cases) {
        for (const bool set : {false, true}) {
            MachineKind kind = ModernChip8Machine;
            ASSERT_TRUE(SetQuirk(kind.quirks, c.quirk, set)) << c.quirk;
            RomRunner r(kind);
            r.load({0x6A04, 0x1306, 0x6A08, 0x130A}, 0x304);
            r.load({0xFF00}, 0x320);
            r.load(c.program);
            r.runFrames(1);
            int value = 0;
            switch (c.read) {
            case Read::VA: value = r.state().V[10]; break;
            case Read::VF: value = r.state().V[15]; break;
            case Read::I: value = static_cast<int>(r.state().IndexReg); break;
            case Read::Lit:
                for (const std::string& row : r.screen())
                    value += static_cast<int>(std::count(row.begin(), row.end(), '#'));
                break;
            }
            EXPECT_EQ(value, set ? c.with : c.without) << c.quirk << (set ? " set" : " clear");
        }
    }
    Quirks quirks;
    EXPECT_FALSE(SetQuirk(quirks, "vBlank", true)); // names are the database's, exactly
    EXPECT_FALSE(quirks.vblank);
}

} // namespace
} // namespace kestrel::testing
