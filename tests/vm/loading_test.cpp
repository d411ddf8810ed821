#include "support/rom_runner.h"
#include "support/temp_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace kestrel::testing {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + 7 * i + 1);
    return bytes;
}

class Loading : public ::testing::Test {
  protected:
    RomRunner r;
    MachineState& s = r.machine.State;
    // Sentinels around the ROM area show that nothing else is written.
    void SetUp() override {
        for (std::size_t a = 0; a < MemorySize; ++a)
            s.Memory[a] = static_cast<std::uint8_t>(0xA5 ^ a);
    }
};

TEST_F(Loading, TwoBytesLandAt512And513AndNothingElseChanges) {
    const auto before = s.Memory;
    TempFile rom({0x12, 0x34});
    ASSERT_TRUE(r.machine.LoadRom(rom.path()));
    EXPECT_EQ(s.Memory[512], 0x12);
    EXPECT_EQ(s.Memory[513], 0x34);
    for (std::size_t a = 0; a < MemorySize; ++a) {
        if (a != 512 && a != 513) {
            ASSERT_EQ(s.Memory[a], before[a]) << "address " << a;
        }
    }
    // Loading alone starts nothing and touches no other field.
    EXPECT_EQ(s.ProgramCounter, 0u);
    EXPECT_EQ(r.host.runRequests, 0);
    EXPECT_TRUE(r.host.loadErrors.empty());
}

TEST_F(Loading, ShorterRomLeavesTheTailOfTheLongerOne) {
    const auto first = Pattern(300, 1);
    const auto second = Pattern(100, 90);
    TempFile a(first), b(second);
    ASSERT_TRUE(r.machine.LoadRom(a.path()));
    ASSERT_TRUE(r.machine.LoadRom(b.path()));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), s.Memory.begin() + 512));
    EXPECT_TRUE(std::equal(first.begin() + 100, first.end(), s.Memory.begin() + 612));
    EXPECT_EQ(s.Memory[812], static_cast<std::uint8_t>(0xA5 ^ 812));
}

TEST_F(Loading, A7681ByteFileFillsMemoryTo8192Exactly) {
    const auto bytes = Pattern(MaxRomSize, 3);
    ASSERT_EQ(bytes.size(), 7681u);
    TempFile rom(bytes);
    ASSERT_TRUE(r.machine.LoadRom(rom.path()));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), s.Memory.begin() + 512));
    EXPECT_EQ(s.Memory[8192], bytes.back());
    EXPECT_EQ(s.Memory[511], static_cast<std::uint8_t>(0xA5 ^ 511));
}

TEST_F(Loading, A7682ByteFileIsRefusedWithMemoryUntouched) {
    const auto before = s.Memory;
    TempFile rom(Pattern(7682, 5));
    EXPECT_FALSE(r.machine.LoadRom(rom.path()));
    EXPECT_EQ(s.Memory, before);
    ASSERT_EQ(r.host.loadErrors.size(), 1u);
    const std::string& message = r.host.loadErrors[0];
    EXPECT_NE(message.find(rom.path()), std::string::npos) << message;
    EXPECT_NE(message.find("7682"), std::string::npos) << message;
    EXPECT_NE(message.find("7681"), std::string::npos) << message;
}

TEST_F(Loading, AHugeFileIsRefusedWithItsSize) {
    TempFile rom(Pattern(100000, 9));
    const auto before = s.Memory;
    EXPECT_FALSE(r.machine.LoadRom(rom.path()));
    EXPECT_EQ(s.Memory, before);
    ASSERT_EQ(r.host.loadErrors.size(), 1u);
    EXPECT_NE(r.host.loadErrors[0].find("100000"), std::string::npos) << r.host.loadErrors[0];
}

TEST_F(Loading, ADirectoryIsRefused) {
    const auto before = s.Memory;
    const std::string folder = std::filesystem::temp_directory_path().string();
    EXPECT_FALSE(r.machine.LoadRom(folder));
    EXPECT_EQ(s.Memory, before);
    ASSERT_EQ(r.host.loadErrors.size(), 1u);
    EXPECT_NE(r.host.loadErrors[0].find(folder), std::string::npos);
}

