// The Octo assembler: sources and the exact bytes they must give, worked out
// by hand from the language's encodings; bad sources and the exact error each
// must give; the line map, labels and annotations; and the bounds that keep a
// hostile source from running away.
#include "octo/octo.h"
#include "roms/rom_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace kestrel::testing {
namespace {

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char digits[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        out += digits;
    }
    return out;
}

// The ROM's bytes as hex, or the error line.
std::string assembled(const std::string& source) {
    const octo::Assembly result = octo::assemble(source, "t.8o");
    return result.error ? result.error->text() : hexOf(result.program->rom);
}

struct Case {
    const char* source;
    const char* expected; // hex bytes from 0x200, or the error line
};

const Case kPrograms[] = {
    // One-word statements, CHIP-8, SUPER-CHIP and XO-CHIP.
    {": main clear return ; hires lores scroll-right scroll-left exit audio",
     "00E000EE00EE00FF00FE00FB00FC00FDF002"},
    // Register statements; -= of a byte adds its negation.
    {": main v1 := 0x2A v1 += 3 v1 -= 1 v1 := v2 v1 |= v2 v1 &= v2 v1 ^= v2 v1 += v2 v1 -= v2 "
     "v1 >>= v2 v1 =- v2 v1 <<= v2 VA := random 0x0F v3 := key v3 := delay",
     "612A710371FF81208121812281238124812581268127812ECA0FF30AF307"},
    {": main delay := v4 buzzer := v4 pitch := v4 i := 0x123 i += v5 i := hex v6 i := bighex v6 "
     "bcd v7 save v8 load v8 saveflags vF loadflags vf save v3 - v0 load v1 - v2 jump0 0x300 "
     "jump 0x456 :call 0x789 sprite v1 v2 15 sprite v1 v2 0 scroll-down 4 scroll-up 2 plane 3",
     "F415F418F43AA123F51EF629F630F733F855F865FF75FF8553025123B30014562789D12FD12000C400D2F301"},
    // Data: bare numbers, :byte (a braced value keeps its low byte), :pointer.
    {": main 1 -1 -128 255 0x0A 0b101 0X20 -0x03 :byte 7 :byte { 11907 } :pointer 0x1234 "
     ":pointer { 0x12345 }",
     "01FF80FF0A0520FD0783123423 45"},
    // The entry jump stays unless main comes first; :org before main keeps it.
    {"clear : main", "120400E0"},
    {":org 0x202 : main v0 := 1", "12026001"},
    {":const N 12 :alias x v3 :macro m { } : main v0 := N i := N", "600CA00C"},
    // Forward references of every kind, patched when the label comes.
    {": main jump later i := later later :call later jump0 later i := long later :pointer later "
     ":unpack 0xA later :unpack long later : later",
     "1218A21822182218B218F000021802 1860A2611860026118"},
    {":alias unpack-hi v4 :alias unpack-lo v5 : main :unpack 0xA cucumber :org 0x582 : cucumber",
     "64A56582"},
    // Conditions after `then` skip when false.
    {": main if v1 == 5 then ; if v1 != 5 then ; if v1 == v2 then ; if v1 != v2 then ; "
     "if v1 key then ; if v1 -key then ;",
     "410500EE310500EE912000EE512000EEE1A100EEE19E00EE"},
    // The ordering comparisons go through vF.
    {": main if v1 < 7 then ; if v1 >= v2 then ; if v1 > v2 then ; if v1 <= 7 then ;",
     "6F078F174F0000EE8F208F173F0000EE8F208F154F0000EE6F078F153F0000EE"},
    {": main if v1 > v2 then v3 := 5", "8F208F154F006305"},
    // begin/else/end and loop/while/again, and the two interleaved.
    {": main if v1 < 7 begin v0 := 1 else v0 := 2 end", "6F078F173F00120C6001120E6002"},
    {": main if v1 == 5 begin v0 := 1 end", "310512066001"},
    {": main loop v0 += 1 while v0 != 9 v1 += 1 again", "70014009120A71011200"},
    {": main loop while v0 > v1 again", "8F108F053F00120A1200"},
    {": main loop if v0 key then again", "E0A11200"},
    {": main loop if v0 == 1 begin again end", "300112061200"},
    // Macros: nesting, arguments taken raw, CALLS, an unfinished statement.
    {":macro a1 { 0xFF 0xAA } :macro a0 { a1 a1 a1 } : main a0 a0", "FFAAFFAAFFAAFFAAFFAAFFAA"},
    {":macro m X { X CALLS } : main m 7 m 8", "07000801"},
    {":macro set R { R := } : main set v3 9", "6309"},
    {":macro two A B { A B } : main two return 5", "00EE05"},
    {":macro nybbles A B { :byte { B + A * 16 } } : main nybbles 15 9 nybbles 3 4 nybbles 11 14",
     "F934BE"},
    {": x : main :macro x { 1 } x", "01"},
    // :calc reads right to left; a unary operator takes all that follows.
    {":calc a { 2 * 3 + 5 } :calc b { ( 2 * 3 ) + 5 } :calc c { 1 - 2 - 3 } :calc d { - 3 + 5 } "
     ": main :byte a :byte b :byte c :byte d",
     "100B02F8"},
    {": main :byte { 1 << 4 } :byte { -1 >> 1 } :byte { 7 % 3 } :byte { 2 pow 3 } "
     ":byte { 3 min 4 } :byte { 3 max 4 } :byte { ~ 0 } :byte { ! 0 } :byte { 3 < 4 } "
     ":byte { 3 == 4 } :byte { floor 0.5 * 5 } :byte { abs - 3 } :byte { strlen \"hello\" } "
     ":byte { @ 0x200 } :byte { HERE } :byte { 6 ^ 3 } :byte { 6 | 3 } :byte { sqrt 16 } "
     ":byte { sign -5 }",
     "10FF01080304FF0101000203 05100E050704FF"},
    {":calc x { 5 * 64 / 6 } :calc f { 6.67 } : main v0 := x v1 := f", "60356106"},
    {":calc a { 1 } :calc a { a + 2 } :calc D { 0x16 } : main :byte a D", "032016"},
    {":alias R { ve - 1 } : main R := 1", "6D01"},
    // Stringmodes: several alphabets, Unicode characters, CHAR as a data byte.
    {":stringmode text8 \"ABCDEFGHIJKLMNOPQRSTUVWXYZ !\" { :byte { 8 * VALUE } } : main "
     "text8 \"GAME OVER!\"",
     "30006020D070A82088D8"},
    {":stringmode s \"ab\" { :byte VALUE } :stringmode s \"bc\" { :byte { 0x10 + VALUE } } "
     ": main s \"abc\"",
     "000111"},
    {":stringmode u \"\xCE\xBBx\" { :byte { VALUE + INDEX * 16 } } : main u \"x\xCE\xBB\"", "0110"},
    {":stringmode c \"AB\" { CHAR } : main c \"BA\"", "4241"},
    // :org and :next; gaps are zero, the end is the highest byte written, and
    // bytes below 0x200 are scratch that only @ reads.
    {": main :org 0x204 v0 := 1 :org 0x202 :next t v1 := 2", "000061026001"},
    {": main v0 := 1 :org 0x300", "6001"},
    {": main :org 0 :byte 7 :org 0x200 :byte { @ 0 }", "07"},
    // Lexical rules: comments inside tokens, BOM and no-break space, V7,
    // string escapes, backslashes in names, annotations.
    {":alias v-key vd : main v-key := 0xd ;#0", "6D0D00EE"},
    {"\xEF\xBB\xBF: main\xC2\xA0"
     "clear V7 := 2",
     "00E06702"},
    {":macro b X { :byte { strlen X } } : main b \"a\\tb\\n\\\"\"", "05"},
    {": main jump CHAR_\\ : CHAR_\\", "1202"},
    {": main :breakpoint b :monitor v0 4 :proto x clear", "00E0"},
};

