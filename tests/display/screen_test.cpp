#include "support/golden_screen.h"
#include "support/grown_cases.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrel::testing {
namespace {

TEST(Surface, ReadsMinusOneOutsideItsTwoHundredFiftySevenByHundredTwentyEight) {
    ScreenSurface surface;
    surface.FillRect(-10, -10, 300, 200, LitColour); // clipped, not refused
    EXPECT_EQ(surface.ReadPixel(0, 0), LitColour);
    EXPECT_EQ(surface.ReadPixel(256, 127), LitColour);
    EXPECT_EQ(surface.ReadPixel(257, 0), -1);
    EXPECT_EQ(surface.ReadPixel(0, 128), -1);
    EXPECT_EQ(surface.ReadPixel(-1, 5), -1);
    EXPECT_EQ(surface.ReadPixel(5, -1), -1);
    surface.ClearSurface();
    EXPECT_EQ(surface.ReadPixel(256, 127), DarkColour);
}

TEST(Surface, FillRectIncludesBothCornersAndNothingMore) {
    ScreenSurface surface;
    surface.FillRect(10, 20, 13, 23, LitColour);
    for (int y = 18; y <= 25; ++y) {
        for (int x = 8; x <= 15; ++x) {
            const bool inside = x >= 10 && x <= 13 && y >= 20 && y <= 23;
            ASSERT_EQ(surface.ReadPixel(x, y), inside ? LitColour : DarkColour) << x << "," << y;
        }
    }
    surface.FillRect(12, 22, 12, 22, DarkColour); // one pixel
    EXPECT_EQ(surface.ReadPixel(12, 22), DarkColour);
    EXPECT_EQ(surface.ReadPixel(13, 22), LitColour);
    surface.FillRect(40, 40, 30, 30, LitColour); // x2 < x1: no pixel has x1 <= x <= x2
    EXPECT_EQ(surface.ReadPixel(35, 35), DarkColour);
    EXPECT_EQ(surface.ReadPixel(30, 30), DarkColour);
}

class Sprites : public ::testing::Test {
  protected:
    RomRunner r;
    MachineState& s = r.machine.State;
    // Sprite data at 0x300; the program given runs once from 512, then spins.
    void sprite(std::initializer_list<std::uint8_t> rows) {
        std::uint32_t a = 0x300;
        for (std::uint8_t row : rows)
            s.Memory[a++] = row;
        s.IndexReg = 0x300;
    }
    // Every device pixel of the block of screen pixel (cx, cy), and its colour.
    bool blockIs(int cx, int cy, std::int32_t colour) {
        for (int y = 4 * cy; y < 4 * cy + 4; ++y)
            for (int x = 4 * cx + 1; x < 4 * cx + 5; ++x)
                if (r.machine.Surface().ReadPixel(x, y) != colour) return false;
        return true;
    }
};

// Sprite rows 80 80 FF FF at 0x300. A standard machine wraps the start
// position and clips the rest, and reads its position once, setting VF last.
TEST(Machines, SpriteStartWrapClipAndFlag) {
    const struct {
        const char* name;
        std::vector<std::uint16_t> program;
        int lit[std::size(Machines)];
        int first[std::size(Machines)]; // the first lit pixel, row by row, or -1
    } cases[] = {
        {"start at 70, 34", {0xA300, 0x6046, 0x6122, 0xD011}, {0, 1, 1}, {-1, 134, 134}},
        {"FF at x = 60", {0xA302, 0x603C, 0x6100, 0xD011}, {4, 4, 4}, {60, 60, 60}},
        {"FF FF at y = 31", {0xA302, 0x6000, 0x611F, 0xD012}, {8, 8, 8}, {1984, 1984, 1984}},
        {"DF12 twice, VF = 0", {0x6F00, 0x6100, 0xA300, 0xDF12, 0xDF12}, {2, 0, 0}, {64, -1, -1}},
    };
    for (const auto& c : cases) {
        for (std::size_t m = 0; m < std::size(Machines); ++m) {
            RomRunner r(Machines[m].kind);
            r.load({0x8080, 0xFFFF}, 0x300);
            r.execute(c.program);
            const std::string screen = [&] {
                std::string all;
                for (const std::string& row : r.screen())
                    all += row;
                return all;
            }();
            const auto first = screen.find('#');
            EXPECT_EQ(std::count(screen.begin(), screen.end(), '#'), c.lit[m])
                << c.name << " on " << Machines[m].name;
            EXPECT_EQ(first == std::string::npos ? -1 : static_cast<int>(first), c.first[m])
                << c.name << " on " << Machines[m].name;
        }
    }
}

// The screen rules SUPER-CHIP and XO-CHIP add, and where SUPER-CHIP 1.1 did
// as the calculator did. Each program leaves its answer in VA, mostly the
// flag of a last sprite, drawn at (V0, V1), that shows whether a pixel is lit.
// CHIP-8 (modern) passes over the words it does not know.
TEST(GrownMachines, ScreenModesScrollsBigSpritesFlagsAndPlanes) {
    const GrownCase cases[] = {
        {"00FF then 00FE keeps the picture",
         {0xA300, 0x6000, 0xD011, 0x00FF, 0x00FE, 0xD011, 0x8AF0},
         {1, 1, 0, 0}},
        {"00FB in 64 x 32, a pixel at x 2",
         {0xA300, 0x6000, 0xD011, 0x00FB, 0x6002, 0xD011, 0x8AF0},
         {0, 1, 0, 0}},
        {"00FB in 64 x 32, a pixel at x 4",
         {0xA300, 0x6000, 0xD011, 0x00FB, 0x6004, 0xD011, 0x8AF0},
         {0, 0, 1, 1}},
        {"00FC in 128 x 64 moves 4",
         {0x00FF, 0xA300, 0x6008, 0xD011, 0x00FC, 0x6004, 0xD011, 0x8AF0},
         {0, 1, 1, 1}},
        {"00C2 then a pixel 2 lower",
         {0xA300, 0x6000, 0xD011, 0x00C2, 0x6102, 0xD011, 0x8AF0},
         {0, 0, 1, 1}},
        {"DXY0 in 64 x 32, a pixel at x 8",
         {0xA310, 0x6000, 0xD000, 0xA300, 0x6008, 0xD011, 0x8AF0},
         {0, 0, 1, 1}},
        {"DXY0 in 64 x 32, a pixel at row 15",
         {0xA310, 0x6000, 0xD000, 0xA300, 0x610F, 0xD011, 0x8AF0},
         {0, 1, 1, 1}},
        {"two rows at y 63 in 128 x 64",
         {0x00FF, 0xA301, 0x6000, 0x613F, 0xD012, 0x8AF0},
         {0, 1, 0, 0}},
        {"three rows twice in 128 x 64",
         {0x00FF, 0xA300, 0x6000, 0xD003, 0xD003, 0x8AF0},
         {1, 3, 1, 1}},
        {"a sprite wraps at the right edge",
         {0xA301, 0x603C, 0xD011, 0xA300, 0x6000, 0xD011, 0x8AF0},
         {0, 0, 0, 1}},
        {"plane 2, then plane 1",
         {0xF201, 0xA300, 0x6000, 0xD011, 0xF101, 0xD011, 0x8AF0},
         {1, 1, 1, 0}},
        {"00D1 scrolls up",
         {0xA300, 0x6000, 0x6101, 0xD011, 0x00D1, 0x6100, 0xD011, 0x8AF0},
         {0, 0, 0, 1}},
        {"00E0 clears plane 1 alone",
         {0xF301, 0xA300, 0x6000, 0xD011, 0xF101, 0x00E0, 0xF201, 0xD011, 0x8AF0},
         {0, 0, 0, 1}},
        {"00FE clears every plane",
         {0xF301, 0xA300, 0x6000, 0xD011, 0xF101, 0x00FE, 0xF201, 0xD011, 0x8AF0},
         {1, 1, 0, 0}},
        {"00D0 scrolls nothing", {0xF301, 0xA300, 0xD011, 0x00D0, 0xD011, 0x8AF0}, {1, 1, 1, 1}},
        {"a 64 x 32 pixel over half a kept block",
         {0x00FF, 0xA300, 0x6001, 0x6100, 0xD011, 0x00FE, 0x6000, 0xD011, 0x8AF0},
         {0, 1, 0, 0}},
    };
    ExpectVaOnGrownMachines(cases);
}

TEST_F(Sprites, OneBitPaintsItsFourByFourBlockThenErasesItWithACollision) {
    sprite({0x80});
    s.V[0] = 0;
    r.execute({0xD001});
    EXPECT_TRUE(blockIs(0, 0, LitColour));
    EXPECT_EQ(r.machine.Surface().ReadPixel(0, 0), DarkColour); // column 0 is never painted
    EXPECT_EQ(r.machine.Surface().ReadPixel(5, 0), DarkColour);
    EXPECT_EQ(r.machine.Surface().ReadPixel(1, 4), DarkColour);
    EXPECT_EQ(s.V[15], 0);

    r.execute({0xD001, 0xD001});
    EXPECT_TRUE(blockIs(0, 0, DarkColour));
    EXPECT_EQ(s.V[15], 1);
}

TEST_F(Sprites, DigitZeroAtTenFiveHasItsFirstBlockAtDevice45And20) {
    s.V[0] = 0;
    s.V[1] = 10;
    s.V[2] = 5;
    r.execute({0xF029, 0xD125});
    // Row 0 is .##., so the first block painted is screen pixel (11, 5).
    EXPECT_EQ(r.machine.Surface().ReadPixel(41, 20), DarkColour);
    EXPECT_EQ(r.machine.Surface().ReadPixel(45, 20), LitColour);
    EXPECT_EQ(r.machine.Surface().ReadPixel(44, 20), DarkColour);
    EXPECT_TRUE(r.lit(11, 5) && r.lit(12, 5) && !r.lit(10, 5) && !r.lit(13, 5));
    EXPECT_TRUE(r.lit(10, 6) && r.lit(13, 6) && !r.lit(11, 6));
    EXPECT_EQ(s.V[15], 0);
    r.execute({0xF029, 0xD125, 0xD125});
    for (const std::string& row : r.screen())
        EXPECT_EQ(row.find('#'), std::string::npos);
    EXPECT_EQ(s.V[15], 1);
}

// Only the top-left device pixel of a block tells whether it is lit; any
// colour but LitColour there reads as dark.
TEST_F(Sprites, CollisionIsReadFromTheBlocksTopLeftPixelOnly) {
    sprite({0xE0});
    s.V[0] = 0;
    r.host.at(1, [&] { // the opening yield of 6100, before the sprite
        r.machine.Debug().KestrelSurface().FillRect(1, 0, 1, 0,
                                                    LitColour); // (0,0): top-left pixel only
        r.machine.Debug().KestrelSurface().FillRect(6, 0, 8, 3,
                                                    LitColour); // (1,0): all but its top-left
        r.machine.Debug().KestrelSurface().FillRect(9, 0, 9, 0, 0xFF0000); // (2,0): red
    });
    r.load({0x6100, 0xD001, 0x1204});
    r.resetAndRunPasses(3);
    EXPECT_EQ(s.V[15], 1);
    EXPECT_TRUE(blockIs(0, 0, DarkColour));
    EXPECT_TRUE(blockIs(1, 0, LitColour));
    EXPECT_TRUE(blockIs(2, 0, LitColour));
}

TEST_F(Sprites, ABlockLitOnlyAwayFromItsCornerDoesNotCollide) {
    sprite({0x80});
    s.V[0] = 0;
    r.host.at(1, [&] { r.machine.Debug().KestrelSurface().FillRect(2, 0, 4, 3, LitColour); });
    r.load({0x6100, 0xD001, 0x1204});
    r.resetAndRunPasses(3);
    EXPECT_EQ(s.V[15], 0);
    EXPECT_TRUE(blockIs(0, 0, LitColour));
}

TEST_F(Sprites, ZeroRowsTouchNothingAndClearAnEarlierFlag) {
    sprite({0x00, 0x00, 0x00});
    s.V[15] = 1;
    const int changes = r.host.surfaceChanges;
    r.execute({0xD003});
    EXPECT_EQ(s.V[15], 0);
    EXPECT_EQ(r.host.surfaceChanges, changes + 1); // the reset's clear, no draw
}

TEST_F(Sprites, AZeroBitLeavesThePixelUnderIt) {
    sprite({0xFF, 0x0F});
    s.V[1] = 3;
    s.V[2] = 7;
    r.execute({0xD121, 0xA301, 0xD121});
    EXPECT_EQ(r.screen()[7].substr(3, 8), "####....");
    EXPECT_EQ(s.V[15], 1);
}

TEST_F(Sprites, TheFlagStaysSetOnceABlockCollides) {
    sprite({0x80, 0x7F});
    s.V[1] = 0;
    r.execute({0xD111, 0xD112}); // second sprite: row 0 collides, row 1 lands on dark
    EXPECT_EQ(s.V[15], 1);
    EXPECT_EQ(r.screen()[1].substr(0, 8), ".#######");
}

TEST_F(Sprites, NothingWrapsAtTheRightOrBottomEdge) {
    sprite({0xFF, 0xFF, 0xFF, 0xFF});
    s.V[1] = 60;
    s.V[2] = 0;
    s.V[3] = 10;
    s.V[4] = 30;
    s.V[5] = 63;
    r.execute({0xD121, 0xD344, 0xD541});
    EXPECT_TRUE(MatchesGoldenScreen(r.screen(), "no_wrap"));
    EXPECT_EQ(s.V[15], 0);
    // The last column of the surface belongs to screen column 63 and is read back.
    EXPECT_EQ(r.machine.Surface().ReadPixel(256, 4 * 30), LitColour);
}

TEST_F(Sprites, ASpriteWhollyBeyondTheSurfaceDrawsNothingAndNeverCollides) {
    sprite({0xFF, 0xFF});
    s.V[1] = 255;
    s.V[2] = 64;
    s.V[3] = 32;
    s.V[0] = 0;
    for (std::uint16_t word : {0xD102, 0xD202, 0xD032, 0xD232}) {
        r.execute({word});
        for (const std::string& row : r.screen())
            EXPECT_EQ(row.find('#'), std::string::npos) << std::hex << word;
        r.execute({word, word});
        EXPECT_EQ(s.V[15], 0) << std::hex << word;
    }
}

// VF is cleared before the coordinates are read, and they are read again
// for every row, so a collision moves the later rows with X or Y = F.
TEST_F(Sprites, XEqualToFShiftsLaterRowsOnceRowZeroCollides) {
    sprite({0x80, 0x80, 0x80});
    s.V[15] = 1;
    s.V[1] = 0;
    r.execute({0xD111, 0x6F01, 0xDF13}); // (0,0) lit, then VF = 1 before the DF13
    EXPECT_EQ(r.screen()[0].substr(0, 3), "...");
    EXPECT_EQ(r.screen()[1].substr(0, 3), ".#.");
    EXPECT_EQ(r.screen()[2].substr(0, 3), ".#.");
    EXPECT_EQ(s.V[15], 1);
}

TEST_F(Sprites, YEqualToFMovesLaterRowsDown) {
    sprite({0x80, 0x40});
    s.V[15] = 1;
    s.V[1] = 0;
    r.execute({0xD111, 0xD1F2});
    // Row 0 at (0,0) collides and erases; row 1 then lands at y = 1 + 1.
    EXPECT_FALSE(r.lit(0, 0));
    EXPECT_TRUE(r.lit(1, 2));
    EXPECT_FALSE(r.lit(1, 1));
    EXPECT_EQ(s.V[15], 1);
}

TEST_F(Sprites, FifteenRowsAreReadFromIToIPlusFourteenAndZeroRowsDrawNothing) {
    std::initializer_list<std::uint8_t> rows = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01,
                                                0x03, 0x05, 0x09, 0x11, 0x21, 0x41, 0x81, 0xFF};
    sprite(rows);
    s.V[1] = 0;
    s.V[15] = 1;
    r.execute({0xD110});
    EXPECT_EQ(s.V[15], 0);
    for (const std::string& row : r.screen())
        EXPECT_EQ(row.find('#'), std::string::npos);
    r.execute({0xD11F});
    EXPECT_TRUE(MatchesGoldenScreen(r.screen(), "fifteen_rows"));
}

