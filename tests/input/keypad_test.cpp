#include "input/key_map.h"
#include "support/key_codes.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrel::testing {
namespace {

TEST(KeyMap, DefaultsBindTheNumericKeypadWithNoDuplicate) {
    RomRunner r;
    using namespace key;
    const std::array<int, 17> expected = {
        0,       NumPad7,        NumPad8,      NumPad9, NumPad4,      NumPad5,        NumPad6,
        NumPad1, NumPad2,        NumPad3,      NumPad0, NumPadDivide, NumPadMultiply, NumPadAdd,
        Enter,   NumPadSubtract, NumPadDecimal};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(r.state().KeyMap[i], expected[i]) << "entry " << i;
    std::set<int> codes(r.state().KeyMap.begin() + 1, r.state().KeyMap.end());
    EXPECT_EQ(codes.size(), 16u);
    // Every keypad key can be produced, keypad 7 as key 1 and subtract as 15.
    for (int i = 1; i <= 16; ++i) {
        r.machine.Form_KeyDown(r.state().KeyMap[static_cast<std::size_t>(i)]);
        EXPECT_EQ(r.state().KeyPressed, i);
        r.machine.Form_KeyUp();
    }
    r.machine.Form_KeyDown(key::NumPad7);
    EXPECT_EQ(r.state().KeyPressed, 1);
    r.machine.Form_KeyDown(key::NumPadSubtract);
    EXPECT_EQ(r.state().KeyPressed, 15);
}

TEST(KeyMap, TheHighestEntryWinsWhenTwoHoldTheSameKey) {
    RomRunner r;
    r.state().KeyMap[10] = key::NumPad4; // keypad 4 is entry 4 too
    r.machine.Form_KeyDown(key::NumPad4);
    EXPECT_EQ(r.state().KeyPressed, 10);
    r.state().KeyMap[2] = key::NumPadDecimal; // keypad . is entry 16 too
    r.machine.Form_KeyDown(key::NumPadDecimal);
    EXPECT_EQ(r.state().KeyPressed, 16);
}

TEST(KeyMap, OneKeyIsTrackedAndAnyKeyUpClearsIt) {
    RomRunner r;
    MachineState& s = r.state();
    r.machine.Form_KeyDown(key::NumPad5);
    EXPECT_EQ(s.KeyPressed, 5);
    r.machine.Form_KeyDown(key::Shift); // Shift, unbound: keypad 5 still counts
    EXPECT_EQ(s.KeyPressed, 5);
    EXPECT_EQ(s.LastKeyCode, key::Shift);
    r.machine.Form_KeyUp(); // Shift released
    EXPECT_EQ(s.KeyPressed, 0);

    r.machine.Form_KeyDown(key::NumPad4);
    r.machine.Form_KeyDown(key::NumPad6);
    EXPECT_EQ(s.KeyPressed, 6);
    r.machine.Form_KeyUp();
    EXPECT_EQ(s.KeyPressed, 0); // keypad 4 is still down, but no longer tracked

    r.machine.Form_KeyDown(key::NumPad5);
    r.machine.Form_KeyDown(81); // Q
    EXPECT_EQ(s.KeyPressed, 5);
    EXPECT_EQ(s.LastKeyCode, 81);
    r.machine.Form_KeyDown(key::NumPad7 + 256); // above 255: equals no 8-bit entry
    EXPECT_EQ(s.KeyPressed, 5);
    EXPECT_EQ(s.LastKeyCode, key::NumPad7 + 256);
}

struct KeySkip {
    std::uint16_t word;
    std::uint8_t vx;
    int heldCode; // 0: no key held
    bool skips;
};

class KeySkips : public ::testing::TestWithParam<KeySkip> {};

// VX is compared with the keypad key number as it stands.
TEST_P(KeySkips, CompareVxWithTheHeldKeyNumber) {
    const KeySkip c = GetParam();
    RomRunner r;
    r.state().V[1] = c.vx;
    if (c.heldCode != 0) r.machine.Form_KeyDown(c.heldCode);
    r.execute({c.word, 0x6555, 0x6666});
    EXPECT_EQ(r.state().V[5], c.skips ? 0 : 0x55);
    EXPECT_EQ(r.state().V[6], 0x66);
}

INSTANTIATE_TEST_SUITE_P(
    Keypad, KeySkips,
    ::testing::Values(
        KeySkip{0xE19E, 0, 0, true}, KeySkip{0xE19E, 0, key::NumPad5, false},
        KeySkip{0xE1A1, 0, 0, false}, KeySkip{0xE1A1, 0, key::NumPad5, true},
        KeySkip{0xE19E, 5, key::NumPad5, true}, KeySkip{0xE19E, 5, key::NumPad6, false},
        KeySkip{0xE1A1, 5, key::NumPad5, false}, KeySkip{0xE19E, 16, key::NumPadDecimal, true},
        KeySkip{0xE19E, 17, key::NumPadDecimal, false},
        KeySkip{0xE1A1, 17, key::NumPadDecimal, true}, KeySkip{0xE1A1, 17, 0, true},
        KeySkip{0xE19E, 1, key::NumPad7, true}, KeySkip{0xE19E, 15, key::NumPad7, false},
        KeySkip{0xE190, 14, key::Enter, true}, KeySkip{0xE1A5, 14, key::Enter, false}));

// The key state is the one after the skip's own opening yield.
TEST(Keypad, ASkipSeesAKeyThatWentDownInItsOpeningYield) {
    RomRunner r;
    r.state().V[1] = 8;
    r.load({0xE19E, 0x6555, 0x1204});
    r.host.at(1, [&] { r.machine.Form_KeyDown(key::NumPad2); });
    r.resetAndRunPasses(4);
    EXPECT_EQ(r.state().V[5], 0);
}

TEST(Keypad, AProgramPollsTheKeyThroughTheRunLoop) {
    RomRunner r;
    // Count passes round the loop until keypad key 6 is held: V2 += 1 while EXA1 skips.
    r.state().V[1] = 6;
    r.load({0xE1A1, 0x1208, 0x7201, 0x1200, 0x6301, 0x120A});
    r.host.at(2000, [&] { r.machine.Form_KeyDown(key::NumPad6); });
    r.resetAndRunPasses(40);
    EXPECT_EQ(r.state().V[3], 1);
    EXPECT_GT(r.state().V[2], 3);
    EXPECT_LT(r.state().V[2], 8);
}

// Kestrel's machine compares VX with the held keypad key's number; a standard
// one with the value the key stands for (button n - 1's caption), VX & 0xF.
// VA is 1 unless EX9E skipped; V1 is what FX0A stored.
TEST(Machines, KeyTestsAndWaitsUseTheKeysValue) {
    const struct {
        const char* name;
        int held; // keypad key, 0 for none
        std::vector<std::uint16_t> program;
        int expected[std::size(Machines)];
        bool readsV1;
    } cases[] = {
        {"key 10 held, E09E with 0", 10, {0x6000, 0xE09E, 0x6A01}, {1, 0, 0}, false},
        {"key 10 held, E09E with 10", 10, {0x600A, 0xE09E, 0x6A01}, {0, 1, 1}, false},
        {"key 13 held, E09E with 1A", 13, {0x601A, 0xE09E, 0x6A01}, {1, 0, 0}, false},
        {"none held, E09E with 0", 0, {0x6000, 0xE09E, 0x6A01}, {0, 1, 1}, false},
        {"key 10 held, E0A1 with 0", 10, {0x6000, 0xE0A1, 0x6A01}, {0, 1, 1}, false},
        {"F10A, key 11 pressed", 11, {0xF10A}, {11, 0xE, 0xE}, true},
        {"F10A, key 16 pressed", 16, {0xF10A}, {16, 0xD, 0xD}, true},
    };
    for (const auto& c : cases) {
        for (std::size_t m = 0; m < std::size(Machines); ++m) {
            RomRunner r(Machines[m].kind);
            const int code = r.state().KeyMap[static_cast<std::size_t>(c.held)];
            if (c.held != 0) r.machine.Form_KeyDown(code);
            // FX0A's wait sees the key go down afresh.
            r.host.everyYield = [&] {
                if (r.host.statusText == "Waiting for key...") r.machine.Form_KeyDown(code);
            };
            r.execute(c.program);
            const int value = c.readsV1 ? r.state().V[1] : r.state().V[10];
            EXPECT_EQ(value, c.expected[m]) << c.name << " on " << Machines[m].name;
        }
    }
}

} // namespace
} // namespace kestrel::testing
