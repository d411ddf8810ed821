#include "romdb/rom_database.h"

#include "machine/machine.h"
#include "romdb/rom_machine.h"
#include "support/fake_host.h"

#include <gtest/gtest.h>
#include <map>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <ostream>

namespace kestrel::romdb {

// Failures name the fields rather than dump bytes.
void PrintTo(const RomChoice& c, std::ostream* os) {
    const auto quirks = [os](const std::vector<QuirkOverride>& list) {
        *os << "[";
        for (const auto& q : list)
            *os << q.quirk << "=" << q.value << " ";
        *os << "]";
    };
    *os << "{status " << static_cast<int>(c.status) << ", " << c.platform->name << ", overrides ";
    quirks(c.quirkOverrides);
    *os << ", tickrate " << (c.tickrate ? std::to_string(*c.tickrate) : "none") << ", title \""
        << c.title << "\", other \"" << c.otherPlatformName << "\", id \"" << c.platformId
        << "\", name \"" << c.platformName << "\", platform quirks ";
    quirks(c.platformQuirks);
    *os << ", palette [" << std::hex;
    for (const auto rgb : c.palette)
        *os << rgb << " ";
    *os << std::dec << "]}";
}

namespace {

using enum RomStatus;
// The machines the database's platforms run on, by the database's names.
const MachineKind* const OriginalChip8 = &CosmacVipMachine;
const MachineKind* const ModernChip8 = &ModernChip8Machine;
const MachineKind* const SuperChip = &SuperChipModernMachine;
const MachineKind* const XoChip = &XoChipMachine;

std::string Hex(const Sha1Digest& d) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out;
    for (const auto b : d) {
        out += Digits[b >> 4];
        out += Digits[b & 0xF];
    }
    return out;
}

Sha1Digest Digest(std::string_view hex) {
    const auto d = DigestFromHex(hex);
    EXPECT_TRUE(d.has_value()) << hex;
    return d.value_or(Sha1Digest{});
}

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A platform's seven quirks in QuirkFields' order, as "1010100".
std::vector<QuirkOverride> Quirks7(std::string_view bits) {
    std::vector<QuirkOverride> out;
    for (std::size_t k = 0; k < std::size(QuirkFields); ++k)
        out.push_back({QuirkFields[k].name, bits.at(k) == '1'});
    return out;
}

TEST(RomDatabase, Sha1MatchesTheStandardVectorsAcrossThePaddingBoundaries) {
    const std::string million(1'000'000, 'a');
    const struct {
        std::string_view message;
        std::string_view digest;
    } rows[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        // 56 bytes: the length no longer fits the last block, so padding takes two.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {million, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Hex(Sha1(Bytes(row.message))), row.digest) << row.message.substr(0, 60);
}

TEST(RomDatabase, DigestFromHexTakesOnlyFortyLowercaseHexDigits) {
    EXPECT_EQ(Hex(Digest("0123456789abcdef0123456789abcdef01234567")),
              "0123456789abcdef0123456789abcdef01234567");
    for (std::string_view bad :
         {"", "0123456789abcdef0123456789abcdef0123456",
          "0123456789abcdef0123456789abcdef012345678", "0123456789ABCDEF0123456789abcdef01234567",
          "0123456789abcdef0123456789abcdef0123456g"})
        EXPECT_FALSE(DigestFromHex(bad).has_value()) << bad;
}

// The copy compiled in, by hash: one row for each way a ROM is decided.
TEST(RomDatabase, VendoredRomsLandOnTheMachineAndSpeedTheirEntriesName) {
    const struct {
        std::string_view hash;
        RomChoice expected;
    } rows[] = {
        // 15 Puzzle: originalChip8, no tickrate of its own, so the VIP's 15.
        {"ea9af3c09b0d9e265fcd92bcc5d51a2939fdf27a",
         {Known,
          OriginalChip8,
          {},
          15,
          "15 Puzzle",
          "",
          "originalChip8",
          "Cosmac VIP CHIP-8",
          Quirks7("0000011")}},
        // Cave Explorer: modernChip8 with a tickrate of 20, and two colours.
        {"400dbd1aa2b79b9b8546bc615bfb735c1bd1d268",
         {Known,
          ModernChip8,
          {},
          20,
          "Cave Explorer",
          "",
          "modernChip8",
          "Modern CHIP-8",
          Quirks7("0000000"),
          {0x996600, 0xFFCC00}}},
        // Tetris lists chip48 first: the first platform Kestrel runs wins, with its quirks.
        {"5f518084744bf3cb8733f6e5454dfd1634320563",
         {Known,
          SuperChip,
          {},
          30,
          "Tetris",
          "",
          "chip48",
          "CHIP48 for the HP48",
          Quirks7("1100100")}},
        // Astro Dodge: empty platforms, a quirky originalChip8.
        {"ac621d9fcada302ba6965768229ef130630bc525",
         {Known,
          OriginalChip8,
          {{"memoryLeaveIUnchanged", true}},
          15,
          "Astro Dodge",
          "",
          "originalChip8",
          "Cosmac VIP CHIP-8",
          Quirks7("0000011")}},
        // Horsey Jump: only a quirky superchip, whose overrides undo two of its quirks.
        {"df5ced9c20d00bf7be7d3361d76f27d0d577abfb",
         {Known,
          SuperChip,
          {{"shift", false}, {"memoryLeaveIUnchanged", false}},
          20,
          "Horsey Jump",
          "",
          "superchip",
          "Superchip 1.1",
          Quirks7("1010100"),
          {0x006C00, 0xC3C3C3}}},
        // Blinky: superchip, whose data omits memoryIncrementByX; its default 30.
        {"5b733a60e7208f6aa0d15c99390ce4f670b2b886",
         {Known,
          SuperChip,
          {},
          30,
          "Blinky",
          "",
          "superchip",
          "Superchip 1.1",
          Quirks7("1010100")}},
        // Super NeatBoy: xochip plain and quirky; the quirky entry, and four colours.
        {"440c5fbe9f5f840e76c308738fb0d37772d66674",
         {Known,
          XoChip,
          {{"wrap", false}},
          1000,
          "Super NeatBoy",
          "",
          "xochip",
          "XO-CHIP",
          Quirks7("0001000"),
          {0x100010, 0xE6E6FA, 0xFF1493, 0xFF1493}}},
        // Alien-Inv8sion: XO-CHIP at 200,000, the fastest the data gives, not clamped.
        {"24ef21009527ee674de44ccb37e37081654883f9",
         {Known,
          XoChip,
          {},
          200'000,
          "Alien-Inv8sion",
          "",
          "xochip",
          "XO-CHIP",
          Quirks7("0001000")}},
        // Clock Program: hybridVIP only, so modern's own 12.
        {"016345d75eef34448840845a9590d41e6bfdf46a",
         {KnownForOtherPlatforms,
          ModernChip8,
          {},
          12,
          "Clock Program",
          "CHIP-8 with Cosmac VIP instructions"}},
        // Not in the database: modern, its default, nothing to show.
        {"0000000000000000000000000000000000000000", {Unknown, ModernChip8, {}, 12, "", ""}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RomDatabase::Vendored().Choose(Digest(row.hash)), row.expected) << row.hash;
}

TEST(RomDatabase, KestrelsOwnRomsAreUnknown) {
    for (const char* name : {"demo.ch8", "keypad.ch8"}) {
        std::ifstream in(std::string(KESTREL_SOURCE_DIR) + "/roms/" + name, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_EQ(RomDatabase::Vendored().Choose(Sha1(Bytes(bytes))),
                  (RomChoice{Unknown, ModernChip8, {}, 12, "", ""}))
            << name;
    }
}

TEST(RomDatabase, VendoredCopyHoldsEveryRomOnce) {
    const auto hashes = RomDatabase::Vendored().Hashes();
    EXPECT_EQ(hashes.size(), 543u); // third_party/chip-8-database/SOURCE.md's commit
    EXPECT_TRUE(std::adjacent_find(hashes.begin(), hashes.end(), std::greater_equal<>()) ==
                hashes.end());
}

// With SUPER-CHIP and XO-CHIP, all but the one hybridVIP ROM land on a machine
// Kestrel runs: 537 list one in platforms, and the 5 with empty platforms list
// one in quirkyPlatforms.
TEST(RomDatabase, EveryVendoredRomButOneIsForAMachineKestrelRuns) {
    const auto& db = RomDatabase::Vendored();
    int known = 0;
    int other = 0;
    std::map<const MachineKind*, int> onPlatform;
    for (const auto& hash : db.Hashes()) {
        const RomChoice c = db.Choose(hash);
        if (c.status == Known) {
            ++known;
            ++onPlatform[c.platform];
            EXPECT_EQ(c.platformQuirks.size(), std::size(QuirkFields)) << Hex(hash);
        } else {
            ++other;
            EXPECT_EQ(c.status, KnownForOtherPlatforms) << Hex(hash);
        }
    }
    std::cout << "Known " << known << ", KnownForOtherPlatforms " << other << "; on VIP "
              << onPlatform[OriginalChip8] << ", modern " << onPlatform[ModernChip8]
              << ", SUPER-CHIP " << onPlatform[SuperChip] << ", XO-CHIP " << onPlatform[XoChip]
              << "\n";
    EXPECT_EQ(known, 542);
    EXPECT_EQ(other, 1);
}

// Small tables of bad or odd data: the data is checked as it is read.
constexpr std::string_view H1 = "1111111111111111111111111111111111111111";
constexpr std::string_view H2 = "2222222222222222222222222222222222222222";

std::string Table(std::string_view platforms, std::string_view rom) {
    return std::string(R"({"platforms":)") + std::string(platforms) +
           R"(,"programs":[{"title":"Game","roms":{")" + std::string(H1) + R"(":)" +
           std::string(rom) + "}}]}";
}

constexpr std::string_view Standard =
    R"([{"id":"originalChip8","name":"VIP","defaultTickrate":15},)"
    R"({"id":"modernChip8","name":"Modern","defaultTickrate":12},)"
    R"({"id":"superchip","name":"Super","defaultTickrate":30}])";

// The two SUPER-CHIP releases differ in their quirks; 1.1's leave some out,
// or give them as no boolean.
constexpr std::string_view Supers =
    R"([{"id":"superchip1","name":"S1.0","defaultTickrate":30,"quirks":{"shift":true,)"
    R"("memoryIncrementByX":true,"memoryLeaveIUnchanged":false,"wrap":false,"jump":true,)"
    R"("vblank":false,"logic":false}},)"
    R"({"id":"superchip","name":"S1.1","defaultTickrate":31,"quirks":{"shift":true,)"
    R"("memoryLeaveIUnchanged":true,"wrap":"no","jump":true}}])";

TEST(RomDatabase, BadOrOddDataIsCheckedNotTrusted) {
    const struct {
        const char* what;
        std::string json;
        RomChoice expected;
    } rows[] = {
        {"tickrate as a string: the platform's default",
         Table(Standard, R"({"platforms":["modernChip8"],"tickrate":"500"})"),
         {Known, ModernChip8, {}, 12, "Game", "", "modernChip8", "Modern"}},
        {"tickrate as a fraction",
         Table(Standard, R"({"platforms":["originalChip8"],"tickrate":20.5})"),
         {Known, OriginalChip8, {}, 15, "Game", "", "originalChip8", "VIP"}},
        {"tickrate 0 clamps to 1",
         Table(Standard, R"({"platforms":["modernChip8"],"tickrate":0})"),
         {Known, ModernChip8, {}, 1, "Game", "", "modernChip8", "Modern"}},
        {"a negative tickrate clamps to 1",
         Table(Standard, R"({"platforms":["modernChip8"],"tickrate":-40})"),
         {Known, ModernChip8, {}, 1, "Game", "", "modernChip8", "Modern"}},
        {"a tickrate past the fastest the data gives clamps to 200,000",
         Table(Standard, R"({"platforms":["modernChip8"],"tickrate":200001})"),
         {Known, ModernChip8, {}, 200'000, "Game", "", "modernChip8", "Modern"}},
        {"and so does one past any int",
         Table(Standard, R"({"platforms":["modernChip8"],"tickrate":18446744073709551615})"),
         {Known, ModernChip8, {}, 200'000, "Game", "", "modernChip8", "Modern"}},
        {"a platform default of the wrong type: the machine's own rate",
         Table(R"([{"id":"modernChip8","name":"Modern","defaultTickrate":"12"}])",
               R"({"platforms":["modernChip8"]})"),
         {Known, ModernChip8, {}, std::nullopt, "Game", "", "modernChip8", "Modern"}},
        {"an unknown platform id is one Kestrel does not run; it is named by its id",
         Table(Standard, R"({"platforms":["chip99","hybridVIP"]})"),
         {KnownForOtherPlatforms, ModernChip8, {}, 12, "Game", "chip99"}},
        {"an unknown platform before a standard one is passed over",
         Table(Standard, R"({"platforms":["chip99","modernChip8"],"tickrate":7})"),
         {Known, ModernChip8, {}, 7, "Game", "", "modernChip8", "Modern"}},
        {"unknown quirks and quirks of the wrong type are dropped, in order otherwise",
         Table(Standard, R"({"platforms":[],"quirkyPlatforms":{"modernChip8":)"
                         R"({"turbo":true,"logic":true,"vblank":"yes","shift":false}}})"),
         {Known,
          ModernChip8,
          {{"logic", true}, {"shift", false}},
          12,
          "Game",
          "",
          "modernChip8",
          "Modern"}},
        {"quirky platforms keep their listed order",
         Table(Standard, R"({"platforms":[],"quirkyPlatforms":)"
                         R"({"modernChip8":{"jump":true},"originalChip8":{"wrap":true}}})"),
         {Known, ModernChip8, {{"jump", true}}, 12, "Game", "", "modernChip8", "Modern"}},
        {"a quirky standard platform wins over a plain one",
         Table(Standard, R"({"platforms":["originalChip8"],"quirkyPlatforms":)"
                         R"({"modernChip8":{"vblank":true}}})"),
         {Known, ModernChip8, {{"vblank", true}}, 12, "Game", "", "modernChip8", "Modern"}},
        {"a quirky superchip wins over a plain standard platform",
         Table(Standard, R"({"platforms":["originalChip8"],"quirkyPlatforms":)"
                         R"({"megachip8":{"wrap":true},"superchip":{"shift":false}}})"),
         {Known, SuperChip, {{"shift", false}}, 30, "Game", "", "superchip", "Super"}},
        {"a quirky platform Kestrel does not run leaves the plain list to decide",
         Table(Standard, R"({"platforms":["hybridVIP","xochip","originalChip8"],)"
                         R"("quirkyPlatforms":{"megachip8":{"shift":true}}})"),
         {Known, XoChip, {}, std::nullopt, "Game", "", "xochip", "xochip"}},
        {"superchip1 brings its own quirks",
         Table(Supers, R"({"platforms":["superchip1","superchip"]})"),
         {Known, SuperChip, {}, 30, "Game", "", "superchip1", "S1.0", Quirks7("1100100")}},
        {"superchip brings its own, those left out or not booleans false",
         Table(Supers, R"({"platforms":["superchip","superchip1"]})"),
         {Known, SuperChip, {}, 31, "Game", "", "superchip", "S1.1", Quirks7("1010100")}},
        {"a ROM with no platform at all is run on modern, its platform unnamed",
         Table(Standard, R"({"platforms":[]})"),
         {KnownForOtherPlatforms, ModernChip8, {}, 12, "Game", ""}},
        {"members of the wrong kind read as absent",
         Table(Standard, R"({"platforms":"modernChip8","quirkyPlatforms":[1]})"),
         {KnownForOtherPlatforms, ModernChip8, {}, 12, "Game", ""}},
        {"escapes in titles",
         R"({"platforms":[],"programs":[{"title":"Caf\u00e9 \"\ud83d\ude00\"","roms":{")" +
             std::string(H1) + R"(":{"platforms":["modernChip8"]}}}]})",
         {Known,
          ModernChip8,
          {},
          std::nullopt,
          "Caf\xC3\xA9 \"\xF0\x9F\x98\x80\"",
          "",
          "modernChip8",
          "modernChip8"}},
        {"a malformed hash key is skipped, the rest kept",
         R"({"platforms":[],"programs":[{"title":"Game","roms":{"XYZ":{"platforms":[]},")" +
             std::string(H1) + R"(":{"platforms":["originalChip8"]}}}]})",
         {Known, OriginalChip8, {}, std::nullopt, "Game", "", "originalChip8", "originalChip8"}},
        {"a hash listed twice keeps its first entry",
         R"({"platforms":[],"programs":[{"title":"First","roms":{")" + std::string(H1) +
             R"(":{"platforms":["originalChip8"]}}},{"title":"Second","roms":{")" +
             std::string(H1) + R"(":{"platforms":["modernChip8"]}}}]})",
         {Known, OriginalChip8, {}, std::nullopt, "First", "", "originalChip8", "originalChip8"}},
        {"text cut short is no database",
         Table(Standard, R"({"platforms":["modernChip8"]})").substr(0, 200),
         {Unknown, ModernChip8, {}, std::nullopt, "", ""}},
        {"trailing text is no database",
         Table(Standard, R"({"platforms":["modernChip8"]})") + "x",
         {Unknown, ModernChip8, {}, std::nullopt, "", ""}},
        {"a number past any double is refused with the text",
         Table(Standard,
               R"({"platforms":["modernChip8"],"tickrate":)" + std::string(400, '9') + "}"),
         {Unknown, ModernChip8, {}, std::nullopt, "", ""}},
        {"deep nesting is no database, and no overflow of the stack",
         std::string(100'000, '[') + std::string(100'000, ']'),
         {Unknown, ModernChip8, {}, std::nullopt, "", ""}},
    };
    for (const auto& row : rows) {
        const RomDatabase db(row.json);
        EXPECT_EQ(db.Choose(Digest(H1)), row.expected) << row.what;
        EXPECT_EQ(db.Choose(Digest(H2)).status, Unknown) << row.what;
    }
}

