#include "debug/disassembler.h"
#include "machine/machine.h"
#include "support/silent_host.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace kestrel::testing {
namespace {

using enum debug::Flow;
using enum debug::InstructionSetId;

constexpr std::uint32_t At = 0x300;    // the word run; the following one is after it
constexpr std::int16_t Pushed = 0x468; // the one return address on the stack

// Kestrel's machine yields before each handler but DXYN's, and FX0A waits in
// idle yields for a key: key 1 goes down in the first.
struct KeyHost : SilentHost {
    Machine* machine = nullptr;
    int yields = 0, idleYields = 0;
    void yield() override { ++yields; }
    void idleYield() override { machine->State.KeyPressed = ++idleYields; }
};

// Every register equal to the word's low byte and every key down, then V[i] = i and no key, so
// that each skip goes both ways; each before a two-byte and a four-byte (XO-CHIP) instruction.
struct Picture {
    bool equal;
    std::uint16_t following;
};
constexpr Picture Pictures[] = {{true, 0x0000}, {true, 0xF000}, {false, 0x0000}, {false, 0xF000}};

struct Walk {
    debug::InstructionSetId set;
    MachineKind kind; // the two-page set runs on CHIP-8, which passes 0230 over
    const char* name;
    friend std::ostream& operator<<(std::ostream& out, const Walk& w) { return out << w.name; }
};
class EveryWord : public ::testing::TestWithParam<Walk> {};

TEST_P(EveryWord, GoesWhereTheTableSays) {
    const Walk& walk = GetParam();
    KeyHost host;
    Machine machine(host);
    host.machine = &machine;
    MachineState& s = machine.State;
    const bool standard = walk.kind.engine == Engine::Standard;
    ASSERT_TRUE(!standard || machine.OpenRomOn("words.ch8", {0x00, 0xE0}, walk.kind));
    machine.LoadDefaultKeyMap();
    std::map<const debug::InstructionInfo*, std::pair<bool, bool>> skips; // taken, not taken
    std::vector<std::uint16_t> wrong;
    for (const Picture& picture : Pictures) {
        machine.Form_Deactivate();
        for (int k = 1; picture.equal && k <= KeypadKeys; ++k)
            machine.Form_KeyDown(s.KeyMap[static_cast<std::size_t>(k)]);
        for (std::uint32_t word = 0; word <= 0xFFFF; ++word) {
            const auto low = static_cast<std::uint8_t>(word);
            s.Memory[At] = static_cast<std::uint8_t>(word >> 8);
            s.Memory[At + 1] = low;
            s.Memory[At + 2] = static_cast<std::uint8_t>(picture.following >> 8);
            for (std::uint8_t r = 0; r < 16; ++r)
                s.V[r] = picture.equal ? low : r;
            const auto v = s.V;
            s.IndexReg = 0x800; // loads and stores stay clear of the words
            s.ProgramCounter = At;
            s.StackPointer = 1;
            s.CallStack[0] = Pushed;
            s.KeyPressed = picture.equal ? low : 0;
            host.yields = host.idleYields = 0;
            const debug::Successors table = *debug::NextAddresses(walk.set, s.Memory, At);
            machine.Debug().ExecuteOne();
            const ProgramState status = machine.Debug().State();
            const debug::Flow flow = table.flow;
            std::uint32_t to = table.next;
            if (flow == Jump || flow == Call) to = *table.target;
            if (flow == Return) to = Pushed;
            if (flow == JumpOffset) // Kestrel's sum never reaches its memory's end
                to = (*table.target + v[walk.kind.quirks.jump ? word >> 8 & 0xF : 0]) %
                     s.Memory.size();
            const bool taken = flow == Skip && s.ProgramCounter == *table.target;
            if (flow == Skip) (taken ? skips[table.info].first : skips[table.info].second) = true;
            const int depth = flow == Call ? 2 : flow == Return ? 0 : 1;
            const bool agrees =
                s.ProgramCounter == (taken ? *table.target : to) && s.StackPointer == depth &&
                (flow != Call || s.CallStack[1] == static_cast<std::int16_t>(table.next)) &&
                (host.idleYields > 0 || status == ProgramState::WaitingForKey) == (flow == Wait) &&
                (standard && status == ProgramState::Ended) == (flow == Exit) &&
                (table.info != nullptr || (s.V == v && s.IndexReg == 0x800)) &&
                (standard || (host.yields > 0 || word >> 12 == 0xD) == (table.info != nullptr));
            if (!agrees) wrong.push_back(static_cast<std::uint16_t>(word));
            if (standard && status != ProgramState::Running) machine.Reset_Click(); // running again
        }
    }
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " words, first "
                               << debug::Disassemble(walk.set, wrong[0]);
    for (const debug::InstructionInfo& row : debug::Instructions(walk.set))
        EXPECT_TRUE(row.flow != Skip || skips[&row] == std::pair(true, true)) << row.format;
    EXPECT_TRUE(standard || machine.RunGeneration() == 0) << "a fault stopped the handlers";
}

INSTANTIATE_TEST_SUITE_P(Sets, EveryWord,
                         ::testing::Values(Walk{Kestrel, KestrelMachine, "Kestrel"},
                                           Walk{Chip8, ModernChip8Machine, "Chip8"},
                                           Walk{SuperChip, SuperChipModernMachine, "SuperChip"},
                                           Walk{XoChip, XoChipMachine, "XoChip"},
                                           Walk{Chip8TwoPage, TwoPageMachine, "TwoPage"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Disassembler, WritesOctoAsEachMachineRunsTheWord) {
    const std::tuple<debug::InstructionSetId, std::uint16_t, const char*> cases[] = {
        {Kestrel, 0x0AE0, "clear"},           {Kestrel, 0x5AB1, "if va != vb then"},
        {Kestrel, 0xE190, "if v1 -key then"}, {Kestrel, 0xF123, "i := hex v1"},
        {Kestrel, 0x812F, "0x81 0x2f"},       {Chip8, 0x0AE0, "0x0a 0xe0"},
        {Chip8, 0x2E5C, ":call 0xe5c"},       {Chip8, 0x3C0F, "if vc != 0x0f then"},
        {Chip8TwoPage, 0x0230, "clear"},      {SuperChip, 0x01C4, "0x01 0xc4"},
        {XoChip, 0xF601, "plane 2"},          {XoChip, 0x5E32, "save ve - v3"},
        {XoChip, 0x00DF, "scroll-up 15"},
    };
    for (const auto& [set, word, text] : cases)
        EXPECT_EQ(debug::Disassemble(set, word), text) << word;
    EXPECT_EQ(debug::Disassemble(XoChip, 0xF000, 0xBEEF), "i := long 0xbeef");
}

std::string Listing(debug::InstructionSetId set, const std::vector<std::uint8_t>& memory,
                    std::uint32_t from, std::uint32_t to) { // address, length, text > target
    std::string listing;
    for (const debug::DisassemblyLine& line : debug::DisassembleRange(set, memory, from, to))
        listing += std::to_string(line.address) + " " + std::to_string(line.bytes.size()) + " " +
                   line.text + (line.target ? " > " + std::to_string(*line.target) : "") + "\n";
    return listing;
}

TEST(Disassembler, ListsARangeWithLengthsAndTargets) {
    // The four-byte load at the end wraps round to address 0 for its second word.
    const std::vector<std::uint8_t> memory = {0x12, 0x34, 0x23, 0x00, 0x81, 0x28, 0xF0, 0x00};
    EXPECT_EQ(Listing(XoChip, memory, 2, 100),
              "2 2 :call 0x300 > 768\n4 2 0x81 0x28\n6 4 i := long 0x1234\n");
    EXPECT_EQ(Listing(Kestrel, std::vector<std::uint8_t>(8193, 0xFF), 8190, 9000),
              "8190 2 0xff 0xff\n8192 1 0xff\n"); // Kestrel fetches no word from its last byte
}

} // namespace
} // namespace kestrel::testing