TEST_F(Sprites, TheFontShowsEverySixteenDigits) {
    // V0 counts the digits, V1 and V2 place them: 0..7 on row 1, 8..F on row 8.
    r.load({0x6000, 0x6100, 0x6201, 0xF029, 0xD125, 0x7105, 0x7001, 0x3008, 0x1206, //
            0x6100, 0x6208, 0xF029, 0xD125, 0x7105, 0x7001, 0x3010, 0x1216, 0x1222});
    r.resetAndRunPasses(200);
    EXPECT_EQ(s.V[0], 16);
    EXPECT_TRUE(MatchesGoldenScreen(r.screen(), "font"));

    // A standard machine's font, the common CHIP-8 one, from 0x050.
    RomRunner standard(ModernChip8Machine);
    standard.load({0x6000, 0x6100, 0x6201, 0xF029, 0xD125, 0x7105, 0x7001, 0x3008, 0x1206, //
                   0x6100, 0x6208, 0xF029, 0xD125, 0x7105, 0x7001, 0x3010, 0x1216, 0x1222});
    standard.run(200);
    EXPECT_EQ(standard.state().V[0], 16);
    EXPECT_TRUE(MatchesGoldenScreen(standard.screen(), "chip8_font"));
}

TEST_F(Sprites, ClearScreenDarkensEveryPixelAndKeepsTheFlag) {
    sprite({0xFF});
    s.V[1] = 2;
    r.execute({0xD111, 0x6F07, 0x00E0});
    for (int y = 0; y < ScreenSurface::Height; ++y)
        for (int x = 0; x < ScreenSurface::Width; ++x)
            ASSERT_EQ(r.machine.Surface().ReadPixel(x, y), DarkColour);
    EXPECT_EQ(s.V[15], 7);
}

