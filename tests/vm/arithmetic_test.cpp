#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrel::testing {
namespace {

struct Case {
    std::uint16_t word;
    std::uint8_t v1, v2, vf; // before
    std::uint8_t result;     // V1 after (VF after when X = F)
    int flag;                // VF after, -1 when X = F (the result is the flag)
};

class Arithmetic : public ::testing::TestWithParam<Case> {};

// Each instruction runs through Reset and the run loop on the given registers.
TEST_P(Arithmetic, GivesTheResultAndFlag) {
    const Case c = GetParam();
    RomRunner r;
    MachineState& s = r.state();
    s.V[1] = c.v1;
    s.V[2] = c.v2;
    s.V[15] = c.vf;
    s.V[0] = 0x3C; // Y of the shifts: plays no part
    r.execute({c.word});
    const std::uint8_t x = static_cast<std::uint8_t>((c.word >> 8) & 0xF);
    EXPECT_EQ(s.V[x], c.result);
    if (c.flag >= 0) {
        EXPECT_EQ(s.V[15], c.flag);
    }
    EXPECT_EQ(s.V[0], 0x3C);
}

INSTANTIATE_TEST_SUITE_P(
    Registers, Arithmetic,
    ::testing::Values(
        // 6XNN, 7XNN: VF untouched, even by a carry out of 7XNN.
        Case{0x61AB, 0, 0, 0x77, 0xAB, 0x77}, Case{0x7101, 0xFF, 0, 0x77, 0x00, 0x77},
        Case{0x71F0, 0x20, 0, 0x77, 0x10, 0x77}, Case{0x7F01, 0, 0, 0xFF, 0x00, -1},
        // 8XY0..8XY3 leave VF alone.
        Case{0x8120, 0x11, 0x99, 0x77, 0x99, 0x77}, Case{0x8121, 0xF0, 0x0C, 0x77, 0xFC, 0x77},
        Case{0x8122, 0xF0, 0x3C, 0x77, 0x30, 0x77}, Case{0x8123, 0xF0, 0x3C, 0x77, 0xCC, 0x77},
        Case{0x8123, 0x5A, 0x5A, 0x77, 0x00, 0x77}, Case{0x8111, 0x5A, 0, 0x77, 0x5A, 0x77},
        Case{0x8112, 0x5A, 0, 0x77, 0x5A, 0x77}, Case{0x8110, 0x5A, 0, 0x77, 0x5A, 0x77},
        // 8XY4 at the carry boundary.
        Case{0x8124, 0x80, 0x80, 0x77, 0x00, 1}, Case{0x8124, 0x01, 0x01, 0x77, 0x02, 0},
        Case{0x8124, 0x55, 0xAA, 0x77, 0xFF, 0}, Case{0x8124, 0xFF, 0x01, 0x77, 0x00, 1},
        // 8XY5 and 8XY7: no borrow on equal operands.
        Case{0x8125, 0x05, 0x07, 0x77, 0xFE, 0}, Case{0x8125, 0x07, 0x07, 0x77, 0x00, 1},
        Case{0x8125, 0x00, 0x01, 0x77, 0xFF, 0}, Case{0x8125, 0x08, 0x07, 0x77, 0x01, 1},
        Case{0x8127, 0x05, 0x07, 0x77, 0x02, 1}, Case{0x8127, 0x07, 0x05, 0x77, 0xFE, 0},
        Case{0x8127, 0x07, 0x07, 0x77, 0x00, 1},
        // Shifts read VX only.
        Case{0x8106, 0x05, 0, 0x77, 0x02, 1}, Case{0x8106, 0xFF, 0, 0x77, 0x7F, 1},
        Case{0x8106, 0x80, 0, 0x77, 0x40, 0}, Case{0x8106, 0x01, 0, 0x77, 0x00, 1},
        Case{0x810E, 0x81, 0, 0x77, 0x02, 1}, Case{0x810E, 0x7F, 0, 0x77, 0xFE, 0},
        Case{0x810E, 0x01, 0, 0x77, 0x02, 0}, Case{0x810E, 0xFF, 0, 0x77, 0xFE, 1},
        Case{0x810E, 0x80, 0, 0x77, 0x00, 1},
        // VF first, then the result from the registers after that write.
        Case{0x8F14, 0x20, 0, 0xF0, 0x21, -1}, Case{0x81F4, 0xFF, 0, 0x01, 0x00, 1},
        Case{0x8F24, 0, 0x10, 0x01, 0x10, -1}, Case{0x81F5, 0x05, 0, 0x09, 0x05, 0},
        Case{0x81F5, 0x09, 0, 0x05, 0x08, 1}, Case{0x81F5, 0x00, 0, 0x01, 0x00, 0},
        Case{0x8F25, 0, 0x01, 0x05, 0x00, -1}, Case{0x8F25, 0, 0x05, 0x01, 0xFB, -1},
        Case{0x81F7, 0x03, 0, 0x09, 0xFE, 1}, Case{0x81F7, 0x00, 0, 0x00, 0x01, 1},
        Case{0x8F27, 0, 0x09, 0x03, 0x08, -1}, Case{0x8F06, 0, 0, 0xFF, 0x00, -1},
        Case{0x8F06, 0, 0, 0x01, 0x00, -1}, Case{0x8F06, 0, 0, 0x00, 0x00, -1},
        Case{0x8F0E, 0, 0, 0x80, 0x02, -1}, Case{0x8F0E, 0, 0, 0x7F, 0x00, -1},
        Case{0x8F0E, 0, 0, 0xFF, 0x02, -1}));

// VF after each program (V1 where named), on Kestrel, the VIP and modern.
TEST(Machines, FlagsLastShiftSourceAndVfReset) {
    const RuleCase cases[] = {
        // A standard machine writes the result, then the flag.
        {"8F14: FF + 1", {0x6FFF, 0x6101, 0x8F14}, {2, 1, 1}},
        {"8F15: 5 - 3", {0x6F05, 0x6103, 0x8F15}, {0xFE, 1, 1}},
        {"8F17: 5 - 2", {0x6F02, 0x6105, 0x8F17}, {4, 1, 1}},
        {"8F16: VY = 81", {0x6F02, 0x6181, 0x8F16}, {0, 1, 1}},
        {"8F1E: VY = 81", {0x6F40, 0x6181, 0x8F1E}, {0, 1, 1}},
        {"81F5, V1 read: 5 - 3", {0x6105, 0x6F03, 0x81F5, 0x6F00, 0x8F10}, {4, 2, 2}},
        // A standard machine shifts VY into VX (V1 read).
        {"8126: VX = 81, VY = 04", {0x6181, 0x6204, 0x8126, 0x8F10}, {0x40, 0x02, 0x02}},
        {"812E: VX = 81, VY = 04", {0x6181, 0x6204, 0x812E, 0x8F10}, {0x02, 0x08, 0x08}},
        {"8126 flag: VX = 81, VY = 04", {0x6181, 0x6204, 0x8126}, {1, 0, 0}},
        // The VIP clears VF after OR, AND and XOR.
        {"8121", {0x6F05, 0x6130, 0x6203, 0x8121}, {5, 0, 5}},
        {"8122", {0x6F05, 0x6130, 0x6203, 0x8122}, {5, 0, 5}},
        {"8123", {0x6F05, 0x6130, 0x6203, 0x8123}, {5, 0, 5}},
        {"8F11", {0x6F0F, 0x61F0, 0x8F11}, {0xFF, 0, 0xFF}},
    };
    for (const RuleCase& c : cases) {
        for (std::size_t m = 0; m < std::size(Machines); ++m) {
            RomRunner r(Machines[m].kind);
            r.execute(c.program);
            EXPECT_EQ(r.state().V[15], c.expected[m]) << c.name << " on " << Machines[m].name;
        }
    }
}

TEST(Random, MasksASingleDrawAndCoversTheMaskedRange) {
    RomRunner r;
    MachineState& s = r.state();
    // V1 := random AND 00, V2 := random AND 0F, V3 := random AND FF; store V0..V3 at I, I += 4.
    r.machine.SeedRandom(12345);
    s.V[1] = 0xEE;
    r.load({0xA400, 0x6404, 0xC100, 0xC20F, 0xC3FF, 0xF355, 0xF41E, 0x1204});
    r.resetAndRunPasses(2 + 6 * 500);
    std::set<int> masked, full;
    int ones = 0;
    for (int k = 0; k < 500; ++k) {
        const std::size_t at = 0x400 + 4 * static_cast<std::size_t>(k);
        ASSERT_EQ(s.Memory[at + 1], 0);
        ASSERT_LE(s.Memory[at + 2], 0x0F);
        masked.insert(s.Memory[at + 2]);
        full.insert(s.Memory[at + 3]);
        ones += s.Memory[at + 3] & 1;
    }
    EXPECT_EQ(masked.size(), 16u);
    EXPECT_GT(full.size(), 200u);
    EXPECT_GT(ones, 150); // the low bit is used, not only the high ones
}

TEST(Random, EachCxnnMakesExactlyOneDrawOfTwoHundredFiftySixU) {
    RomRunner r;
    r.machine.SeedRandom(99);
    r.execute({0xC1FF, 0xC2FF, 0xC300});
    RandomSource reference;
    reference.Seed(99);
    EXPECT_EQ(r.state().V[1], static_cast<int>(256.0 * reference.NextUniform()));
    EXPECT_EQ(r.state().V[2], static_cast<int>(256.0 * reference.NextUniform()));
    // C300 drew too: the next CXFF gets the fourth value.
    reference.NextUniform();
    r.execute({0xC4FF});
    EXPECT_EQ(r.state().V[4], static_cast<int>(256.0 * reference.NextUniform()));
}

TEST(Random, CxffReachesBothEndsOfTheRange) {
    RomRunner r;
    r.machine.SeedRandom(7);
    std::set<int> seen;
    r.host.everyYield = [&] { seen.insert(r.state().V[3]); };
    r.load({0xC3FF, 0x1200});
    r.resetAndRunPasses(2 * 5000);
    EXPECT_EQ(seen.count(0), 1u);
    EXPECT_EQ(seen.count(255), 1u);
    EXPECT_EQ(seen.size(), 256u);
}

} // namespace
} // namespace kestrel::testing
