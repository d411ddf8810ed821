#include "support/key_codes.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

namespace kestrel::testing {
namespace {

constexpr const char* Waiting = "Waiting for key...";

// F30A then a marker: V4 := 1 shows that the run went on past the wait.
class WaitForKey : public ::testing::Test {
  protected:
    RomRunner r;
    MachineState& s = r.machine.State;
    void SetUp() override {
        s.V[3] = 0xEE;
        r.load({0xF30A, 0x6401, 0x1204});
    }
    void at(std::uint64_t yield, std::function<void()> event) {
        r.host.at(yield, std::move(event));
    }
};

TEST_F(WaitForKey, StoresTheKeypadNumberOfTheNextBoundKeyDown) {
    for (auto [code, number] : {std::pair{key::NumPad2, 8},
                                {key::NumPad0, 10},
                                {key::Enter, 14},
                                {key::NumPad7, 1},
                                {key::NumPadSubtract, 15}}) {
        s.V[3] = 0xEE;
        s.V[4] = 0;
        r.host.at(r.host.yields + 400, [this, code = code] { r.machine.Form_KeyDown(code); });
        r.resetAndRun(1000);
        EXPECT_EQ(s.V[3], number) << "key " << code;
        EXPECT_EQ(s.V[4], 1);
    }
}

TEST_F(WaitForKey, AKeyAlreadyHeldDoesNotCountNorDoUnboundKeysOrKeyUps) {
    r.machine.Form_KeyDown(key::NumPad2); // held before the wait
    at(200, [&] { r.machine.Form_KeyDown(81); });
    at(300, [&] { r.machine.Form_KeyUp(); });
    at(400, [&] { r.machine.Form_KeyDown(key::Shift); });
    std::string labelDuring;
    int v3During = -1;
    at(5000, [&] {
        labelDuring = r.host.statusText;
        v3During = s.V[3];
    });
    at(5001, [&] { r.machine.Form_KeyDown(key::NumPad2); }); // pressed again
    r.resetAndRun(6000);
    EXPECT_EQ(labelDuring, Waiting);
    EXPECT_EQ(v3During, 0xEE);
    EXPECT_EQ(s.V[3], 8);
    EXPECT_EQ(s.V[4], 1);
    EXPECT_EQ(r.host.statusText, "");
}

TEST_F(WaitForKey, ShowsTheLabelOnlyWhileItWaitsAndYieldsIdly) {
    at(3000, [&] { r.machine.Form_KeyDown(key::NumPad5); });
    r.resetAndRun(4000);
    EXPECT_EQ(s.V[3], 5);
    const std::vector<std::string> labels = {"", Waiting, ""}; // the reset's, the wait's
    EXPECT_EQ(r.host.statusHistory, labels);
    // The wait's own yields, 2..3000, may wait for events.
    EXPECT_GE(r.host.idleYields, 2999u);
    EXPECT_LT(r.host.idleYields, 3010u);
}

TEST_F(WaitForKey, TicksTakeTheDelayTimerToZeroDuringTheWait) {
    s.DelayTimer = 30;
    r.host.everyYield = [&] {
        if (r.host.yields % 17 == 0) r.machine.Timer1_Timer();
    };
    at(2000, [&] { r.machine.Form_KeyDown(key::NumPad5); });
    int delayBeforeKey = -1;
    at(1999, [&] { delayBeforeKey = s.DelayTimer; });
    r.resetAndRun(2500);
    EXPECT_EQ(delayBeforeKey, 0);
    EXPECT_EQ(s.V[3], 5);
}

TEST_F(WaitForKey, AResetDuringTheWaitStoresNothingAndEmptiesTheLabel) {
    s.V[5] = 0;
    // The new run runs another program; the old wait must not store V3.
    at(500, [&] {
        r.load({0x6507, 0x1202});
        r.machine.Reset_Click();
    });
    at(800, [&] { r.machine.Form_KeyDown(key::NumPad2); });
    r.resetAndRun(1500);
    EXPECT_EQ(s.V[3], 0xEE);
    EXPECT_EQ(s.V[4], 0);
    EXPECT_EQ(s.V[5], 7);
    EXPECT_EQ(r.host.statusText, "");
    EXPECT_EQ(s.KeyPressed, 8); // the key was still tracked, just not awaited
}

TEST_F(WaitForKey, ExitDuringTheWaitEndsEverything) {
    at(500, [&] { r.machine.EndAllRuns(); });
    at(501, [&] { r.machine.Form_KeyDown(key::NumPad2); });
    r.resetAndRun(5000);
    EXPECT_EQ(r.host.yields, 500u);
    EXPECT_EQ(s.V[3], 0xEE);
    EXPECT_FALSE(r.machine.RunActive());
}

TEST_F(WaitForKey, PauseDuringTheWaitTakesEffectOnlyAfterIt) {
    at(500, [&] { r.machine.pausex_Click(); });
    at(900, [&] { r.machine.Form_KeyDown(key::NumPad8); });
    r.resetAndRun(5000);
    EXPECT_EQ(s.V[3], 2); // the wait ended and stored
    EXPECT_EQ(s.V[4], 0); // but the next instruction did not run
    EXPECT_EQ(s.ProgramCounter, 514u);
    EXPECT_TRUE(s.Paused);
}

} // namespace
} // namespace kestrel::testing
