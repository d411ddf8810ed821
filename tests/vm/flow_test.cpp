#include "support/key_codes.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

namespace kestrel::testing {
namespace {

TEST(Flow, CallAndReturnLeaveTheirSlotsAndComeBackInOrder) {
    RomRunner r;
    MachineState& s = r.state();
    // 0x200 jumps to 0x300, which calls 0xABC; there 6101, call 0xB00 (6202, return), return.
    r.load({0x1300});
    r.load({0x2ABC, 0x6333, 0x1304}, 0x300);
    r.load({0x6101, 0x2B00, 0x00EE}, 0xABC);
    r.load({0x6202, 0x00EE}, 0xB00);
    s.V[15] = 0x5A;
    r.resetAndRunPasses(9);
    EXPECT_EQ(s.V[1], 1);
    EXPECT_EQ(s.V[2], 2);
    EXPECT_EQ(s.V[3], 0x33);
    EXPECT_EQ(s.StackPointer, 0);
    EXPECT_EQ(s.CallStack[0], 0x302); // slots keep the return addresses
    EXPECT_EQ(s.CallStack[1], 0xAC0);
    EXPECT_EQ(s.ProgramCounter, 0x304u);
    EXPECT_EQ(s.V[15], 0x5A);
}

TEST(Flow, OneCallLeavesDepthOneAndTheTargetInThePc) {
    RomRunner r;
    r.load({0x1300});
    r.load({0x2ABC}, 0x300);
    r.load({0x1ABC}, 0xABC);
    r.resetAndRunPasses(2);
    EXPECT_EQ(r.state().CallStack[0], 0x302);
    EXPECT_EQ(r.state().StackPointer, 1);
    EXPECT_EQ(r.state().ProgramCounter, 0xABCu);
}

// A subroutine that calls itself: each call is one level deeper.
TEST(Flow, TwoHundredFiftySevenCallsSucceedAndTheNextStopsTheRun) {
    RomRunner r;
    r.load({0x2200});
    r.resetAndRunPasses(257);
    EXPECT_EQ(r.state().StackPointer, 257);
    EXPECT_TRUE(r.host.faults.empty());
    EXPECT_EQ(r.state().CallStack[256], 0x202);

    r.resetAndRunPasses(5); // the depth survives Reset, so the very first call is the 258th
    EXPECT_EQ(r.state().StackPointer, 257);
    ASSERT_EQ(r.host.faults.size(), 1u);
    const std::string& fault = r.host.faults[0];
    EXPECT_NE(fault.find("2200"), std::string::npos) << fault;
    EXPECT_NE(fault.find("512"), std::string::npos) << fault;
    EXPECT_NE(fault.find("257"), std::string::npos) << fault;
    EXPECT_LT(r.host.yields, YieldsOfPasses(257 + 5)); // stopped, not run to the end
}

TEST(Flow, AReturnWithNoCallStopsTheRunWithTheDepth) {
    RomRunner r;
    r.load({0x6105, 0x00EE, 0x6106});
    r.resetAndRunPasses(10);
    EXPECT_EQ(r.state().StackPointer, 0);
    EXPECT_EQ(r.state().V[1], 5);
    EXPECT_EQ(r.state().ProgramCounter, 516u); // fetched, not executed
    ASSERT_EQ(r.host.faults.size(), 1u);
    EXPECT_NE(r.host.faults[0].find("00EE"), std::string::npos) << r.host.faults[0];
    EXPECT_NE(r.host.faults[0].find("514"), std::string::npos) << r.host.faults[0];
}

TEST(Flow, JumpsAreNotMasked) {
    RomRunner r;
    r.state().V[0] = 0x10;
    r.load({0xB0FF});
    r.load({0x110F}, 0x10F); // spins at the odd address it was sent to
    r.resetAndRunPasses(1);
    EXPECT_EQ(r.state().ProgramCounter, 0x10Fu);

    r.state().V[0] = 0xFF;
    r.load({0xBFFF});
    r.state().Memory[0x10FE] = 0x61; // 6177 at 4350
    r.state().Memory[0x10FF] = 0x77;
    r.resetAndRunPasses(2);
    EXPECT_EQ(r.state().V[1], 0x77);
    EXPECT_EQ(r.state().ProgramCounter, 0x1100u);
}

// Kestrel's machine holds 257 calls and leaves BNNN unmasked; a standard one
// holds 16 and wraps BNNN's target at 4096.
TEST(Machines, CallDepthAndJumpTargets) {
    const struct {
        const char* name;
        std::vector<std::uint16_t> program;
        int expected[std::size(Machines)];      // VA
        const char* fault[std::size(Machines)]; // part of the fault's text, if any
    } cases[] = {
        // VA counts the calls made, the one that overflows among them.
        {"self-call",
         {0x7A01, 0x2200},
         {258 % 256, 17, 17},
         {"(depth 257 of 257)", "(depth 16 of 16)", "(depth 16 of 16)"}},
        {"return with none", {0x7A01, 0x00EE}, {1, 1, 1}, {"(depth 0)", "(depth 0)", "(depth 0)"}},
        // B300 with V0 = 4 lands at 0x304 everywhere.
        {"BNNN", {0x6004, 0xB300}, {4, 4, 4}, {}},
        // 0xFFF + 0xFF: 0x10FE on Kestrel's machine, and its zero words go on
        // upward; 0x0FE on a standard one, whose 129 zero words lead back to 512.
        {"BFFF wraps", {0x7A01, 0x60FF, 0xBFFF}, {1, 3, 3}, {}},
    };
    for (const auto& c : cases) {
        for (std::size_t m = 0; m < std::size(Machines); ++m) {
            RomRunner r(Machines[m].kind);
            r.load(c.program);
            r.load({0x6A03, 0x1302, 0x6A04, 0x1306}, 0x300);
            // Enough for 258 calls; 360 and 288 instructions, three times
            // round the wrapped program, on the VIP and modern.
            r.run(m == 0 ? 600 : 24);
            const std::string where = std::string(c.name) + " on " + Machines[m].name;
            EXPECT_EQ(r.state().V[10], c.expected[m]) << where;
            if (c.fault[m] == nullptr) {
                EXPECT_TRUE(r.host.faults.empty()) << where;
            } else {
                ASSERT_EQ(r.host.faults.size(), 1u) << where;
                EXPECT_NE(r.host.faults[0].find(c.fault[m]), std::string::npos)
                    << where << ": " << r.host.faults[0];
            }
        }
    }
}

TEST(Flow, ASelfJumpSpinsWhileTicksAndKeysAreServed) {
    RomRunner r;
    r.load({0x1200});
    r.state().DelayTimer = 1;
    r.host.at(5000, [&] { r.machine.Timer1_Timer(); });
    r.host.at(7000, [&] { r.machine.Form_KeyDown(key::NumPad8); });
    r.resetAndRunPasses(100);
    EXPECT_EQ(r.state().ProgramCounter, 0x200u);
    EXPECT_EQ(r.state().DelayTimer, 0);
    EXPECT_EQ(r.state().KeyPressed, 2);
}

struct Skip {
    std::uint16_t word;
    std::uint8_t vx; // V1 (VA for the 3A/4A words)
    std::uint8_t vy; // V2
    bool skips;
};

class Skips : public ::testing::TestWithParam<Skip> {};

// The skipped word would set V5; the word after it sets V6.
TEST_P(Skips, PassOverTheNextWordWhenTheConditionHolds) {
    const Skip c = GetParam();
    RomRunner r;
    r.state().V[1] = r.state().V[0xA] = c.vx;
    r.state().V[2] = c.vy;
    r.state().V[3] = 0x44;
    r.state().V[15] = 0x9C;
    r.execute({c.word, 0x6555, 0x6666});
    EXPECT_EQ(r.state().V[5], c.skips ? 0 : 0x55);
    EXPECT_EQ(r.state().V[6], 0x66);
    EXPECT_EQ(r.state().V[15], 0x9C);
}

INSTANTIATE_TEST_SUITE_P(Flow, Skips,
                         ::testing::Values(Skip{0x3A07, 7, 0, true}, Skip{0x3A07, 8, 0, false},
                                           Skip{0x4A07, 7, 0, false}, Skip{0x4A07, 8, 0, true},
                                           Skip{0x3AFF, 0xFF, 0, true}, Skip{0x4A00, 0, 0, false},
                                           Skip{0x5120, 9, 9, true}, Skip{0x5127, 9, 9, true},
                                           Skip{0x5120, 9, 10, false}, Skip{0x9120, 9, 10, true},
                                           Skip{0x912F, 9, 10, true}, Skip{0x9120, 9, 9, false},
                                           Skip{0x5330, 1, 2, true}, Skip{0x9330, 1, 2, false}));

} // namespace
} // namespace kestrel::testing
