#include "support/machine_door.h"
#include "support/rom_runner.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrel::testing {
namespace {

TEST(Reset, WritesTheFontSetsThePcAndClearsTheScreenWithoutAYield) {
    RomRunner r;
    MachineState& s = r.state();
    std::fill(s.Memory.begin() + 4096, s.Memory.begin() + 4176, 0xEE);
    s.ProgramCounter = 0x777;
    MachineDoor::Surface(r.machine).FillRect(0, 0, 256, 127, LitColour);
    r.machine.Reset_Click();
    EXPECT_EQ(r.host.yields, 0u);
    EXPECT_EQ(r.host.runRequests, 1);
    EXPECT_EQ(s.ProgramCounter, 512u);
    const std::uint8_t zero[] = {0x60, 0x90, 0x90, 0x90, 0x60};
    EXPECT_TRUE(std::equal(std::begin(zero), std::end(zero), s.Memory.begin() + 4096));
    EXPECT_EQ(s.Memory[4175], 0x80);
    EXPECT_EQ(s.Memory[4095], 0);
    EXPECT_EQ(s.Memory[4176], 0);
    for (int y = 0; y < ScreenSurface::Height; ++y)
        for (int x = 0; x < ScreenSurface::Width; ++x)
            ASSERT_EQ(r.machine.Surface().ReadPixel(x, y), DarkColour);
}

TEST(Reset, LeavesRegistersStackTimersKeysAndTheRestOfMemory) {
    RomRunner r;
    MachineState& s = r.state();
    for (int i = 0; i < 16; ++i)
        s.V[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 17);
    s.IndexReg = 0x1234;
    s.StackPointer = 3;
    s.CallStack[2] = 0x456;
    s.DelayTimer = 40;
    s.SoundTimer = 50;
    s.KeyPressed = 6;
    s.LastKeyCode = 81;
    s.Memory[0] = 1;
    s.Memory[511] = 2;
    s.Memory[4176] = 3;
    s.Memory[8192] = 4;
    const MachineState before = s;
    r.machine.Reset_Click();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(s.V[static_cast<std::size_t>(i)], before.V[static_cast<std::size_t>(i)]);
    EXPECT_EQ(s.IndexReg, before.IndexReg);
    EXPECT_EQ(s.StackPointer, 3);
    EXPECT_EQ(s.CallStack, before.CallStack);
    EXPECT_EQ(s.DelayTimer, 40);
    EXPECT_EQ(s.SoundTimer, 50);
    EXPECT_EQ(s.KeyPressed, 6);
    EXPECT_EQ(s.LastKeyCode, 81);
    EXPECT_EQ(s.KeyMap, before.KeyMap);
    EXPECT_EQ(s.Memory[0], 1);
    EXPECT_EQ(s.Memory[511], 2);
    EXPECT_EQ(s.Memory[4176], 3);
    EXPECT_EQ(s.Memory[8192], 4);
}

TEST(Reset, APausedMachineStaysPausedAt512AcrossResetAndOpenRom) {
    RomRunner r;
    r.load({0x6155});
    r.machine.pausex_Click();
    r.resetAndRunPasses(5, 0);
    EXPECT_TRUE(r.state().Paused);
    EXPECT_EQ(r.state().ProgramCounter, 512u);
    EXPECT_EQ(r.state().V[1], 0);

    r.stopAt(r.host.yields + 500);
    r.machine.OpenRom(""); // a cancelled dialog: no load, still a reset
    r.machine.RunDriver();
    EXPECT_TRUE(r.state().Paused);
    EXPECT_EQ(r.state().ProgramCounter, 512u);
    EXPECT_EQ(r.state().V[1], 0);

    TempFile rom({0x62, 0x66});
    r.stopAt(r.host.yields + 500);
    r.machine.OpenRom(rom.path());
    r.machine.RunDriver();
    EXPECT_TRUE(r.state().Paused);
    EXPECT_EQ(r.state().ProgramCounter, 512u);
    EXPECT_EQ(r.state().V[2], 0);

    // Pause chosen again: the program goes on from where it stands.
    r.machine.pausex_Click();
    r.resetAndRunPasses(1);
    EXPECT_EQ(r.state().V[2], 0x66);
}

TEST(Reset, ARestartedProgramInheritsTheOldRunsRegisters) {
    RomRunner r;
    r.load({0x7103, 0x1202});
    r.resetAndRunPasses(1);
    EXPECT_EQ(r.state().V[1], 3);
    r.resetAndRunPasses(1);
    EXPECT_EQ(r.state().V[1], 6);
}

} // namespace
} // namespace kestrel::testing
