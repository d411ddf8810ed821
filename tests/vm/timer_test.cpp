#include "support/rom_runner.h"

#include <gtest/gtest.h>

namespace kestrel::testing {
namespace {

TEST(Tick, CountsTheDelayTimerDownToZeroAndNoFurther) {
    RomRunner r;
    r.state().DelayTimer = 2;
    r.machine.Timer1_Timer();
    EXPECT_EQ(r.state().DelayTimer, 1);
    r.machine.Timer1_Timer();
    EXPECT_EQ(r.state().DelayTimer, 0);
    r.machine.Timer1_Timer();
    EXPECT_EQ(r.state().DelayTimer, 0);
    EXPECT_TRUE(r.host.tones.empty());
}

TEST(Tick, TurnsTheSoundTimerIntoOneToneOfTenMillisecondsAUnit) {
    RomRunner r;
    for (int units : {1, 60, 255}) {
        r.host.tones.clear();
        r.state().SoundTimer = static_cast<std::uint8_t>(units);
        r.machine.Timer1_Timer();
        ASSERT_EQ(r.host.tones.size(), 1u);
        EXPECT_EQ(r.host.tones[0].hz, 500);
        EXPECT_EQ(r.host.tones[0].ms, 10 * units);
        EXPECT_EQ(r.state().SoundTimer, 0);
        r.machine.Timer1_Timer(); // cleared: no second tone
        EXPECT_EQ(r.host.tones.size(), 1u);
    }
}

TEST(Tick, TwoFx18BeforeATickGiveOneToneForTheLaterValue) {
    RomRunner r;
    r.state().V[1] = 30;
    r.state().V[2] = 7;
    r.load({0xF118, 0xF218, 0x1204});
    r.host.at(YieldsOfPasses(3), [&] { r.machine.Timer1_Timer(); });
    r.resetAndRunPasses(6);
    ASSERT_EQ(r.host.tones.size(), 1u);
    EXPECT_EQ(r.host.tones[0].ms, 70);
}

TEST(Tick, APausedRunStillTakesADelayOfFiveToZero) {
    RomRunner r;
    r.state().DelayTimer = 5;
    r.machine.pausex_Click();
    // The run loop takes it to 1 in four passes; a tick every 300 yields does the rest.
    r.host.everyYield = [&] {
        if (r.host.yields % 300 == 0) r.machine.Timer1_Timer();
    };
    r.resetAndRunPasses(8, 0);
    EXPECT_EQ(r.state().DelayTimer, 0);
    EXPECT_EQ(r.state().ProgramCounter, 512u);
}

TEST(Tick, ProgramPollingTheDelayTimerSeesItReachZeroOnlyThroughATick) {
    RomRunner r;
    // V1 := 20; DT := V1; loop: V2 := DT; skip if V2 = 0; jump loop; V3 := 1.
    r.load({0x6114, 0xF115, 0xF207, 0x3200, 0x1204, 0x6301, 0x120C});
    int delayBeforeTick = -1, v3BeforeTick = -1;
    r.host.at(YieldsOfPasses(150), [&] {
        delayBeforeTick = r.state().DelayTimer;
        v3BeforeTick = r.state().V[3];
        r.machine.Timer1_Timer();
    });
    r.resetAndRunPasses(160);
    EXPECT_EQ(delayBeforeTick, 1);
    EXPECT_EQ(v3BeforeTick, 0);
    EXPECT_EQ(r.state().V[3], 1);
}

TEST(Tick, ANewRunAndExitSilenceTheTone) {
    RomRunner r;
    r.state().SoundTimer = 100;
    r.machine.Timer1_Timer();
    const int stops = r.host.toneStops;
    r.machine.Reset_Click();
    EXPECT_EQ(r.host.toneStops, stops + 1);
    r.machine.EndAllRuns();
    EXPECT_EQ(r.host.toneStops, stops + 2);
}

TEST(TimerRegisters, TimerRegistersThroughTheRunLoop) {
    RomRunner r;
    MachineState& s = r.state();
    for (int v : {0, 1, 2, 9, 200}) {
        s.V[1] = static_cast<std::uint8_t>(v);
        s.DelayTimer = 0;
        r.execute({0xF115, 0xF207});
        EXPECT_EQ(s.V[2], v > 1 ? v - 1 : v) << "V1 = " << v;
    }
    s.V[3] = 60;
    s.SoundTimer = 0;
    r.execute({0xF318});
    EXPECT_EQ(s.SoundTimer, 60); // the loop never counts the sound timer
    s.V[0] = 0;
    r.execute({0xF018});
    EXPECT_EQ(s.SoundTimer, 0);
    r.machine.Timer1_Timer();
    EXPECT_TRUE(r.host.tones.empty());
}

TEST(TimerRegisters, Fx07ReadsTheTimerAsItsOwnYieldLeftIt) {
    RomRunner r;
    r.state().DelayTimer = 0;
    r.state().V[1] = 10;
    r.load({0xF115, 0xF207, 0x1204});
    // A tick served in the opening yield of F207.
    r.host.atPass(2, 1, [&] { r.machine.Timer1_Timer(); });
    r.resetAndRunPasses(3);
    EXPECT_EQ(r.state().V[2], 8); // 10, less the pass, less the tick
}

// A standard machine counts both timers once a frame, before the frame's
// instructions, and nowhere else; Pause stops them and the buzzer, which
// sounds while the sound timer is above 0: the plain beep, sixteen 0xF0
// bytes at 4000 samples a second.
TEST(Machines, TimersCountOnceAFrameAndPauseStopsThemAndTheTone) {
    struct Seen {
        int delay, sound;
        bool sounding;
        bool operator==(const Seen&) const = default;
    };
    // Frame 1 runs DT = ST = 4; Pause is chosen before frame 3 and again before frame 5.
    const std::vector<Seen> expected = {{4, 4, true}, {3, 3, true}, {3, 3, false}, {3, 3, false},
                                        {2, 2, true}, {1, 1, true}, {0, 0, false}, {0, 0, false}};
    for (const NamedMachine& m : {Machines[1], Machines[2]}) {
        RomRunner r(m.kind);
        r.load({0x6004, 0xF015, 0xF018, 0x1206});
        r.runFrames(0);
        std::vector<Seen> seen;
        for (std::size_t frame = 0; frame < expected.size(); ++frame) {
            if (frame == 2 || frame == 4) r.machine.pausex_Click();
            r.moreFrames(1);
            r.machine.Timer1_Timer(); // Kestrel's tick counts nothing here
            seen.push_back({r.state().DelayTimer, r.state().SoundTimer, r.host.toneSounding});
        }
        EXPECT_EQ(seen, expected) << m.name;
        ASSERT_EQ(r.host.patterns.size(), 2u) << m.name; // at FX18, and again after Pause
        SoundPattern beep;
        beep.fill(0xF0);
        EXPECT_EQ(r.host.patterns[1].pattern, beep) << m.name;
        EXPECT_EQ(r.host.patterns[1].samplesPerSecond, 4000.0) << m.name;
        EXPECT_TRUE(r.host.tones.empty()) << m.name;
    }
}

TEST(Machines, Fx18WithZeroSilencesTheTone) {
    for (const NamedMachine& m : {Machines[1], Machines[2]}) {
        RomRunner r(m.kind);
        r.execute({0x6010, 0xF018, 0x6000, 0xF018});
        ASSERT_EQ(r.host.patterns.size(), 1u) << m.name;
        EXPECT_FALSE(r.host.toneSounding) << m.name;
    }
}

} // namespace
} // namespace kestrel::testing
