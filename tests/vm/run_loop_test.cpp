#include "support/key_codes.h"
#include "support/rom_runner.h"
#include "support/temp_file.h"

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

// Pause takes effect between frames: nothing runs and no tone starts while
// paused, though FX0A's key comes and goes meanwhile; the frames go on from
// where they stopped once Pause is chosen again.
TEST(Machines, NothingRunsOrSoundsWhilePaused) {
    for (const NamedMachine& m : {Machines[1], Machines[2]}) {
        RomRunner r(m.kind);
        r.machine.SetSpeed(1000);
        r.load({0xF10A, 0x7201, 0x6A3C, 0xFA18, 0x1202});
        r.atFrame(5, [&] { r.machine.pausex_Click(); });
        r.atFrame(8, [&] { r.machine.Form_KeyDown(key::NumPad8); });
        r.atFrame(9, [&] { r.machine.Form_KeyUp(key::NumPad8); });
        r.runFrames(30);
        EXPECT_EQ(r.state().V[2], 0) << m.name;
        EXPECT_TRUE(r.host.patterns.empty()) << m.name;
        EXPECT_EQ(r.state().SoundTimer, 0) << m.name;
        r.machine.pausex_Click();
        r.moreFrames(1);
        EXPECT_EQ(r.state().V[1], 2) << m.name; // numeric keypad 8 is CHIP-8 key 2
        EXPECT_GT(r.state().V[2], 0) << m.name;
        EXPECT_EQ(r.host.patterns.size(), 1u) << m.name;
    }
}

// A key that goes down and up between two frames is held for the whole of
// the next: EX9E sees it there, and EXA1 no longer does a frame later.
TEST(Machines, AShortTapIsHeldForTheNextFrame) {
    // V1 counts the frames whose first test saw key 5 down, V2 those that did not.
    const std::vector<std::uint16_t> program = {0x6005, 0xE09E, 0x1208, 0x7101,
                                                0xE0A1, 0x120E, 0x7201, 0x1202};
    for (const NamedMachine& m : {Machines[1], Machines[2]}) {
        RomRunner r(m.kind);
        r.machine.SetSpeed(10);
        r.load(program);
        r.atFrame(3, [&] {
            r.machine.Form_KeyDown(key::NumPad5);
            r.machine.Form_KeyUp(key::NumPad5);
        });
        r.runFrames(4);
        // Frame 3's ten instructions make two passes, or a part of one.
        EXPECT_GE(r.state().V[1], 1) << m.name;
        EXPECT_LE(r.state().V[1], 2) << m.name;
        const int before = r.state().V[2];
        r.moreFrames(1);
        EXPECT_GE(r.state().V[2], before + 1) << m.name; // up again a frame later
    }
}

// A standard machine with no ROM, or with one too long for it, has nothing
// to run: the picture stays dark, no fault is told, Reset does nothing, and
// opening a ROM starts it.
TEST(Machines, NothingToRunMeansNothingRuns) {
    for (const MachineKind* kind : {&CosmacVipMachine, &SuperChipModernMachine, &XoChipMachine}) {
        RomRunner r(*kind);
        for (int k = 0; k < 600; ++k)
            r.machine.StartFrame();
        r.machine.Reset_Click();
        r.machine.StartFrame();
        EXPECT_EQ(r.state().ProgramCounter, ProgramStart) << kind->name;
        EXPECT_TRUE(r.host.faults.empty()) << kind->name;
        EXPECT_EQ(r.screen(), std::vector<std::string>(32, std::string(64, '.'))) << kind->name;
        r.load({0x6A07, 0x1202});
        r.runFrames(1);
        EXPECT_EQ(r.state().V[10], 7) << kind->name;
    }
    RomRunner r;
    r.load({0x1200});
    r.runFrames(0); // no frames on Kestrel's machine: just opened
    TempFile longRom(std::vector<std::uint8_t>(3585, 0x22));
    ASSERT_TRUE(r.machine.LoadRom(longRom.path()));
    r.machine.SelectMachine(ModernChip8Machine);
    EXPECT_EQ(r.host.loadErrors.size(), 1u);
    for (int k = 0; k < 600; ++k)
        r.machine.StartFrame();
    EXPECT_EQ(r.state().ProgramCounter, ProgramStart);
    EXPECT_TRUE(r.host.faults.empty());
}

// A speed chosen on a standard machine is the standard machines' alone:
// Kestrel's machine keeps the pace of its yields.
TEST(Machines, ASpeedNeverChangesKestrelsPace) {
    const auto yieldsFor = [](std::optional<int> speed) {
        RomRunner r(ModernChip8Machine);
        r.machine.SetSpeed(speed);
        r.machine.SelectMachine(KestrelMachine);
        r.load({0x7101, 0x1200});
        r.resetAndRunPasses(50);
        return std::pair{r.state().V[1], r.host.yields};
    };
    EXPECT_EQ(yieldsFor(10000), yieldsFor(std::nullopt));
    EXPECT_EQ(yieldsFor(10000).first, 25);
}

// 00FD ends the program quietly, the picture kept; a full stack is told as
// a fault once the frame is over. Reset starts either afresh.
TEST(Machines, EndAndStackFaultStopTheMachine) {
    RomRunner r(SuperChipModernMachine);
    r.load({0xA300, 0xD001, 0x00FD, 0x7A01, 0x1206});
    r.load({0x8000}, 0x300);
    r.runFrames(3);
    EXPECT_EQ(r.state().V[10], 0);
    EXPECT_TRUE(r.lit(0, 0));
    EXPECT_TRUE(r.host.faults.empty());

    RomRunner s(SuperChipModernMachine);
    s.load({0x2200});
    s.runFrames(2);
    ASSERT_EQ(s.host.faults.size(), 1u);
    EXPECT_NE(s.host.faults[0].find("would make a call with the call stack full (depth 16 of 16)"),
              std::string::npos)
        << s.host.faults[0];
    s.runFrames(1);
    EXPECT_EQ(s.host.faults.size(), 2u); // Reset started it afresh, and it filled up again
}

// The flag registers outlive a Reset and a change of machine, as the
// calculator's did: each start adds one to the count kept in them.
TEST(Machines, FlagRegistersOutliveResetsAndMachines) {
    RomRunner r(SuperChip11Machine);
    r.load({0xF085, 0x7001, 0xF075, 0x1206});
    for (int start = 1; start <= 3; ++start) {
        r.runFrames(1);
        EXPECT_EQ(r.state().V[0], start);
    }
    r.machine.SelectMachine(XoChipMachine);
    r.runFrames(1);
    EXPECT_EQ(r.state().V[0], 4);
}

} // namespace
} // namespace kestrel::testing
