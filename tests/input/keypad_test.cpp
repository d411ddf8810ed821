#include "input/key_map.h"
#include "support/key_codes.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

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
            if (c.held != 0 && !c.readsV1) r.machine.Form_KeyDown(code);
            // FX0A's wait sees the key go down, and up a yield (or frame) later.
            bool down = false;
            r.host.everyYield = r.everyFrame = [&] {
                if (r.host.statusText != "Waiting for key...") return;
                down ? r.machine.Form_KeyUp(code) : r.machine.Form_KeyDown(code);
                down = !down;
            };
            r.execute(c.program);
            const int value = c.readsV1 ? r.state().V[1] : r.state().V[10];
            EXPECT_EQ(value, c.expected[m]) << c.name << " on " << Machines[m].name;
        }
    }
}

// The standard machines' sixteen keys: each host key event, in order, then
// the keys 0..F that are down.
struct KeyEvent {
    enum Kind { Down, Up, FocusLost, Bind, Pause } kind;
    int code = 0; // Bind: the keypad key whose entry gets code `place.row`
    KeyPlace place{};
};
KeyEvent down(int code, KeyPlace place = {}) {
    return {KeyEvent::Down, code, place};
}
KeyEvent up(int code, KeyPlace place = {}) {
    return {KeyEvent::Up, code, place};
}
constexpr KeyPlace W{2, 2}, X{4, 2}, Q{2, 1}, One{1, 1}, V{4, 4};

void deliver(Machine& machine, const KeyEvent& e) {
    switch (e.kind) {
    case KeyEvent::Down: return machine.Form_KeyDown(e.code, e.place);
    case KeyEvent::Up: return machine.Form_KeyUp(e.code, e.place);
    case KeyEvent::FocusLost: return machine.Form_Deactivate();
    case KeyEvent::Pause: return machine.pausex_Click();
    case KeyEvent::Bind:
        machine.State.KeyMap[static_cast<std::size_t>(e.code)] =
            static_cast<std::uint8_t>(e.place.row);
        return;
    }
}

std::set<int> keysDown(const Machine& machine) {
    std::set<int> held;
    for (int value = 0; value < 16; ++value)
        if ((machine.Debug().KeysDown() >> value & 1) != 0) held.insert(value);
    return held;
}

TEST(Chip8Keys, SixteenKeysEachUpOrDownOnItsOwn) {
    using namespace key;
    const KeyEvent focusLost{KeyEvent::FocusLost};
    const auto bind = [](int keypadKey, int code) {
        return KeyEvent{KeyEvent::Bind, keypadKey, {code, 0}};
    };
    const struct {
        const char* name;
        std::vector<KeyEvent> events;
        std::set<int> down;
    } cases[] = {
        {"two keys held", {down(NumPad5), down(NumPad6)}, {5, 6}},
        {"two held, one released", {down(NumPad5), down(NumPad6), up(NumPad6)}, {5}},
        {"keypad 0 is key 0", {down(NumPad0)}, {0}},
        {"keypad ., Enter, + are D, B, A",
         {down(NumPadDecimal), down(Enter), down(NumPadAdd)},
         {0xD, 0xB, 0xA}},
        {"letter X (bottom row, 2nd) is key 0", {down(88, X)}, {0}},
        {"the block's corners", {down(49, One), down(86, V)}, {1, 0xF}},
        {"four held, two released",
         {down(81, Q), down(87, W), down(88, X), down(NumPad9), up(87, W), up(NumPad9)},
         {4, 0}},
        {"one key from two host keys goes up with the last",
         {down(NumPad5), down(87, W), up(NumPad5)},
         {5}},
        {"... and then is up", {down(NumPad5), down(87, W), up(NumPad5), up(87, W)}, {}},
        {"a key the map binds keeps its binding", {bind(1, 81), down(81, Q)}, {1}},
        {"the map's highest entry wins", {bind(10, NumPad4), down(NumPad4)}, {0}},
        {"a key-up goes as its key-down went, though the map changed",
         {down(NumPad5), bind(5, 81), up(NumPad5)},
         {}},
        {"keys outside the map and the block give nothing", {down(Shift), down(90)}, {}},
        {"a second key-down of a held key holds it once",
         {down(NumPad5), down(NumPad5), up(NumPad5)},
         {}},
        {"a key-up of a key not down releases nothing", {down(NumPad5), up(NumPad6), up(0)}, {5}},
        {"focus loss releases every held key",
         {down(NumPad5), down(87, W), down(88, X), down(NumPad1), focusLost},
         {}},
        {"keys go down again after focus loss", {down(NumPad5), focusLost, down(NumPad6)}, {6}},
    };
    for (const auto& c : cases) {
        RomRunner r;
        for (const KeyEvent& e : c.events)
            deliver(r.machine, e);
        EXPECT_EQ(keysDown(r.machine), c.down) << c.name;
    }
}

// Runs `program` on r's machine with the keys of `held` down first, and
// each event of `atPrompt` delivered in a yield of its own while the label
// says that a wait goes on, as a player presses keys at the prompt.
void runWithKeys(RomRunner& r, const std::vector<std::uint16_t>& program,
                 const std::vector<KeyEvent>& held, const std::vector<KeyEvent>& atPrompt) {
    for (const KeyEvent& e : held)
        deliver(r.machine, e);
    // One event a yield on Kestrel's machine, one between two frames on a
    // standard one.
    std::size_t next = 0;
    r.host.everyYield = r.everyFrame = [&] {
        if (r.host.statusText == "Waiting for key..." && next < atPrompt.size())
            deliver(r.machine, atPrompt[next++]);
    };
    r.execute(program);
    r.host.everyYield = r.everyFrame = nullptr;
}

constexpr int Untouched = 0xEE;