TEST_F(Sprites, ARowAbove8192StopsTheRunAfterTheRowsBeforeIt) {
    s.V[1] = 0;
    s.Memory[8190] = 0x80;
    s.Memory[8191] = 0x80;
    s.Memory[8192] = 0x80;
    // I = 4095 + 16 x 255 + 15 = 8190; the sprite then reads 8190, 8191, 8192, 8193.
    r.load({0xAFFF, 0x62FF, 0xF21E, 0xF21E, 0xF21E, 0xF21E, 0xF21E, 0xF21E,
            0xF21E, 0xF21E, 0xF21E, 0xF21E, 0xF21E, 0xF21E, 0xF21E, 0xF21E,
            0xF21E, 0xF21E, 0x620F, 0xF21E, 0xD115, 0x122A});
    r.resetAndRunPasses(100);
    EXPECT_EQ(s.IndexReg, 8190u);
    EXPECT_TRUE(r.lit(0, 0) && r.lit(0, 1) && r.lit(0, 2));
    ASSERT_EQ(r.host.faults.size(), 1u);
    const std::string& fault = r.host.faults[0];
    EXPECT_NE(fault.find("D115"), std::string::npos) << fault;
    EXPECT_NE(fault.find(std::to_string(512 + 2 * 20)), std::string::npos) << fault;
    EXPECT_NE(fault.find("8193"), std::string::npos) << fault;
}

} // namespace
} // namespace kestrel::testing