TEST(OctoAssembler, SourcesGiveTheirBytes) {
    for (const Case& c : kPrograms) {
        std::string expected = c.expected;
        std::erase(expected, ' ');
        EXPECT_EQ(assembled(c.source), expected) << c.source;
    }
}

const Case kErrors[] = {
    {"clear", "t.8o:1:1: error: the program has no entry point: expected a label 'main', "
              "found none"},
    {": main jump nowhere", "t.8o:1:13: error: undefined name 'nowhere'"},
    {"\n: main\n  jump\tnowhere\n", "t.8o:3:8: error: undefined name 'nowhere'"},
    {": main m :macro m { }", "t.8o:1:8: error: undefined name 'm'"},
    {": main : main", "t.8o:1:10: error: label 'main' is already defined at line 1:3"},
    {":const A 1 :const A 2 : main", "t.8o:1:19: error: constant 'A' is already defined"},
    {":const A B : main", "t.8o:1:10: error: undefined name 'B'"},
    {":const x 2 : main :calc x { 1 }",
     "t.8o:1:25: error: constant 'x' was made by :const and cannot be changed"},
    {": main :calc x { 2+3 }", "t.8o:1:18: error: undefined name '2+3'"},
    {": main jump later :calc x { later } : later",
     "t.8o:1:29: error: label 'later' is used in an expression before it is defined"},
    {": main :calc x { ( 1 + 2 }",
     "t.8o:1:16: error: expected ')', found the end of the expression"},
    {": main :calc x { 1 2 }", "t.8o:1:20: error: expected an operator, found '2'"},
    {": main :calc x { 1 + * 2 }", "t.8o:1:22: error: expected a value, found '*'"},
    {": main :assert \"too big\" { 0 }", "t.8o:1:8: error: assertion failed: too big"},
    {": main :alias x i",
     "t.8o:1:17: error: expected a register or { expression } for alias 'x', found 'i'"},
    {": main :alias x { 16 }",
     "t.8o:1:15: error: expected a register number (0 to 15) for alias 'x', found 16"},
    {": main sprite v1 foo 3", "t.8o:1:18: error: expected a register, found 'foo'"},
    {": main v0 ** 1", "t.8o:1:11: error: expected an operator after the register (:= += -= |= "
                       "&= ^= >>= <<= =-), found '**'"},
    {": main i -= v0", "t.8o:1:10: error: expected ':=' or '+=' after 'i', found '-='"},
    {": main if v0 then",
     "t.8o:1:14: error: expected a comparison (== != < > <= >= key -key), found 'then'"},
    {": main if v0 == 1 clear",
     "t.8o:1:19: error: expected 'then' or 'begin' after the condition, found 'clear'"},
    {": main else", "t.8o:1:8: error: 'else' without an open 'begin'"},
    {": main if v0 == 1 begin else else end",
     "t.8o:1:30: error: a second 'else' for the 'begin' at line 1:19"},
    {": main again", "t.8o:1:8: error: 'again' without an open 'loop'"},
    {": main while v0 == 1", "t.8o:1:8: error: 'while' outside a loop"},
    {": main loop", "t.8o:1:8: error: this 'loop' has no 'again': expected 'again', found end "
                    "of input"},
    {": main if v0 == 1 begin",
     "t.8o:1:19: error: this 'begin' has no 'end': expected 'end', found end of input"},
    {": main v0 := 256", "t.8o:1:14: error: expected a byte value (-128 to 255), found 256"},
    {": main sprite v0 v1 16", "t.8o:1:21: error: expected a nibble value (0 to 15), found 16"},
    {": main jump 0x1000", "t.8o:1:13: error: expected an address (0 to 0xFFF), found 4096"},
    {": main jump clear", "t.8o:1:13: error: expected an address, found 'clear'"},
    {":stringmode s \"ab\" { } : main s \"abc\"",
     "t.8o:1:33: error: character 99 (at index 2) is in no alphabet of stringmode 's'"},
    {": main :byte \"abc",
     "t.8o:1:14: error: unterminated string literal: expected a closing '\"', found end of input"},
    {": main :byte \"a\\qb\"", "t.8o:1:16: error: unknown escape '\\q' in a string literal; "
                               "expected one of \\t \\n \\r \\v \\0 \\\\ \\\""},
    {": main :macro m A {",
     "t.8o:1:8: error: expected '}' to close the macro body begun here, found end of input"},
    {":macro m A B { } : main m 1",
     "t.8o:1:25: error: macro 'm' expects 2 arguments, found end of input after 1"},
    {": main v0 :=", "t.8o:1:13: error: expected a register or a value, found end of input"},
    {": main :org 0xFFFF 1 2", "t.8o:1:22: error: the program does not fit: expected an "
                               "address below 0x10000, found 0x10000"},
    {": main v0 := 1 :org 0x200 v1 := 2",
     "t.8o:1:27: error: address 0x200 is written twice (first by line 1:8)"},
    // A definition that expands itself is stopped by the depth of its expansions.
    {":macro a { a } : main a",
     "t.8o:1:12: error: expansions nest more than 256 deep at 'a': does it expand itself?"},
    {":stringmode s \"a\" { s \"a\" } : main s \"a\"",
     "t.8o:1:21: error: expansions nest more than 256 deep at 's': does it expand itself?"},
};

