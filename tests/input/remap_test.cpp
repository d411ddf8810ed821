#include "support/key_codes.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

namespace kestrel::testing {
namespace {

constexpr const char* Waiting = "Waiting for key...";

// A click served while no run is active: the wait runs on the host's yields.
class Remap : public ::testing::Test {
  protected:
    RomRunner r;
    MachineState& s = r.machine.State;
    void clickThenPress(int index, int code) {
        std::string labelDuring;
        r.host.at(r.host.yields + 3, [&] { labelDuring = r.host.statusText; });
        r.host.at(r.host.yields + 5, [this, code] { r.machine.Form_KeyDown(code); });
        r.machine.Command1_Click(index);
        EXPECT_EQ(labelDuring, Waiting);
        EXPECT_EQ(r.host.statusText, "");
    }
};

TEST_F(Remap, BindsTheNextKeyToEntryIndexPlusOneWithItsCaption) {
    clickThenPress(0, 81); // "1" and Q
    EXPECT_EQ(s.KeyMap[1], 81);
    EXPECT_EQ(r.host.captions[0], "Q");
    r.machine.Form_KeyDown(81);
    EXPECT_EQ(s.KeyPressed, 1);
    r.machine.Form_KeyUp();
    r.machine.Form_KeyDown(key::NumPad7); // keypad 7 is bound to nothing now
    EXPECT_EQ(s.KeyPressed, 0);
}

TEST_F(Remap, TheWaitYieldsIdlyAndIgnoresKeyUps) {
    r.host.at(3, [&] { r.machine.Form_KeyUp(); });
    r.host.at(40, [&] { r.machine.Form_KeyDown(65); });
    r.machine.Command1_Click(3);
    EXPECT_EQ(r.host.yields, 40u);
    EXPECT_EQ(r.host.idleYields, 40u);
    EXPECT_EQ(s.KeyMap[4], 65);
}

TEST_F(Remap, CaptionsAreTheKeysCharacterAsUtf8) {
    struct Case {
        int index, code;
        const char* caption;
    };
    for (const Case& c :
         {Case{9, key::NumPad0, "`"}, Case{8, key::NumPad9, "i"}, Case{13, key::Enter, "\u240D"},
          Case{5, 38, "&"}, Case{11, key::NumPadMultiply, "j"}, Case{12, key::NumPadAdd, "k"},
          Case{15, key::NumPadDecimal, "n"}, Case{10, key::NumPadDivide, "o"},
          Case{7, key::Shift, "\u2410"}, Case{6, 57, "9"}, Case{0, 0xC4, "\u00C4"},
          Case{1, 0x80, "\u20AC"}, Case{2, 0x90, "\uFFFD"}, Case{3, 0x81, "\uFFFD"}}) {
        clickThenPress(c.index, c.code);
        EXPECT_EQ(r.host.captions[c.index], c.caption) << "key " << c.code;
        EXPECT_EQ(s.KeyMap[static_cast<std::size_t>(c.index + 1)], c.code);
    }
}

TEST_F(Remap, PressingTheKeyAnotherEntryHoldsMakesADuplicate) {
    clickThenPress(1, key::NumPad9); // "2" and keypad 9 (entry 3)
    EXPECT_EQ(s.KeyMap[2], key::NumPad9);
    EXPECT_EQ(s.KeyMap[3], key::NumPad9);
    EXPECT_EQ(r.host.captionHistory.size(), 1u);
    EXPECT_EQ(r.host.captions[1], "i");
    r.machine.Form_KeyUp();
    r.machine.Form_KeyDown(key::NumPad9);
    EXPECT_EQ(s.KeyPressed, 3);
    r.machine.Form_KeyUp();
    r.machine.Form_KeyDown(key::NumPad8); // keypad 8: bound to nothing now
    EXPECT_EQ(s.KeyPressed, 0);
}

TEST_F(Remap, TheKeyThatEndsTheWaitPassesThroughTheOldMapFirst) {
    clickThenPress(9, key::NumPad4); // "0" and keypad 4
    EXPECT_EQ(s.KeyPressed, 4);
    EXPECT_EQ(s.KeyMap[10], key::NumPad4);
    EXPECT_EQ(r.host.captions[9], "d");
    r.machine.Form_KeyUp();
    r.machine.Form_KeyDown(key::NumPad4);
    EXPECT_EQ(s.KeyPressed, 10); // entry 10 is above entry 4

    clickThenPress(4, key::NumPad5); // "5" and keypad 5 again
    EXPECT_EQ(s.KeyMap[5], key::NumPad5);
    EXPECT_EQ(r.host.captions[4], "e");

    clickThenPress(14, key::NumPadSubtract); // "C" and keypad subtract: entry 15 holds it already
    EXPECT_EQ(s.KeyMap[15], key::NumPadSubtract);
    EXPECT_EQ(r.host.captions[14], "m");
}

TEST_F(Remap, ASecondClickDuringAWaitIsWrittenFirstThenTheFirst) {
    r.host.at(10, [&] { r.machine.Command1_Click(6); });
    r.host.at(20, [&] { r.machine.Form_KeyDown(71); }); // G
    r.machine.Command1_Click(2);
    EXPECT_EQ(s.KeyMap[7], 71);
    EXPECT_EQ(s.KeyMap[3], 71);
    const std::vector<std::pair<int, std::string>> order = {{6, "G"}, {2, "G"}};
    EXPECT_EQ(r.host.captionHistory, order);
    EXPECT_EQ(r.host.statusText, "");
    r.machine.Form_KeyDown(71);
    EXPECT_EQ(s.KeyPressed, 7);
}

// Clicks on a button that already waits start no wait inside it: the stack
// stays as deep as for one click, an earlier key-down is still thrown away,
// and the result is what nested waits would give.
TEST_F(Remap, RepeatedClicksOnAWaitingButtonShareItsWait) {
    std::uintptr_t firstWaitDepth = 0;
    r.host.at(2, [&] { firstWaitDepth = r.host.yieldStackAddress; });
    r.host.at(10, [&] {
        r.machine.Form_KeyDown(81); // Q, then a click before the wait looks
        r.machine.Command1_Click(2);
    });
    for (std::uint64_t y = 11; y < 5011; ++y)
        r.host.at(y, [&] { r.machine.Command1_Click(2); });
    r.host.at(5020, [&] { r.machine.Form_KeyDown(71); }); // G
    r.machine.Command1_Click(2);
    EXPECT_EQ(r.host.deepestYieldStackAddress, firstWaitDepth);
    EXPECT_EQ(s.KeyMap[3], 71);
    const std::vector<std::pair<int, std::string>> once = {{2, "G"}};
    EXPECT_EQ(r.host.captionHistory, once);
    EXPECT_EQ(r.host.statusText, "");
    EXPECT_EQ(r.host.statusHistory.back(), "");
}

// A click served in the same yield as the Reset that abandoned the button's
// wait does nothing; once that wait has unwound, a click waits anew and binds.
TEST_F(Remap, AClickAfterAResetWaitsAnewOnceTheOldWaitHasUnwound) {
    // A click that waited would wait for ever here: end it, and fail.
    r.host.everyYield = [&] {
        if (r.host.yields > 100) r.machine.Form_KeyDown(65);
    };
    const std::uint8_t bound = s.KeyMap[3];
    r.host.at(10, [&] {
        r.machine.Reset_Click();
        r.machine.Command1_Click(2);
        EXPECT_EQ(r.host.statusText, "");
    });
    r.machine.Command1_Click(2);
    EXPECT_EQ(r.host.yields, 10u);
    EXPECT_EQ(s.KeyMap[3], bound);
    EXPECT_TRUE(r.host.captions.empty());
    EXPECT_EQ(r.host.statusText, "");

    r.host.at(20, [&] { r.machine.Form_KeyDown(71); });
    r.machine.Command1_Click(2);
    EXPECT_EQ(s.KeyMap[3], 71);
    EXPECT_EQ(r.host.captions[2], "G");
    EXPECT_EQ(r.host.statusText, "");
}

struct Nesting {
    int deepestYield;
    std::uint64_t driverCalls;
    int resets;
    std::string label;
    bool ranARun; // some pair was served inside a run
};

// Every yield serves a Reset and a click on one button, on a host that serves
// its posted calls as the toolkit does, until `pairs` are served; then Exit.
Nesting resetAndClickInEveryYield(bool startWithARun, int pairs) {
    PostingHost host;
    Machine machine(host);
    host.driver = [&] { machine.RunDriver(); };
    machine.LoadDefaultKeyMap();
    Nesting n{0, 0, 0, "", false};
    host.everyYield = [&] {
        if (n.resets == pairs) return machine.EndAllRuns();
        n.ranARun = n.ranARun || machine.RunActive();
        machine.Reset_Click();
        ++n.resets;
        machine.Command1_Click(6);
    };
    if (startWithARun) {
        machine.Reset_Click(); // empty memory: a run that only yields
        ++n.resets;
        ++pairs;
    } else {
        machine.Command1_Click(6); // a wait entered while no run is active
    }
    host.serveTopLevel();
    n.deepestYield = host.deepestYield;
    n.driverCalls = host.driverCalls;
    n.label = host.statusText;
    ::testing::Test::RecordProperty("deepestYield", n.deepestYield);
    ::testing::Test::RecordProperty("driverCalls", std::to_string(n.driverCalls));
    return n;
}

// The first pair falls inside the wait of an idle click, and the driver that
// the wait posts as it unwinds starts the run; the rest are served in runs.
// An odd count makes the last pair, like the first, fall inside a wait.
TEST(RemapNesting, ResetsAndClicksInOneYieldStayShallowWithNoRunActive) {
    const Nesting n = resetAndClickInEveryYield(false, 2001);
    EXPECT_LE(n.deepestYield, 3);
    EXPECT_LE(n.driverCalls, 2u * n.resets);
    EXPECT_EQ(n.label, "");
    EXPECT_TRUE(n.ranARun);
}

TEST(RemapNesting, ResetsAndClicksInOneYieldStayShallowWithARunActive) {
    const Nesting n = resetAndClickInEveryYield(true, 2000);
    EXPECT_LE(n.deepestYield, 3);
    EXPECT_LE(n.driverCalls, 2u * n.resets);
    EXPECT_EQ(n.label, "");
    EXPECT_TRUE(n.ranARun);
}

// Remaps clicked inside a running program: the run loop stands still.
TEST_F(Remap, AClickInsideARunHoldsTheRunLoopUntilAKeyGoesDown) {
    r.load({0x7101, 0x1200});
    const std::uint64_t clickAt = YieldOfPass(2, 49); // after 7101 ran once
    const std::uint64_t keyAt = clickAt + 10000;
    r.host.at(clickAt, [&] { r.machine.Command1_Click(0); });
    r.host.at(keyAt, [&] { r.machine.Form_KeyDown(90); });
    int v1AtKey = -1;
    r.host.at(keyAt - 1, [&] { v1AtKey = s.V[1]; });
    r.resetAndRun(keyAt + YieldsOfPasses(20));
    EXPECT_EQ(v1AtKey, 1); // pass 1 only, then the wait
    EXPECT_EQ(s.KeyMap[1], 90);
    EXPECT_GT(s.V[1], 5);
}

TEST_F(Remap, InsideFx0aItEndsTheWaitOnlyWithAKeyBoundBefore) {
    r.load({0xF30A, 0x6401, 0x1204});
    s.V[3] = 0xEE;
    // Keypad 2 (entry 8) bound to entry 1: FX0A ends with the old entry number.
    r.host.at(200, [&] { r.machine.Command1_Click(0); });
    r.host.at(300, [&] { r.machine.Form_KeyDown(key::NumPad2); });
    r.resetAndRun(1000);
    EXPECT_EQ(s.KeyMap[1], key::NumPad2);
    EXPECT_EQ(s.V[3], 8);
    EXPECT_EQ(s.V[4], 1);
    EXPECT_EQ(r.host.statusText, "");

    // An unbound key (Q) ends the remap only; FX0A goes on waiting.
    s.V[3] = 0xEE;
    s.V[4] = 0;
    const std::uint64_t base = r.host.yields;
    r.host.at(base + 200, [&] { r.machine.Command1_Click(1); });
    r.host.at(base + 300, [&] { r.machine.Form_KeyDown(81); });
    std::string labelAfterRemap;
    r.host.at(base + 400, [&] { labelAfterRemap = r.host.statusText; });
    r.host.at(base + 500, [&] { r.machine.Form_KeyDown(81); }); // now bound, to entry 2
    r.resetAndRun(1000);
    EXPECT_EQ(s.KeyMap[2], 81);
    EXPECT_EQ(labelAfterRemap, "Waiting for key..."); // FX0A still waits
    EXPECT_EQ(r.host.statusText, "");
    EXPECT_EQ(s.V[3], 2);
    EXPECT_EQ(s.V[4], 1);
}

TEST_F(Remap, ANewRunDuringTheWaitBindsNothingAndEmptiesTheLabel) {
    r.load({0x7101, 0x1200});
    r.host.at(150, [&] { r.machine.Command1_Click(4); });
    r.host.at(400, [&] { r.machine.Reset_Click(); });
    r.host.at(500, [&] { r.machine.Form_KeyDown(65); });
    r.resetAndRun(2000);
    EXPECT_EQ(s.KeyMap[5], key::NumPad5);
    EXPECT_TRUE(r.host.captions.empty());
    EXPECT_EQ(r.host.statusText, "");
    EXPECT_GT(s.V[1], 5); // the new run ran
}

// A click while no run is active, with a Reset chosen inside its wait: the
// run must not start beneath the button's handler, but once it has returned.
TEST_F(Remap, AResetInsideAnIdleWaitRunsOnlyAfterTheWaitUnwinds) {
    r.load({0x6177, 0x1202});
    bool activeInside = true;
    std::uint64_t yieldsInsideDriver = 0;
    r.host.at(10, [&] {
        r.machine.Reset_Click();
        EXPECT_EQ(r.host.runRequests, 1);
        const std::uint64_t before = r.host.yields;
        r.machine.RunDriver(); // the posted call, delivered inside the wait's yield
        yieldsInsideDriver = r.host.yields - before;
        activeInside = r.machine.RunActive();
    });
    r.host.at(20, [&] { r.machine.Form_KeyDown(65); });
    r.machine.Command1_Click(3);
    EXPECT_EQ(yieldsInsideDriver, 0u);
    EXPECT_FALSE(activeInside);
    EXPECT_EQ(r.host.runRequests, 2); // asked again as the wait unwound
    EXPECT_EQ(s.V[1], 0);
    EXPECT_EQ(s.KeyMap[4], key::NumPad4); // the reset ended the wait: nothing bound
    EXPECT_EQ(r.host.yields, 10u);
    EXPECT_EQ(r.host.statusText, "");

    r.stopAt(r.host.yields + 500);
    r.machine.RunDriver();
    EXPECT_EQ(s.V[1], 0x77);
}

TEST_F(Remap, ExitDuringAWaitBindsNothing) {
    r.host.at(10, [&] { r.machine.EndAllRuns(); });
    r.host.at(11, [&] { r.machine.Form_KeyDown(65); });
    r.machine.Command1_Click(0);
    EXPECT_EQ(r.host.yields, 10u);
    EXPECT_EQ(s.KeyMap[1], key::NumPad7);
}

} // namespace
} // namespace kestrel::testing
