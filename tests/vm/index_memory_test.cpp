#include "support/grown_cases.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

namespace kestrel::testing {
namespace {

// I = 4095 + 16 x 255 = 8175, then F? adds the rest: words that move I far up.
constexpr std::uint16_t SetIto8175[] = {0xAFFF, 0x6EFF, 0xFE1E, 0xFE1E, 0xFE1E, 0xFE1E,
                                        0xFE1E, 0xFE1E, 0xFE1E, 0xFE1E, 0xFE1E, 0xFE1E,
                                        0xFE1E, 0xFE1E, 0xFE1E, 0xFE1E, 0xFE1E, 0xFE1E};

void LoadWithIAt(RomRunner& r, std::uint8_t extra, std::initializer_list<std::uint16_t> then) {
    std::uint32_t at = ProgramStart;
    for (std::uint16_t w : SetIto8175)
        r.load({w}, (at += 2) - 2);
    r.load({static_cast<std::uint16_t>(0x6E00 | extra), 0xFE1E}, at);
    at += 4;
    r.load(then, at);
    at += static_cast<std::uint32_t>(2 * then.size());
    r.load({static_cast<std::uint16_t>(0x1000 | at)}, at);
}

TEST(Index, AnnnAndFx1eAreNeitherMaskedNorFlagged) {
    RomRunner r;
    r.state().V[1] = 0x10;
    r.state().V[15] = 0x42;
    r.execute({0xA123});
    EXPECT_EQ(r.state().IndexReg, 0x123u);
    r.execute({0xAFFF, 0xF11E});
    EXPECT_EQ(r.state().IndexReg, 0x100Fu);
    EXPECT_EQ(r.state().V[15], 0x42);

    LoadWithIAt(r, 0xFF, {0xFE1E}); // 8175 + 255 + 255: beyond memory, harmless until used
    r.resetAndRunPasses(30);
    EXPECT_EQ(r.state().IndexReg, 8175u + 510u);
    EXPECT_EQ(r.state().V[15], 0x42);
    EXPECT_TRUE(r.host.faults.empty());
}

TEST(Index, Fx29UsesVxWhole) {
    RomRunner r;
    for (auto [v, i] : {std::pair{0x0A, 4146u}, {0x10, 4176u}, {0xFF, 5371u}, {0x00, 4096u}}) {
        r.state().V[1] = static_cast<std::uint8_t>(v);
        r.execute({0xF129});
        EXPECT_EQ(r.state().IndexReg, i) << "VX " << v;
    }
}

// I after FX55, FX65 and FX29, and V0 read back where a store reached past
// 4095, which a standard machine wraps to 0 and Kestrel's does not.
TEST(Machines, IndexAdvanceFontAddressAndMemoryWrap) {
    const struct {
        const char* name;
        std::vector<std::uint16_t> program;
        bool readsI; // else V0
        int expected[std::size(Machines)];
    } cases[] = {
        {"F255 advances I by 3", {0xA300, 0xF255}, true, {0x300, 0x303, 0x303}},
        {"F365 advances I by 4", {0xA300, 0xF365}, true, {0x300, 0x304, 0x304}},
        {"F029, V0 = 1A",
         {0x601A, 0xF029},
         true,
         {4096 + 5 * 0x1A, 0x50 + 5 * 0xA, 0x50 + 5 * 0xA}},
        {"F029, V0 = 0F", {0x600F, 0xF029}, true, {4096 + 5 * 0xF, 0x50 + 5 * 0xF, 0x50 + 5 * 0xF}},
        {"F255 at FFE reaches 0",
         {0x6001, 0x6102, 0x6203, 0xAFFE, 0xF255, 0xA000, 0xF065},
         false,
         {0, 3, 3}},
        {"F033 at FFF reaches 0 and 1", {0x60FF, 0xAFFF, 0xF033, 0xA000, 0xF065}, false, {0, 5, 5}},
    };
    for (const auto& c : cases) {
        for (std::size_t m = 0; m < std::size(Machines); ++m) {
            RomRunner r(Machines[m].kind);
            r.execute(c.program);
            const auto value = c.readsI ? static_cast<int>(r.state().IndexReg) : r.state().V[0];
            EXPECT_EQ(value, c.expected[m]) << c.name << " on " << Machines[m].name;
            EXPECT_TRUE(r.host.faults.empty()) << c.name << " on " << Machines[m].name;
        }
    }
}

TEST(Index, BcdStoresDigitsAndLeavesI) {
    RomRunner r;
    for (auto [v, digits] : {std::pair{159, std::array<int, 3>{1, 5, 9}},
                             {255, {2, 5, 5}},
                             {7, {0, 0, 7}},
                             {0, {0, 0, 0}},
                             {100, {1, 0, 0}}}) {
        std::fill(r.state().Memory.begin(), r.state().Memory.end(), 0xEE);
        r.state().V[1] = static_cast<std::uint8_t>(v);
        r.execute({0xA600, 0xF133});
        EXPECT_EQ(r.state().Memory[0x600], digits[0]) << v;
        EXPECT_EQ(r.state().Memory[0x601], digits[1]) << v;
        EXPECT_EQ(r.state().Memory[0x602], digits[2]) << v;
        EXPECT_EQ(r.state().Memory[0x603], 0xEE);
        EXPECT_EQ(r.state().Memory[0x5FF], 0xEE);
        EXPECT_EQ(r.state().IndexReg, 0x600u);
    }
}

TEST(Index, BlockStoreAndLoadCoverV0ToVxOnly) {
    RomRunner r;
    MachineState& s = r.state();
    for (int k = 0; k < 16; ++k)
        s.V[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(0xA0 + k);
    s.Memory[0x601] = 0xEE;
    r.execute({0xA600, 0xF055});
    EXPECT_EQ(s.Memory[0x600], 0xA0);
    EXPECT_EQ(s.Memory[0x601], 0xEE);
    r.execute({0xA700, 0xFF55});
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(s.Memory[static_cast<std::size_t>(0x700 + k)], 0xA0 + k);
    EXPECT_EQ(s.Memory[0x710], 0);
    EXPECT_EQ(s.IndexReg, 0x700u);

    for (int k = 0; k < 16; ++k)
        s.Memory[static_cast<std::size_t>(0x800 + k)] = static_cast<std::uint8_t>(k);
    r.execute({0xA800, 0xF365});
    EXPECT_EQ(s.V[3], 3);
    EXPECT_EQ(s.V[4], 0xA4);
    EXPECT_EQ(s.V[15], 0xAF);
    EXPECT_EQ(s.IndexReg, 0x800u);
    r.execute({0xA800, 0xFF65});
    EXPECT_EQ(s.V[15], 15);

    // A store and a load with I unchanged in between give the registers back.
    for (int k = 0; k < 4; ++k)
        s.V[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(0x31 * (k + 1));
    r.execute({0xA900, 0xF355, 0x6000, 0x6100, 0x6200, 0x6300, 0xF365});
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(s.V[static_cast<std::size_t>(k)], 0x31 * (k + 1));
}

TEST(Index, AStoreOverTheFontChangesWhatFx29ThenShowsUntilTheNextReset) {
    RomRunner r;
    MachineState& s = r.state();
    s.V[0] = 0xFF;
    s.V[1] = 0xFF;
    s.V[2] = 0xFF;
    s.V[3] = 0xFF;
    s.V[4] = 0xFF; // glyph 0 becomes a solid 8 x 5 block
    s.V[5] = 0;
    s.V[6] = 0;
    // Store over glyph 0, then point at it with FX29 and draw it.
    r.load({0x6E01, 0xAFFF, 0xFE1E, 0xF455, 0xF529, 0xD565, 0x120C});
    r.resetAndRunPasses(10);
    ASSERT_EQ(s.IndexReg, 4096u);
    for (int x = 0; x < 8; ++x)
        EXPECT_TRUE(r.lit(x, 4)) << x;

    // The next reset rewrites the glyph.
    r.machine.Reset_Click();
    EXPECT_EQ(s.Memory[4096], 0x60);
}

// Accesses past 8192 are made in their order up to the first outside one;
// then the run stops with a message naming the instruction and the address.
class BeyondMemory : public ::testing::Test {
  protected:
    RomRunner r;
    MachineState& s = r.state();
    void run(std::uint8_t extra, std::uint16_t word) {
        LoadWithIAt(r, extra, {word, 0x6DDD});
        r.resetAndRunPasses(40);
    }
    void expectFault(const std::string& word, std::uint64_t address) {
        ASSERT_EQ(r.host.faults.size(), 1u);
        const std::string& fault = r.host.faults[0];
        EXPECT_NE(fault.find(word), std::string::npos) << fault;
        EXPECT_NE(fault.find(std::to_string(ProgramStart + 2 * 20)), std::string::npos) << fault;
        EXPECT_NE(fault.find(std::to_string(address)), std::string::npos) << fault;
        EXPECT_EQ(s.V[0xD], 0); // nothing after the faulting instruction ran
    }
};

TEST_F(BeyondMemory, BcdStoresOnesAndTensThenStopsAtTheHundreds) {
    s.V[1] = 123;
    s.Memory[8191] = s.Memory[8192] = 0xEE;
    run(16, 0xF133); // I = 8191: I+2 = 8193 is outside, and is the first access
    EXPECT_EQ(s.Memory[8191], 0xEE);
    EXPECT_EQ(s.Memory[8192], 0xEE);
    expectFault("F133", 8193);
}

TEST_F(BeyondMemory, BcdAtIEquals8190FitsExactly) {
    s.V[1] = 123;
    run(15, 0xF133);
    EXPECT_EQ(s.Memory[8190], 1);
    EXPECT_EQ(s.Memory[8191], 2);
    EXPECT_EQ(s.Memory[8192], 3);
    EXPECT_TRUE(r.host.faults.empty());
    EXPECT_EQ(s.V[0xD], 0xDD);
}

TEST_F(BeyondMemory, BlockStoreWritesUpTo8192ThenStops) {
    for (int k = 0; k < 16; ++k)
        s.V[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(0x50 + k);
    s.V[0xD] = 0;
    run(14, 0xF555); // I = 8189: V0..V3 fit, V4 would go to 8193
    EXPECT_EQ(s.Memory[8189], 0x50);
    EXPECT_EQ(s.Memory[8192], 0x53);
    expectFault("F555", 8193);
}

TEST_F(BeyondMemory, BlockLoadReadsUpTo8192ThenStops) {
    s.Memory[8191] = 0x91;
    s.Memory[8192] = 0x92;
    s.V[2] = 0x77;
    run(16, 0xF265); // I = 8191
    EXPECT_EQ(s.V[0], 0x91);
    EXPECT_EQ(s.V[1], 0x92);
    EXPECT_EQ(s.V[2], 0x77);
    expectFault("F265", 8193);
}

// What SUPER-CHIP and XO-CHIP add to memory, fonts and decoding; each
// program leaves its answer in VA. CHIP-8 (modern) passes over the words it
// does not know, and skips two bytes where XO-CHIP skips F000 NNNN's four.
TEST(GrownMachines, BigFontFlagRegistersLongLoadsAndRanges) {
    const GrownCase cases[] = {
        {"FX30 digit 0's first row",
         {0xA300, 0x6000, 0xF030, 0xF065, 0x8A00},
         {0x80, 0x3C, 0x3C, 0xFF}},
        {"FX30 digit A, where it would be",
         {0xA300, 0x600A, 0xF030, 0xF065, 0x8A00},
         {0x80, 0, 0, 0x7E}},
        {"FF75 and FF85 reach V7, or VF",
         {0x6807, 0x6705, 0xFF75, 0x6800, 0x6700, 0xFF85, 0x8A84, 0x8A74},
         {0, 5, 5, 12}},
        {"a skip over F000 NNNN", {0x6A05, 0x3000, 0xF000, 0x6A07}, {7, 7, 7, 5}},
        {"F000 NNNN reads above 0xFFF", {0xF000, 0x1000, 0xF065, 0x8A00}, {0, 0, 0, 0x5A}},
        {"5XY2 writes V2 then V1",
         {0x6103, 0x6202, 0xA300, 0x5212, 0xF065, 0x8A00},
         {0x80, 0x80, 0x80, 2}},
        // Elsewhere 5123 compares V1 with V2 and skips the add.
        {"5XY3 loads V1 to V2, I kept",
         {0xA301, 0x5123, 0x8A24, 0xF065, 0x8A04},
         {0xFF, 0xFF, 0xFF, 0xFE}},
    };
    ExpectVaOnGrownMachines(cases);
}

} // namespace
} // namespace kestrel::testing