TEST(OctoAssembler, BadSourcesGiveTheirError) {
    for (const Case& c : kErrors)
        EXPECT_EQ(assembled(c.source), c.expected) << c.source;
}

TEST(OctoAssembler, MapsBytesToLinesAndKeepsLabelsAndAnnotations) {
    const octo::Assembly result = octo::assemble(": other\n: main\n\tv0 := 1\n:next t\n\tv1 := 2\n"
                                                 ": data\n\t:byte 7\n:breakpoint stop\n"
                                                 ":monitor v0 3\n",
                                                 "t.8o");
    ASSERT_TRUE(result.program) << result.error->text();
    const octo::Program& p = *result.program;
    EXPECT_EQ(hexOf(p.rom), "6001610207");
    const std::vector<octo::SourceSpot> spots = {{3, 2}, {3, 2}, {5, 2}, {5, 2}, {7, 2}};
    EXPECT_EQ(p.spots, spots);
    std::string labels;
    for (const octo::Label& l : p.labels)
        labels +=
            l.name + "=" + std::to_string(l.address) + "@" + std::to_string(l.where.line) + " ";
    EXPECT_EQ(labels, "main=512@2 other=514@1 t=515@4 data=516@6 ");
    ASSERT_EQ(p.annotations.size(), 2u);
    EXPECT_EQ(p.annotations[0].kind, octo::Annotation::Kind::Breakpoint);
    EXPECT_EQ(p.annotations[0].name, "stop");
    EXPECT_EQ(p.annotations[1].kind, octo::Annotation::Kind::Monitor);
    EXPECT_EQ(p.annotations[1].name + " " + p.annotations[1].format, "v0 3");
    EXPECT_EQ(p.annotations[1].address, 0x205u);
    EXPECT_EQ(p.annotations[1].where, (octo::SourceSpot{9, 1}));
    // A kept entry jump belongs to the line of main.
    const octo::Assembly kept = octo::assemble("clear\n: main", "t.8o");
    EXPECT_EQ(kept.program->spots.front(), (octo::SourceSpot{2, 3}));
}

