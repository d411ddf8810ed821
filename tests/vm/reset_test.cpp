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
    r.machine.Debug().KestrelSurface().FillRect(0, 0, 256, 127, LitColour);
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

// Memory as a standard machine starts it: the font at 0x050, `rom` at 512,
// zero elsewhere.
std::vector<std::uint8_t> StandardMemory(const std::vector<std::uint8_t>& rom) {
    std::vector<std::uint8_t> memory(4096);
    std::copy(std::begin(Chip8Font), std::end(Chip8Font), memory.begin() + 0x50);
    std::copy(rom.begin(), rom.end(), memory.begin() + ProgramStart);
    return memory;
}

// A standard machine restarts the program as loaded, from the copy taken when
// it was opened: the file is gone by then.
TEST(Machines, ResetRestartsFromTheCopyWithEverythingCleared) {
    for (const NamedMachine& m : {Machines[1], Machines[2]}) {
        RomRunner r(m.kind);
        MachineState& s = r.state();
        const std::vector<std::uint8_t> rom = {0x6A, 0x07, 0x12, 0x02};
        {
            TempFile file(rom);
            ASSERT_TRUE(r.machine.LoadRom(file.path()));
        }
        std::fill(s.Memory.begin(), s.Memory.end(), 0xEE);
        s.V.fill(9);
        s.IndexReg = 0x123;
        s.StackPointer = 3;
        s.CallStack.fill(0x345);
        s.DelayTimer = 40;
        s.SoundTimer = 50;
        r.machine.Debug().KestrelSurface().FillRect(0, 0, 256, 127, LitColour);
        r.machine.Reset_Click();
        EXPECT_EQ(s.Memory, StandardMemory(rom)) << m.name;
        EXPECT_EQ(s.V, decltype(s.V){}) << m.name;
        EXPECT_EQ(s.IndexReg, 0u);
        EXPECT_EQ(s.StackPointer, 0);
        EXPECT_EQ(s.CallStack, decltype(s.CallStack){});
        EXPECT_EQ(s.DelayTimer, 0);
        EXPECT_EQ(s.SoundTimer, 0);
        EXPECT_EQ(s.ProgramCounter, 512u);
        EXPECT_EQ(r.screen(), std::vector<std::string>(32, std::string(64, '.')));
        r.runFrames(2);
        EXPECT_EQ(s.V[10], 7) << m.name;
    }
}

// Choosing a machine restarts the last opened ROM on it; a copy too long for
// it is refused with the load-refusal text, and the machine has nothing to
// run, its memory holding the font alone; the copy is kept for a machine that
// holds it. Kestrel's machine asks for a run; a standard one runs from its
// frame clock.
TEST(Machines, ChoosingAMachineRestartsTheLastRomOnIt) {
    const std::vector<std::uint8_t> fits(3584, 0x12);
    const std::vector<std::uint8_t> tooLong(3585, 0x34);
    RomRunner r;
    MachineState& s = r.state();
    const auto choose = [&](const MachineKind& kind) {
        r.host = FakeHost{};
        s.V[3] = 3;
        s.DelayTimer = 9;
        r.machine.SelectMachine(kind);
        EXPECT_EQ(r.host.runRequests, kind.engine == Engine::Kestrel ? 1 : 0);
        EXPECT_EQ(s.V[3], 0);
        EXPECT_EQ(s.DelayTimer, 0);
        EXPECT_EQ(s.ProgramCounter, 512u);
    };
    {
        TempFile file(fits);
        ASSERT_TRUE(r.machine.LoadRom(file.path()));
    }
    choose(CosmacVipMachine);
    EXPECT_TRUE(r.host.loadErrors.empty());
    EXPECT_EQ(s.Memory, StandardMemory(fits));

    // A file too long for the VIP is refused there: nothing loaded or reset.
    TempFile longFile(tooLong);
    r.host = FakeHost{};
    r.machine.OpenRom(longFile.path());
    ASSERT_EQ(r.host.loadErrors.size(), 1u);
    EXPECT_NE(r.host.loadErrors[0].find(
                  "it is 3585 bytes long, and a ROM for CHIP-8 (COSMAC VIP) may be at most "
                  "3584 "
                  "bytes (addresses 512..4095)"),
              std::string::npos)
        << r.host.loadErrors[0];
    EXPECT_EQ(r.host.runRequests, 0);
    EXPECT_EQ(s.Memory, StandardMemory(fits));

    choose(KestrelMachine);
    r.machine.OpenRom(longFile.path());
    EXPECT_TRUE(r.host.loadErrors.empty());
    // Up to Kestrel's font, which Reset writes at 4096.
    EXPECT_TRUE(std::equal(tooLong.begin(), tooLong.end() - 1, s.Memory.begin() + ProgramStart));

    choose(ModernChip8Machine);
    ASSERT_EQ(r.host.loadErrors.size(), 1u);
    EXPECT_NE(r.host.loadErrors[0].find("\"" + longFile.path() + "\": it is 3585 bytes long"),
              std::string::npos)
        << r.host.loadErrors[0];
    EXPECT_EQ(s.Memory, StandardMemory({}));

    choose(KestrelMachine);
    EXPECT_TRUE(r.host.loadErrors.empty());
    // Up to Kestrel's font, which Reset writes at 4096.
    EXPECT_TRUE(std::equal(tooLong.begin(), tooLong.end() - 1, s.Memory.begin() + ProgramStart));
    EXPECT_TRUE(std::equal(Font.begin(), Font.end(), s.Memory.begin() + FontBase));
    EXPECT_EQ(s.Memory[0x50], 0);
}

} // namespace
} // namespace kestrel::testing