// colors.pixels, by position: one bad entry spoils the list, not the ROM.
TEST(RomDatabase, APaletteIsOneToFourColoursOrNone) {
    const struct {
        std::string_view pixels;
        std::vector<std::uint32_t> expected;
    } rows[] = {
        {R"(["#000000","#FF8000","#00ff00","#0000fF"])", {0x000000, 0xFF8000, 0x00FF00, 0x0000FF}},
        {R"(["#102030"])", {0x102030}},
        {R"([])", {}},
        {R"(["#000000","#12345"])", {}},
        {R"(["#000000","#1234567"])", {}},
        {R"(["#000000","#gg0000"])", {}},
        {R"(["#000000","0000000"])", {}},
        {R"(["#000000",16777215])", {}},
        {R"(["#000000","#000000","#000000","#000000","#000000"])", {}},
        {R"("#000000")", {}},
    };
    for (const auto& row : rows) {
        const std::string json = Table(Standard, R"({"platforms":["modernChip8"],"colors":)"
                                                 R"({"pixels":)" +
                                                     std::string(row.pixels) + "}}");
        const RomDatabase db(json);
        const RomChoice c = db.Choose(Digest(H1));
        EXPECT_EQ(c.status, Known) << row.pixels;
        EXPECT_EQ(c.palette, row.expected) << row.pixels;
    }
}

// The window applies a choice: the platform's machine, the overrides in
// order over its quirks, the tickrate as the machine's own rate (which a
// speed chosen in CPU › Speed overrides until "Machine's own" gives it back),
// and what the player sees.
TEST(RomDatabase, AChoiceBecomesTheMachineThatRunsTheRom) {
    using Q = std::array<bool, 7>; // in QuirkFields' order
    const auto quirksOf = [](const Quirks& q) {
        return Q{q.shift, q.memoryIncrementByX, q.memoryLeaveIUnchanged, q.wrap, q.jump, q.vblank,
                 q.logic};
    };
    const struct {
        RomChoice choice;
        Engine engine;
        Q quirks;
        int rate;
        std::string_view title;
        std::string_view warningHas; // empty: no warning
    } rows[] = {
        {{Unknown, ModernChip8, {}, 12, "", ""}, Engine::Standard, {}, 12, "", ""},
        {{Known, OriginalChip8, {}, 15, "15 Puzzle", ""},
         Engine::Standard,
         {0, 0, 0, 0, 0, 1, 1},
         15,
         "15 Puzzle",
         ""},
        // Later overrides of one quirk win; a tickrate replaces the default.
        {{Known,
          OriginalChip8,
          {{"logic", false}, {"shift", true}, {"logic", true}, {"vblank", false}},
          1000,
          "Quirky",
          ""},
         Engine::Standard,
         {1, 0, 0, 0, 0, 0, 1},
         1000,
         "Quirky",
         ""},
        {{Known,
          ModernChip8,
          {{"memoryLeaveIUnchanged", true}, {"jump", true}},
          std::nullopt,
          "No rate",
          ""},
         Engine::Standard,
         {0, 0, 1, 0, 1, 0, 0},
         12,
         "No rate",
         ""},
        {{KnownForOtherPlatforms, ModernChip8, {}, 15, "Clock", "CHIP-8 with VIP instructions"},
         Engine::Standard,
         {},
         15,
         "Clock",
         "\"Clock\" is written for CHIP-8 with VIP instructions, which Kestrel does not run. It "
         "runs on CHIP-8 (modern), and may not work."},
        // SUPER-CHIP and XO-CHIP ROMs run on their machines with their
        // platform's quirks, then the ROM's, and nothing to be told.
        {{Known,
          XoChip,
          {},
          200'000,
          "Alien-Inv8sion",
          "",
          "xochip",
          "XO-CHIP",
          Quirks7("0001000")},
         Engine::Standard,
         {0, 0, 0, 1, 0, 0, 0},
         200'000,
         "Alien-Inv8sion",
         ""},
        {{Known,
          SuperChip,
          {{"logic", true}},
          30,
          "Horsey",
          "",
          "superchip",
          "Superchip 1.1",
          Quirks7("1010100")},
         Engine::Standard,
         {1, 0, 1, 0, 1, 0, 1},
         30,
         "Horsey",
         ""},
        // Listed, but for no platform at all.
        {{KnownForOtherPlatforms, ModernChip8, {}, 12, "Bare", ""},
         Engine::Standard,
         {},
         12,
         "Bare",
         "\"Bare\" is listed in the CHIP-8 database with no machine it is written for."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.choice.title);
        const RomMachine rom = RomMachineFor(row.choice);
        EXPECT_EQ(rom.kind.engine, row.engine);
        EXPECT_EQ(quirksOf(rom.kind.quirks), row.quirks);
        EXPECT_EQ(rom.kind.romLimit, row.choice.platform == XoChip ? 65024u : 3584u);
        EXPECT_EQ(rom.programTitle, row.title);
        if (row.warningHas.empty())
            EXPECT_EQ(rom.warning, "");
        else
            EXPECT_NE(rom.warning.find(row.warningHas), std::string::npos) << rom.warning;

        testing::FakeHost host;
        Machine machine(host);
        machine.SelectMachine(rom.kind);
        EXPECT_EQ(machine.Rate(), row.rate);
        machine.SetSpeed(100);
        EXPECT_EQ(machine.Rate(), 100);
        machine.SetSpeed(std::nullopt);
        EXPECT_EQ(machine.Rate(), row.rate);
    }
}

// A ROM's colours replace Kestrel's in order; those it leaves out stay.
TEST(RomDatabase, AChoicesColoursBecomeTheMachinesPalette) {
    RomChoice choice{RomStatus::Known, XoChip};
    EXPECT_FALSE(RomMachineFor(choice).palette.has_value());
    choice.palette = {0x112233, 0x445566};
    const auto palette = RomMachineFor(choice).palette;
    ASSERT_TRUE(palette.has_value());
    EXPECT_EQ(*palette, (StandardInterpreter::Palette{0x112233, 0x445566, 0xFF00FF, 0xFFFFFF}));
}

} // namespace
} // namespace kestrel::romdb