TEST(OctoAssembler, AssemblesTheDemoSource) {
    std::string source;
    for (const std::string& line : readLines(romPath("octo-demo.8o")))
        source += line + "\n";
    const octo::Assembly result = octo::assemble(source, "octo-demo.8o");
    ASSERT_TRUE(result.program) << result.error->text();
    const std::string rom = hexOf(result.program->rom);
    ASSERT_EQ(rom.size(), 2u * 0x51);
    EXPECT_EQ(rom.substr(0, 8), "00E0A250"); // main first: no entry jump
    EXPECT_EQ(rom.substr(2 * 0x0A, 12), "44401210"
                                        "1206");             // while t != WIDTH ... again
    EXPECT_EQ(rom.substr(2 * 0x2E, 16), "303C123662FF1238"); // if x == 60 begin ... else
    EXPECT_EQ(rom.substr(2 * 0x4A), "121C60F0F06080");       // again, the ball, the dot
}

// Wall-clock bounds, loose enough for a sanitizer build on a busy machine yet
// far below what a pass quadratic in the tokens would take. Run alone, with
// the `timing` label.
TEST(OctoLimits, LargeSourcesAndRunawayExpansionsEndInBoundedTime) {
    const auto seconds = [](const std::string& source, std::string* out) {
        const auto start = std::chrono::steady_clock::now();
        *out = assembled(source);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::string source = ": main\n";
    for (int k = 0; k < 170000; ++k)
        source += ":calc x { HERE + 1 }\n"; // a million tokens
    std::string out;
    EXPECT_LT(seconds(source, &out), 30.0);
    EXPECT_EQ(out, "");
    // Three megabytes of data bytes overflow the 64 KB address space.
    std::string bytes = ": main\n";
    for (int k = 0; k < 1000000; ++k)
        bytes += "0x01 ";
    EXPECT_LT(seconds(bytes, &out), 30.0);
    EXPECT_EQ(out, "t.8o:2:325121: error: the program does not fit: expected an address below "
                   "0x10000, found 0x10000");
    // Each macro doubles the one before: 2^40 tokens unless the total is capped.
    std::string doubling = ":macro m0 { :calc x { 1 } }\n";
    for (int k = 1; k <= 40; ++k)
        doubling += ":macro m" + std::to_string(k) + " { m" + std::to_string(k - 1) + " m" +
                    std::to_string(k - 1) + " }\n";
    doubling += ": main m40\n";
    EXPECT_LT(seconds(doubling, &out), 30.0);
    EXPECT_NE(out.find("error: expansions make more than 4000000 tokens"), std::string::npos)
        << out;
}

} // namespace
} // namespace kestrel::testing
