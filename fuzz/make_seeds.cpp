// Builds the fuzzer's seed corpus: every ROM file given becomes an input, and
// so does every program that a test source writes as a brace list of 16-bit
// instruction words ({0x6A0A, 0x6B05, ...}). A few hand-made inputs reach the
// machine's limits and its events from the start.
//
// Usage: kestrel_fuzz_seeds <output folder> <file.ch8 | test.cpp>...

#include "fuzz_input.h"
#include "support/program_bytes.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using kestrel::fuzz::Event;
using kestrel::fuzz::EventKind;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using kestrel::testing::WordsToBytes;

// Brace lists whose every element is a 0xHHHH literal, at least two of them.
std::vector<Bytes> ProgramsInSource(const std::string& text) {
    std::vector<Bytes> programs;
    std::size_t pos = 0;
    while ((pos = text.find('{', pos)) != std::string::npos) {
        const std::size_t end = text.find('}', pos);
        if (end == std::string::npos) break;
        const std::string body = text.substr(pos + 1, end - pos - 1);
        pos += 1;
        std::vector<std::uint16_t> program;
        bool ok = true;
        std::size_t i = 0;
        while (ok && i < body.size()) {
            while (i < body.size() &&
                   (std::isspace(static_cast<unsigned char>(body[i])) || body[i] == ','))
                ++i;
            if (i >= body.size()) break;
            if (body.compare(i, 2, "0x") != 0 && body.compare(i, 2, "0X") != 0) {
                ok = false;
                break;
            }
            i += 2;
            std::size_t digits = 0;
            unsigned value = 0;
            while (i < body.size() && std::isxdigit(static_cast<unsigned char>(body[i]))) {
                value = value * 16 +
                        static_cast<unsigned>(std::stoi(std::string(1, body[i]), nullptr, 16));
                ++i;
                ++digits;
            }
            if (digits != 4) ok = false;
            program.push_back(static_cast<std::uint16_t>(value));
        }
        if (ok && program.size() >= 2) programs.push_back(WordsToBytes(program));
    }
    return programs;
}

int g_written = 0;

void Write(const std::filesystem::path& dir, const Bytes& input) {
    char name[32];
    std::snprintf(name, sizeof name, "seed-%05d", g_written++);
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(input.data()),
              static_cast<std::streamsize>(input.size()));
}

// Keys, ticks, pause, a remap and a reset over the program: the events that
// the run serves at its yields.
std::vector<Event> Lively() {
    return {
        {150, EventKind::KeyDown, 101}, {400, EventKind::Tick, 0},     {300, EventKind::KeyUp, 0},
        {500, EventKind::Pause, 0},     {800, EventKind::Pause, 0},    {200, EventKind::Remap, 4},
        {300, EventKind::KeyDown, 81},  {100, EventKind::KeyUp, 0},    {900, EventKind::Reset, 0},
        {700, EventKind::OpenRom, 0},   {600, EventKind::KeyDown, 13}, {100, EventKind::Tick, 0}};
}

