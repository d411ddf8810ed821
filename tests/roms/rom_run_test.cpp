// The project's ROMs run on the machine from a real load and reset, with keys
// and timer ticks scripted at chosen yields; what they draw is compared with
// golden screens kept beside this file (64 x 32, '#' lit, '.' dark).
#include "roms/rom_files.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace kestrel::testing {
namespace {

// Compares a screen with its golden file and shows the two side by side,
// marking the rows that differ. With KESTREL_UPDATE_GOLDEN set the file is
// rewritten instead, and the check still fails, so that it is looked at.
::testing::AssertionResult screenMatches(const std::vector<std::string>& actual,
                                         const std::string& goldenName) {
    const std::string path = goldenPath(goldenName);
    if (std::getenv("KESTREL_UPDATE_GOLDEN") != nullptr) {
        std::ofstream out(path);
        for (const std::string& row : actual)
            out << row << '\n';
        return ::testing::AssertionFailure() << path << " rewritten; inspect it and run again";
    }
    const std::vector<std::string> expected = readLines(path);
    if (expected == actual) return ::testing::AssertionSuccess();

    std::ostringstream diff;
    diff << "screen differs from " << path
         << " (expected left, actual right, '<' marks a differing row)\n";
    for (std::size_t row = 0; row < std::max(expected.size(), actual.size()); ++row) {
        const std::string e = row < expected.size() ? expected[row] : "(missing)";
        const std::string a = row < actual.size() ? actual[row] : "(missing)";
        diff << (row < 10 ? " " : "") << row << "  " << e << "  " << a << (e == a ? "" : "  <")
             << '\n';
    }
    return ::testing::AssertionFailure() << diff.str();
}

// A runner with the ROM loaded from roms/ and the 17 ms tick served every
// 1000 yields, so that beeps are sounded as on the desktop.
class RomRun : public ::testing::Test {
  protected:
    void open(const std::string& name) {
        ASSERT_TRUE(runner.machine.LoadRom(romPath(name))) << romPath(name);
        runner.host.everyYield = [this] {
            if (runner.host.yields % 1000 == 0) runner.machine.Timer1_Timer();
        };
    }
    // Keep a copy of the screen as it stands inside yield `yieldNumber`.
    void snapshotAt(std::uint64_t yieldNumber, const std::string& name) {
        runner.host.at(yieldNumber, [this, name] { screens[name] = runner.screen(); });
    }
    void keyDownAt(std::uint64_t yieldNumber, int code) {
        runner.host.at(yieldNumber, [this, code] { runner.machine.Form_KeyDown(code); });
    }
    void keyUpAt(std::uint64_t yieldNumber) {
        runner.host.at(yieldNumber, [this] { runner.machine.Form_KeyUp(); });
    }
    void expectCleanRun() {
        EXPECT_TRUE(runner.host.faults.empty()) << runner.host.faults.front();
        EXPECT_EQ(runner.state().StackPointer, 0);
    }

    RomRunner runner;
    std::map<std::string, std::vector<std::string>> screens;
};

// demo.ch8 draws the digits and the kestrel and beeps 300 ms, then waits for
// keys: each key shows its keypad number in two digits and clicks 50 ms.
TEST_F(RomRun, DemoDrawsDigitsAndKestrelThenShowsEachKeysNumber) {
    open("demo.ch8");
    std::vector<std::size_t> tonesAtStart;
    std::string statusAtStart;
    runner.host.at(30000, [&] {
        tonesAtStart.push_back(runner.host.tones.size());
        statusAtStart = runner.host.statusText;
    });
    snapshotAt(30000, "start");
    keyDownAt(30001, 101); // numeric keypad 5: keypad key 5
    keyUpAt(30200);
    snapshotAt(40000, "key5");
    keyDownAt(40001, 13); // Enter: keypad key 14
    keyUpAt(40200);
    snapshotAt(50000, "key14");
    runner.resetAndRun(50001);

    ASSERT_EQ(screens.size(), 3u);
    EXPECT_TRUE(screenMatches(screens["start"], "demo.screen"));
    EXPECT_TRUE(screenMatches(screens["key5"], "demo_key5.screen"));
    EXPECT_TRUE(screenMatches(screens["key14"], "demo_key14.screen"));

    // One 300 ms beep before any key, then one 50 ms click a key.
    ASSERT_EQ(tonesAtStart, std::vector<std::size_t>{1});
    EXPECT_EQ(statusAtStart, "Waiting for key...");
    ASSERT_EQ(runner.host.tones.size(), 3u);
    EXPECT_EQ(runner.host.tones[0].hz, 500);
    EXPECT_EQ(runner.host.tones[0].ms, 300);
    EXPECT_EQ(runner.host.tones[1].ms, 50);
    EXPECT_EQ(runner.host.tones[2].ms, 50);
    expectCleanRun();
}

// keypad.ch8 shows the held keypad number, 0 when none is held.
TEST_F(RomRun, KeypadTesterShowsTheHeldKeysNumber) {
    open("keypad.ch8");
    snapshotAt(30000, "none");
    keyDownAt(30001, 101); // numeric keypad 5: keypad key 5
    snapshotAt(60000, "held5");
    keyUpAt(60001);
    snapshotAt(90000, "released");
    keyDownAt(90001, 110); // numeric keypad decimal point: keypad key 16
    snapshotAt(120000, "held16");
    keyUpAt(120001);
    keyDownAt(120002, 109); // numeric keypad subtract: keypad key 15
    snapshotAt(150000, "held15");
    runner.resetAndRun(150001);

    ASSERT_EQ(screens.size(), 5u);
    EXPECT_TRUE(screenMatches(screens["none"], "keypad_none.screen"));
    EXPECT_TRUE(screenMatches(screens["held5"], "keypad_5.screen"));
    EXPECT_TRUE(screenMatches(screens["released"], "keypad_none.screen"));
    EXPECT_TRUE(screenMatches(screens["held16"], "keypad_16.screen"));
    EXPECT_TRUE(screenMatches(screens["held15"], "keypad_15.screen"));
    EXPECT_TRUE(runner.host.tones.empty());
    expectCleanRun();
}

} // namespace
} // namespace kestrel::testing