// Open ROM: a loaded file is followed by a reset; an empty file loads nothing
// and still resets; a refused file resets nothing, so the old run goes on.
TEST_F(Loading, OpenRomWithAnEmptyFileResetsOverWhatMemoryHolds) {
    r.load({0x6107, 0x1202});
    TempFile rom({});
    r.stopAt(r.host.yields + 1000);
    r.machine.OpenRom(rom.path());
    EXPECT_EQ(r.host.runRequests, 1);
    r.machine.RunDriver();
    EXPECT_TRUE(r.host.loadErrors.empty());
    EXPECT_EQ(s.V[1], 7);
    EXPECT_EQ(s.ProgramCounter, 0x202u);
}

TEST_F(Loading, OpenRomOfAMissingFileIsRefusedAndNoResetFollows) {
    const std::string missing = TempFile::uniquePath();
    s.ProgramCounter = 0x345;
    r.machine.Debug().KestrelSurface().FillRect(1, 0, 4, 3, LitColour);
    const auto before = s.Memory;
    r.machine.OpenRom(missing);
    EXPECT_EQ(r.host.runRequests, 0);
    EXPECT_EQ(s.ProgramCounter, 0x345u);
    EXPECT_EQ(s.Memory, before);
    EXPECT_TRUE(r.lit(0, 0));
    ASSERT_EQ(r.host.loadErrors.size(), 1u);
    EXPECT_NE(r.host.loadErrors[0].find(missing), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(missing)); // reading never creates a file
}

TEST_F(Loading, ARefusedOpenInsideARunLeavesThatRunGoing) {
    // V1 is zeroed once, then counts up; a restart would zero it again.
    r.load({0x6100, 0x7101, 0x1202});
    const std::string missing = TempFile::uniquePath();
    r.host.at(300, [&] { r.machine.OpenRom(missing); });
    r.resetAndRunPasses(20);
    EXPECT_EQ(r.host.loadErrors.size(), 1u);
    EXPECT_EQ(s.V[1], 10); // passes 2, 4, ..., 20 add
}

TEST_F(Loading, OpenRomInsideARunStartsTheNewProgram) {
    r.load({0x6111, 0x1202});
    TempFile rom({0x62, 0x22, 0x12, 0x02});
    r.host.at(500, [&] { r.machine.OpenRom(rom.path()); });
    r.resetAndRun(2000);
    EXPECT_EQ(s.V[2], 0x22);
    EXPECT_EQ(s.Memory[512], 0x62);
    EXPECT_EQ(s.ProgramCounter, 0x202u);
}

// A ROM read as Kestrel's machine reads it, then opened on a standard
// machine: too long for that one, it is refused and nothing changes.
TEST_F(Loading, ARomReadForOneMachineIsOpenedOnAnotherOnlyIfItFits) {
    const auto fits = Pattern(3584, 5);
    const auto tooLong = Pattern(3585, 6);
    TempFile small(fits), large(tooLong);
    auto read = r.machine.ReadRom(large.path(), KestrelMachine);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, tooLong);
    const auto before = s.Memory;
    EXPECT_FALSE(r.machine.OpenRomOn(large.path(), std::move(*read), ModernChip8Machine));
    ASSERT_EQ(r.host.loadErrors.size(), 1u);
    EXPECT_NE(r.host.loadErrors[0].find(
                  "it is 3585 bytes long, and a ROM for CHIP-8 (modern) may be at most 3584"),
              std::string::npos)
        << r.host.loadErrors[0];
    EXPECT_EQ(s.Memory, before);
    EXPECT_EQ(r.machine.Kind().engine, Engine::Kestrel);
    EXPECT_EQ(r.host.runRequests, 0);
    EXPECT_TRUE(r.machine.RomCopy().empty());

    EXPECT_FALSE(r.machine.ReadRom(large.path(), ModernChip8Machine).has_value());
    EXPECT_EQ(r.host.loadErrors.size(), 2u);
    EXPECT_TRUE(r.machine.RomCopy().empty());

    ASSERT_TRUE(r.machine.OpenRomOn(small.path(), *r.machine.ReadRom(small.path(), KestrelMachine),
                                    CosmacVipMachine));
    EXPECT_EQ(r.machine.Kind().rate, CosmacVipMachine.rate);
    EXPECT_EQ(r.machine.RomCopy(), fits);
    EXPECT_TRUE(std::equal(fits.begin(), fits.end(), s.Memory.begin() + ProgramStart));
    EXPECT_EQ(s.Memory[0x50], 0xF0);  // the standard font, written by the reset
    EXPECT_EQ(r.host.runRequests, 0); // the frame clock runs it
}

} // namespace
} // namespace kestrel::testing
