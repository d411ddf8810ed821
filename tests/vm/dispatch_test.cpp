#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kestrel::testing {
namespace {

// A machine with something in every place an instruction could touch, so a
// word that runs the wrong handler shows a difference.
std::unique_ptr<RomRunner> Prepared(std::uint16_t word) {
    auto r = std::make_unique<RomRunner>();
    MachineState& s = r->state();
    for (int i = 0; i < 16; ++i)
        s.V[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0x11 * i + 3);
    s.V[1] = s.V[2] = 0x40; // V1 = V2
    s.IndexReg = 0x300;
    for (int k = 0; k < 16; ++k)
        s.Memory[static_cast<std::size_t>(0x300 + k)] = static_cast<std::uint8_t>(0xC0 + k);
    s.StackPointer = 1;
    s.CallStack[0] = 0x240;
    s.V[4] = 5;
    s.KeyPressed = 5;
    s.DelayTimer = 255;
    r->machine.Debug().KestrelSurface().FillRect(1, 0, 8, 3,
                                                 LitColour); // screen pixels (0,0) and (1,0)
    r->load({word});
    return r;
}

// Runs one pass of `word` on a prepared machine and stops in the first yield
// of the next pass, whose fetch of 0000 has moved the PC on by 2. Returns
// the yields of the first pass.
std::uint64_t RunOnePass(RomRunner& r) {
    std::uint64_t passYields = 0;
    r.host.everyYield = [&] {
        // Step 1 of pass 1 took 255 to 254; anything else is pass 2 (its
        // fetch already made) or a handler that loaded the timer.
        if (r.state().DelayTimer == 254) {
            ++passYields;
        } else {
            r.machine.EndAllRuns();
        }
    };
    r.stopAt(1000); // for a word that loads the delay timer itself
    r.machine.Reset_Click();
    r.machine.Debug().KestrelSurface().FillRect(
        1, 0, 8, 3, LitColour); // Reset cleared it; restore before the pass
    r.machine.RunDriver();
    return passYields;
}

void ExpectSameMachine(RomRunner& a, RomRunner& b) {
    EXPECT_EQ(a.state().V, b.state().V);
    EXPECT_EQ(a.state().IndexReg, b.state().IndexReg);
    EXPECT_EQ(a.state().ProgramCounter, b.state().ProgramCounter);
    EXPECT_EQ(a.state().StackPointer, b.state().StackPointer);
    EXPECT_EQ(a.state().SoundTimer, b.state().SoundTimer);
    EXPECT_EQ(a.state().KeyPressed, b.state().KeyPressed);
    auto memoryA = a.state().Memory, memoryB = b.state().Memory;
    memoryA[512] = memoryB[512] = memoryA[513] = memoryB[513] = 0; // the words themselves
    EXPECT_TRUE(memoryA == memoryB);
    EXPECT_EQ(a.screen(), b.screen());
    EXPECT_EQ(a.host.statusHistory, b.host.statusHistory);
}

struct SameAs {
    std::uint16_t word;
    std::uint16_t canonical;
};

class UnexaminedNibbles : public ::testing::TestWithParam<SameAs> {};

// Words whose unexamined nibbles differ from the canonical form run the same
// handler, with the same opening yield.
TEST_P(UnexaminedNibbles, RunAsTheCanonicalWord) {
    const SameAs c = GetParam();
    auto a = Prepared(c.word);
    auto b = Prepared(c.canonical);
    const std::uint64_t yieldsA = RunOnePass(*a);
    const std::uint64_t yieldsB = RunOnePass(*b);
    EXPECT_EQ(yieldsA, yieldsB);
    ExpectSameMachine(*a, *b);
}

INSTANTIATE_TEST_SUITE_P(Dispatch, UnexaminedNibbles,
                         ::testing::Values(SameAs{0x0AE0, 0x00E0}, SameAs{0x03EE, 0x00EE},
                                           SameAs{0x5121, 0x5120}, SameAs{0x513F, 0x5130},
                                           SameAs{0x912F, 0x9120}, SameAs{0x913A, 0x9130},
                                           SameAs{0xE490, 0xE49E}, SameAs{0xE1A5, 0xE1A1},
                                           SameAs{0xE3A0, 0xE3A1}, SameAs{0xF123, 0xF129},
                                           SameAs{0xF230, 0xF233}, SameAs{0xF35F, 0xF355},
                                           SameAs{0xF360, 0xF365}));

class Unmatched : public ::testing::TestWithParam<std::uint16_t> {};

// An unmatched word is passed over: no yield, no handler, no change but the PC.
TEST_P(Unmatched, DoesNothingAndMakesNoYield) {
    auto a = Prepared(GetParam());
    auto zero = Prepared(0x0000);
    EXPECT_EQ(RunOnePass(*a), YieldsOfPasses(1, 0));
    RunOnePass(*zero);
    ExpectSameMachine(*a, *zero);
    EXPECT_EQ(a->state().ProgramCounter, 516u);
}

INSTANTIATE_TEST_SUITE_P(Dispatch, Unmatched,
                         ::testing::Values(0x00E1, 0x0123, 0x00EF, 0x0FFF, 0x8128, 0x8129, 0x812A,
                                           0x812B, 0x812C, 0x812D, 0x812F, 0xE1B1, 0xE100, 0xF000,
                                           0xF00B, 0xF017, 0xF00C, 0xF140, 0xF170, 0xF1FF, 0xF108,
                                           0xF11F));

// Each row of the table reaches its handler: the effect of every canonical
// word on the prepared machine, and its one opening yield (none for DXYN).
TEST(Dispatch, EveryRowReachesItsHandler) {
    struct Row {
        std::uint16_t word;
        std::function<void(RomRunner&)> check;
    };
    const std::vector<Row> rows = {
        {0x00E0, [](RomRunner& r) { EXPECT_FALSE(r.lit(0, 0)); }},
        {0x00EE, [](RomRunner& r) { EXPECT_EQ(r.state().ProgramCounter, 0x242u); }},
        {0x1345, [](RomRunner& r) { EXPECT_EQ(r.state().ProgramCounter, 0x347u); }},
        {0x2345, [](RomRunner& r) { EXPECT_EQ(r.state().StackPointer, 2); }},
        {0x3140, [](RomRunner& r) { EXPECT_EQ(r.state().ProgramCounter, 518u); }},
        {0x4100, [](RomRunner& r) { EXPECT_EQ(r.state().ProgramCounter, 518u); }},
        {0x5120, [](RomRunner& r) { EXPECT_EQ(r.state().ProgramCounter, 518u); }},
        {0x6199, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0x99); }},
        {0x7101, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0x41); }},
        {0x8130, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0x36); }},
        {0x8131, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0x76); }},
        {0x8132, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0x00); }},
        {0x8133, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0x76); }},
        {0x8134, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0x76); }},
        {0x8135, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0x0A); }},
        {0x8136, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0x20); }},
        {0x8137, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0xF6); }},
        {0x813E, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0x80); }},
        {0x9130, [](RomRunner& r) { EXPECT_EQ(r.state().ProgramCounter, 518u); }},
        {0xA345, [](RomRunner& r) { EXPECT_EQ(r.state().IndexReg, 0x345u); }},
        {0xB100, [](RomRunner& r) { EXPECT_EQ(r.state().ProgramCounter, 0x105u); }},
        {0xC100, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0); }},
        {0xD001,
         [](RomRunner& r) {
             EXPECT_EQ(r.state().V[15], 0);
             EXPECT_TRUE(r.lit(3, 3) && r.lit(4, 3));
         }},
        {0xE49E, [](RomRunner& r) { EXPECT_EQ(r.state().ProgramCounter, 518u); }},
        {0xE3A1, [](RomRunner& r) { EXPECT_EQ(r.state().ProgramCounter, 518u); }},
        {0xF107, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 254); }},
        {0xF115, [](RomRunner& r) { EXPECT_EQ(r.state().DelayTimer, 0x40); }},
        {0xF118, [](RomRunner& r) { EXPECT_EQ(r.state().SoundTimer, 0x40); }},
        {0xF11E, [](RomRunner& r) { EXPECT_EQ(r.state().IndexReg, 0x340u); }},
        {0xF329, [](RomRunner& r) { EXPECT_EQ(r.state().IndexReg, 4096u + 5 * 0x36); }},
        {0xF133, [](RomRunner& r) { EXPECT_EQ(r.state().Memory[0x302], 4); }},
        {0xF155, [](RomRunner& r) { EXPECT_EQ(r.state().Memory[0x301], 0x40); }},
        {0xF165, [](RomRunner& r) { EXPECT_EQ(r.state().V[1], 0xC1); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << std::hex << row.word);
        auto r = Prepared(row.word);
        const std::uint64_t yields = RunOnePass(*r);
        if (row.word != 0xF115) {
            EXPECT_EQ(yields, YieldsOfPasses(1, row.word >> 12 == 0xD ? 0 : HandlerYields));
        }
        row.check(*r);
    }
}

// F065 has Nibble3 = 6: it loads registers and is no wait for a key.
TEST(Dispatch, F065IsNotAWaitForAKey) {
    auto r = Prepared(0xF065);
    RunOnePass(*r);
    EXPECT_EQ(r->state().V[0], 0xC0);
    EXPECT_TRUE(r->host.statusHistory.size() <= 1u); // only the reset's empty label
    EXPECT_EQ(r->host.statusText, "");
}

} // namespace
} // namespace kestrel::testing