void WriteHandMade(const std::filesystem::path& dir) {
    using kestrel::fuzz::SeedFromRom;
    // Calls until the stack is full, and a return with none outstanding.
    Write(dir, SeedFromRom(WordsToBytes({0x2200})));
    Write(dir, SeedFromRom(WordsToBytes({0x00EE})));
    // Stores, loads, BCD and sprites that run past the end of memory.
    Write(dir, SeedFromRom(
                   WordsToBytes({0xAFFE, 0xF01E, 0xF01E, 0xFF55, 0xFF65, 0xF033, 0xD01F, 0x1200})));
    Write(dir, SeedFromRom(
                   WordsToBytes({0x60FF, 0xAFFF, 0xF01E, 0xF01E, 0xF01E, 0xF01E, 0xF01E, 0xF033})));
    // A jump beyond the last fetchable address.
    Write(dir, SeedFromRom(WordsToBytes({0x60FF, 0xBFFF, 0x1200})));
    // Waiting for a key, with keys and remaps served during the wait.
    Write(dir, SeedFromRom(WordsToBytes({0xF10A, 0xE19E, 0x1200, 0xF20A, 0xE2A1, 0x1200}), Lively(),
                           WordsToBytes({0xF30A})));
    // Drawing, timers and sound, with Open ROM of a missing file and a folder.
    Write(dir, SeedFromRom(
                   WordsToBytes({0x00E0, 0x6A3C, 0x6B1E, 0xF029, 0xDABF, 0x6105, 0xF115, 0xF118,
                                 0xF207, 0x32FF, 0x1208, 0xC3FF, 0x8344, 0x8F36, 0x8F0E, 0x120A}),
                   {{300, EventKind::OpenRom, 2},
                    {300, EventKind::OpenRom, 3},
                    {300, EventKind::OpenRom, 1},
                    {300, EventKind::Tick, 0},
                    {300, EventKind::Exit, 0},
                    {300, EventKind::Reset, 0}}));
    // The last addresses of memory and the stack's ends, reached at once from
    // the starting state: every block instruction with I just below 8192,
    // fetches at 8190 and 8191, and a call and a return at the stack's ends.
    using kestrel::fuzz::Start;
    for (std::uint16_t op : {0xFF55, 0xFF65, 0xF033, 0xD00F}) {
        for (std::uint32_t index : {8178u, 8185u, 8190u, 8192u})
            Write(dir, SeedFromRom(WordsToBytes({op, 0x1200}), {}, {}, Start{index, 512, 0, 0x99}));
    }
    Write(dir, SeedFromRom(WordsToBytes({0x1200}), {}, {}, Start{0, 8190, 0, 0}));
    Write(dir, SeedFromRom(WordsToBytes({0x1200}), {}, {}, Start{0, 8191, 0, 0}));
    Write(dir, SeedFromRom(WordsToBytes({0x2200}), {}, {}, Start{0, 512, 256, 0}));
    Write(dir, SeedFromRom(WordsToBytes({0x00EE}), {}, {}, Start{0, 512, 1, 0}));
    // Open ROM of an image one byte too long.
    Write(dir,
          SeedFromRom(WordsToBytes({0x1200}), {{300, EventKind::OpenRom, 0}}, Bytes(7682, 0x12)));
    // The standard machines: wrapping stores, fetches and jumps, a sprite at
    // the corner, the 16-entry stack, and machine switches with a copy too
    // long for them, quirks flipped.
    for (std::uint8_t machine : {1, 2, 3, 4, 5}) {
        Write(dir, SeedFromRom(WordsToBytes({0xAFFE, 0xFF55, 0xFF65, 0xF033, 0x603E, 0x611F, 0xD01F,
                                             0x60FF, 0xBFFF}),
                               {}, {}, Start{0, 512, 0, 0, machine}));
        Write(dir, SeedFromRom(WordsToBytes({0x2200}), {}, {}, Start{0, 512, 0, 0, machine}));
        Write(dir, SeedFromRom(WordsToBytes({0x1200}), {}, {}, Start{0, 4094, 0, 0, machine}));
    }
    Write(dir, SeedFromRom(WordsToBytes({0x6005, 0xF018, 0xF015, 0x8126, 0x8F14, 0x1200}),
                           {{300, EventKind::Machine, 1},
                            {300, EventKind::OpenRom, 0},
                            {300, EventKind::Machine, 2 | 8 | 0x7F0},
                            {300, EventKind::Pause, 0},
                            {300, EventKind::Machine, 0},
                            {300, EventKind::Machine, 3},
                            {300, EventKind::Machine, 5 | 8 | 0x7F0},
                            {300, EventKind::Machine, 4}},
                           Bytes(3585, 0x12)));
    // SUPER-CHIP and XO-CHIP: both modes, big sprites at the corner, every
    // scroll, the big font, flag registers, 00FD; on XO-CHIP planes, ranges,
    // the long load and the pattern, with I near the top of 64 KB.
    const Bytes extended =
        WordsToBytes({0x00FF, 0x603C, 0x611C, 0xA300, 0xD010, 0x00C5, 0x00FB, 0x00FC, 0x00D3,
                      0x6209, 0xF230, 0xD015, 0xFF75, 0xFF85, 0x00FE, 0xD010, 0x00C1, 0x00FB,
                      0xF301, 0xF000, 0xFFF8, 0x5F02, 0x5F03, 0xF002, 0x62FF, 0xF23A, 0x6305,
                      0xF318, 0xD01F, 0x3000, 0xF000, 0x1234, 0x00E0, 0xF00A, 0x00FD});
    for (std::uint8_t machine : {3, 4, 5})
        Write(dir, SeedFromRom(extended, Lively(), {}, Start{0, 512, 0, 0x3F, machine}));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> <file.ch8 | test.cpp>...\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    WriteHandMade(dir);
    int roms = 0;
    int programs = 0;
    for (int i = 2; i < argc; ++i) {
        const std::filesystem::path path = argv[i];
        const Bytes bytes = ReadFile(path);
        if (path.extension() == ".ch8") {
            if (bytes.size() > 7681) continue;
            Write(dir, kestrel::fuzz::SeedFromRom(bytes));
            Write(dir, kestrel::fuzz::SeedFromRom(bytes, Lively(), bytes));
            ++roms;
        } else {
            for (const Bytes& program : ProgramsInSource(std::string(bytes.begin(), bytes.end()))) {
                Write(dir, kestrel::fuzz::SeedFromRom(program));
                ++programs;
            }
        }
    }
    std::printf("seed corpus: %d inputs in %s (%d ROM files, %d test programs)\n", g_written,
                dir.c_str(), roms, programs);
    return 0;
}