// EX9E and EXA1 on each machine: VA is 1 unless the key test skipped. On
// Kestrel's machine VX is the one held key's number; on a standard one, the
// key VX & 0xF of the sixteen.
TEST(Chip8Keys, KeyTestsOnEachMachine) {
    using namespace key;
    const KeyEvent pause{KeyEvent::Pause};
    const struct {
        const char* name;
        std::vector<KeyEvent> held;
        std::uint16_t test; // with V0 = the low byte of `vx`
        int vx;
        int expected[std::size(Machines)]; // VA
        std::vector<KeyEvent> atPrompt = {};
    } cases[] = {
        {"5 and 6 held, E09E 6", {down(NumPad5), down(NumPad6)}, 0xE09E, 6, {0, 0, 0}},
        {"5 and 6 held, E09E 5", {down(NumPad5), down(NumPad6)}, 0xE09E, 5, {1, 0, 0}},
        {"5 and 6 held, 6 up, E09E 5",
         {down(NumPad5), down(NumPad6), up(NumPad6)},
         0xE09E,
         5,
         {1, 0, 0}},
        {"keypad 0 held, E0A1 0x10", {down(NumPad0)}, 0xE0A1, 0x10, {0, 1, 1}},
        {"X held, E0A1 0", {down(88, X)}, 0xE0A1, 0, {1, 1, 1}},
        {"7 tapped in a pause", {pause, down(NumPad1), up(NumPad1), pause}, 0xE09E, 7, {1, 1, 1}},
        {"7 tapped at F10A", {}, 0xE09E, 7, {0, 1, 1}, {down(NumPad1), up(NumPad1)}},
    };
    for (const auto& c : cases) {
        for (std::size_t m = 0; m < std::size(Machines); ++m) {
            RomRunner r(Machines[m].kind);
            const auto v0 = static_cast<std::uint16_t>(0x6000 | c.vx);
            const std::uint16_t wait = c.atPrompt.empty() ? 0x6B00 : 0xF10A; // F10A for a prompt
            runWithKeys(r, {v0, 0x6A00, wait, c.test, 0x6A01}, c.held, c.atPrompt);
            EXPECT_EQ(r.machine.State.V[10], c.expected[m]) << c.name << " on " << Machines[m].name;
        }
    }
}

// FX0A on each machine, keys pressed at its prompt: Kestrel's machine ends
// the wait at a bound key's key-down and stores its number; a standard one at
// the key-up of any key down, held before the wait or not, and stores its value.
TEST(Chip8Keys, WaitForKeyOnEachMachine) {
    using namespace key;
    const struct {
        const char* name;
        std::vector<KeyEvent> held;
        std::vector<KeyEvent> atPrompt;
        int expected[std::size(Machines)]; // V1
    } cases[] = {
        {"keypad 0 pressed and released", {}, {down(NumPad0), up(NumPad0)}, {10, 0, 0}},
        {"keypad 6 pressed, not released", {}, {down(NumPad6)}, {6, Untouched, Untouched}},
        {"a held key released", {down(NumPad5)}, {up(NumPad5)}, {Untouched, 5, 5}},
        {"5 held, then 6", {down(NumPad5)}, {down(NumPad6), up(NumPad5), up(NumPad6)}, {6, 5, 5}},
        {"a held key released, pressed and released",
         {down(NumPad5)},
         {up(NumPad5), down(NumPad5), up(NumPad5)},
         {5, 5, 5}},
        {"another key pressed and released while one is held",
         {down(NumPad5)},
         {down(NumPad6), up(NumPad6)},
         {6, 6, 6}},
        {"two pressed, the later released first",
         {},
         {down(NumPad4), down(NumPad6), up(NumPad6)},
         {4, 6, 6}},
        {"letter X pressed and released", {}, {down(88, X), up(88, X)}, {Untouched, 0, 0}},
        {"focus lost with a key down", {}, {down(NumPad9), {KeyEvent::FocusLost}}, {3, 3, 3}},
    };
    for (const auto& c : cases) {
        for (std::size_t m = 0; m < std::size(Machines); ++m) {
            RomRunner r(Machines[m].kind);
            runWithKeys(r, {0x61EE, 0xF10A, 0x6A01}, c.held, c.atPrompt);
            const MachineState& s = r.machine.State;
            const std::string on = std::string(c.name) + " on " + Machines[m].name;
            EXPECT_EQ(s.V[1], c.expected[m]) << on;
            // The run goes on once the wait has stored its key, and the label empties.
            EXPECT_EQ(s.V[10], s.V[1] != Untouched ? 1 : 0) << on;
            EXPECT_EQ(r.host.statusText, s.V[1] != Untouched ? "" : "Waiting for key...") << on;
        }
    }
}

// A key that goes down between two frames of the host's clock is seen by
// the first instruction of the next frame: V1 counts (mod 256) the loops
// that did not see key 0, four instructions each, and stops counting at once.
TEST(Chip8Keys, AKeyDownBetweenFramesIsSeenByTheNextFramesFirstInstruction) {
    const std::vector<std::uint16_t> program = {
        0xE09E, 0x1206, // key 0 down: on to 0x204
        0x120C, 0x7101, 0x1200, 0x0000, 0x120C,
    };
    for (const MachineKind* kind : {&CosmacVipMachine, &ModernChip8Machine}) {
        for (const int speed : {100, 1000}) {
            RomRunner r(*kind);
            r.load(program);
            r.machine.SetSpeed(speed);
            r.atFrame(10, [&] { r.machine.Form_KeyDown(key::NumPad0); });
            r.runFrames(10);
            EXPECT_EQ(r.state().V[1], (9 * speed / 4) % 256) << "at " << speed << " a frame";
        }
    }
}

} // namespace
} // namespace kestrel::testing
