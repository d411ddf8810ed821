// libFuzzer target: a ROM image, a starting machine state and a script of
// desktop events served at chosen yields, on any of the six machines. Every
// yield of Kestrel's machine, and every frame of a standard one, checks the
// invariants the machine must keep whatever the program does; a bad access
// has to end the run with a reported message (the sanitizers catch any
// access that does not).

#include "fuzz_input.h"
#include "machine/machine.h"
#include "support/silent_host.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace kestrel;
using fuzz::Event;
using fuzz::EventKind;

// Each input stops after this many yields: a few hundred instructions on
// Kestrel's machine. A standard machine's frame, run by the event loop as the
// frame clock runs it, counts as FrameYields: 500 frames, up to 50,000
// instructions on XO-CHIP.
constexpr std::uint64_t YieldBudget = 30000;
constexpr std::uint64_t FrameYields = 60;
// The screen's pixels are checked every ScreenCheckFrames frames, and
// compared with the picture every PictureCheckFrames, and at the end.
constexpr std::uint64_t ScreenCheckFrames = 4;
constexpr std::uint64_t PictureCheckFrames = 32;

const MachineKind& KindOf(int bits) {
    return *Platforms[fuzz::MachineOf(bits)];
}

bool IsStandard(const Machine& m) {
    return m.Kind().engine != Engine::Kestrel;
}
// Frames of nested waits (one per scripted remap click at most) stay well
// inside this; a run that recursed per reset would not.
constexpr std::uintptr_t MaxStackGrowth = 512 * 1024;

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "kestrel_fuzzer: invariant broken: %s %s\n", what, detail.c_str());
    std::abort();
}
[[noreturn]] void Fail(const char* what, long long value) {
    Fail(what, std::to_string(value));
}

#define FUZZ_CHECK(cond, ...)                                                                      \
    do {                                                                                           \
        if (!(cond)) Fail(#cond __VA_OPT__(, ) __VA_ARGS__);                                       \
    } while (0)

#define NO_COVERAGE __attribute__((no_sanitize("coverage")))

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    std::uint8_t u8() { return pos < size ? data[pos++] : 0; }
    std::uint16_t u16() {
        const std::uint16_t lo = u8();
        return static_cast<std::uint16_t>(lo | u8() << 8);
    }
    std::uint32_t u32() {
        const std::uint32_t lo = u16();
        return lo | static_cast<std::uint32_t>(u16()) << 16;
    }
    std::size_t left() const { return size - std::min(pos, size); }
};

// Paths the Open ROM events use, made once per process.
struct Files {
    std::string dir;
    std::string rom;     // rewritten with the second image of each input
    std::string start;   // a standard machine's ROM, opened before its first Reset
    std::string missing; // never created
};
Files g_files;

void RemoveFiles() {
    ::unlink(g_files.rom.c_str());
    ::unlink(g_files.start.c_str());
    ::rmdir(g_files.dir.c_str());
}

void WriteFile(const std::string& path, const std::uint8_t* bytes, std::size_t length) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Fail("cannot write", path);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, bytes + done, length - done);
        if (n <= 0) Fail("cannot write", path);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

enum class RunState { None, Running, Ended };

class FuzzHost : public testing::SilentHost {
  public:
    Machine* machine = nullptr;
    std::vector<Event> events;
    std::vector<std::uint8_t> secondImage;
    bool secondWritten = false;
    bool nestedDelivery = false; // posted run requests are delivered inside nested yields too

    std::uint64_t yields = 0;
    std::size_t nextEvent = 0;
    static constexpr std::uint64_t NoEvent = ~std::uint64_t{0};
    std::uint64_t nextAt = YieldBudget; // the next yield that has work to do
    bool stopped = false;
    bool runRequested = false;
    RunState runState = RunState::None;
    std::uintptr_t baseFrame = 0;
    int faults = 0;
    int loadErrors = 0;
    std::string lastLoadError;

    std::uint64_t frames = 0;
    bool exited = false; // Exit closed the window: no frame runs until a new run begins

    NO_COVERAGE void yield() override { serve(); }
    // Kestrel's tone; a standard machine plays a pattern instead.
    void tone(int hz, int ms) override {
        FUZZ_CHECK(!IsStandard(*machine));
        FUZZ_CHECK(hz == 500);
        FUZZ_CHECK(ms >= 10 && ms <= 256 * 1000 / 60, std::to_string(ms));
    }
    // Only a standard machine that runs sounds, at a rate its pitch register can give.
    void playPattern(const SoundPattern&, double samplesPerSecond) override {
        FUZZ_CHECK(IsStandard(*machine));
        FUZZ_CHECK(!machine->State.Paused);
        FUZZ_CHECK(samplesPerSecond >= PatternRate(0) && samplesPerSecond <= PatternRate(255),
                   std::to_string(samplesPerSecond));
    }
    void setStatusText(const std::string& text) override {
        FUZZ_CHECK(text.empty() || text == "Waiting for key...", text);
    }
    void setButtonCaption(int index, const std::string&) override {
        FUZZ_CHECK(index >= 0 && index < KeypadKeys, std::to_string(index));
    }
    void requestRun() override { runRequested = true; }
    void reportFault(const std::string& text) override {
        // Only a run that is still current can stop at a fault.
        FUZZ_CHECK(runState == RunState::Running, text);
        FUZZ_CHECK(text.find("The run has stopped") != std::string::npos, text);
        FUZZ_CHECK(text == machine->LastFault(), text);
        ++faults;
        runState = RunState::Ended;
    }
    void reportLoadError(const std::string& text) override {
        FUZZ_CHECK(!text.empty());
        ++loadErrors;
        lastLoadError = text;
    }

    // The yield path runs a hundred times an instruction: kept out of the
    // coverage tracing and free of temporaries, which would otherwise take
    // most of the time.
    NO_COVERAGE void checkInvariants() const {
        const MachineState& s = machine->State;
        if (s.StackPointer < 0 || s.StackPointer > machine->Kind().stackSlots)
            Fail("StackPointer", s.StackPointer);
        if (s.KeyPressed < 0 || s.KeyPressed > KeypadKeys) Fail("KeyPressed", s.KeyPressed);
        if ((s.Nibble1 | s.Nibble2 | s.Nibble3 | s.Nibble4) > 15) Fail("a nibble above 15");
        if (s.KeyMap[0] != 0) Fail("KeyMap entry 0 written", s.KeyMap[0]);
        std::uint8_t paused = 0;
        std::memcpy(&paused, &s.Paused, 1);
        if (paused > 1) Fail("Paused is not a bool", paused);
        const auto frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
        if (frame < baseFrame && baseFrame - frame > MaxStackGrowth)
            Fail("native stack grew by", static_cast<long long>(baseFrame - frame));
    }

    // One yield of the machine, or one turn of the desktop's own event loop.
    NO_COVERAGE void serve() {
        ++yields;
        checkInvariants();
        if (yields >= nextAt || (nestedDelivery && runRequested)) serveEvents();
    }

    __attribute__((noinline)) void serveEvents() {
        if (stopped) return;
        if (yields >= YieldBudget) return stopAll();
        while (!stopped && nextEvent < events.size() && yields >= nextAt) {
            const Event e = events[nextEvent++];
            nextAt = nextEvent < events.size()
                         ? std::min(yields + events[nextEvent].gap, YieldBudget)
                         : YieldBudget;
            fire(e);
        }
        if (nestedDelivery && runRequested) {
            runRequested = false;
            machine->RunDriver();
        }
    }

    bool eventsLeft() const { return !stopped && nextEvent < events.size(); }

    void stopAll() {
        stopped = true;
        nextAt = NoEvent;
        machine->EndAllRuns();
        runState = runState == RunState::Running ? RunState::Ended : runState;
    }

    // What Reset leaves: the font in its place, and on a standard machine
    // memory cleared but for the font and the ROM's copy.
    void checkReset() const {
        const Machine& m = *machine;
        FUZZ_CHECK(m.State.ProgramCounter == ProgramStart);
        if (m.Kind().engine == Engine::Kestrel) {
            FUZZ_CHECK(std::equal(Font.begin(), Font.end(), m.State.Memory.begin() + FontBase));
            return;
        }
        // Memory of the machine's size holds the small font at its base, the
        // big font after it, the ROM's copy when it fits, and nothing else.
        const MachineKind& kind = m.Kind();
        const std::vector<std::uint8_t>& rom = m.RomCopy();
        const bool runs = !rom.empty() && rom.size() <= kind.romLimit;
        std::vector<std::uint8_t> expected(kind.memorySize, 0);
        std::copy(std::begin(Chip8Font), std::end(Chip8Font), expected.begin() + kind.fontBase);
        std::copy(kind.bigFont.begin(), kind.bigFont.end(),
                  expected.begin() + kind.fontBase + sizeof Chip8Font);
        if (runs) std::copy(rom.begin(), rom.end(), expected.begin() + ProgramStart);
        FUZZ_CHECK(m.State.Memory == expected, "memory after a reset");
        // A pause lasts across a reset, and the debugger's state says it first.
        const ProgramState reset = runs ? ProgramState::Running : ProgramState::NoProgram;
        FUZZ_CHECK(m.Debug().State() == (m.State.Paused ? ProgramState::Paused : reset));
        FUZZ_CHECK(m.State.StackPointer == 0 && m.State.IndexReg == 0 && m.State.DelayTimer == 0 &&
                   m.State.SoundTimer == 0);
        FUZZ_CHECK(std::all_of(m.State.V.begin(), m.State.V.end(), [](auto v) { return v == 0; }));
        const FrameBuffer& screen = m.Debug().ScreenBuffer();
        FUZZ_CHECK(!screen.hires());
        FUZZ_CHECK(std::all_of(screen.pixels(),
                               screen.pixels() + FrameBuffer::Width * FrameBuffer::Height,
                               [](std::uint8_t p) { return p == 0; }));
        checkPicture();
    }

    // One frame of a standard machine, as the frame clock runs it, with the
    // events that fall due before it.
    void frame() {
        yields += FrameYields - 1;
        serve();
        if (stopped || !IsStandard(*machine)) return;
        if (exited) return stopWhenIdle();
        Machine& m = *machine;
        using Status = ProgramState;
        const Status before = m.Debug().State();
        const bool runs = before == Status::Running && !m.State.Paused;
        const int faultsBefore = faults;
        m.StartFrame();
        ++frames;
        const Status after = m.Debug().State();
        // A fault is reported once, in the frame that stops the machine.
        const bool faulted = after == Status::Faulted && before != Status::Faulted;
        FUZZ_CHECK(faults == faultsBefore + (faulted ? 1 : 0), faults);
        if (faulted) FUZZ_CHECK(runState == RunState::Ended);
        // Paused, waiting, ended or empty: nothing runs; running, every
        // address formed wraps at the machine's memory.
        if (before != Status::Running && before != Status::WaitingForKey)
            FUZZ_CHECK(after == before);
        if (runs) FUZZ_CHECK(m.State.ProgramCounter < m.Kind().memorySize, m.State.ProgramCounter);
        FUZZ_CHECK(m.State.Memory.size() == m.Kind().memorySize, m.State.Memory.size());
        if (m.State.StackPointer < 0 || m.State.StackPointer > m.Kind().stackSlots)
            Fail("StackPointer", m.State.StackPointer);
        if (frames % ScreenCheckFrames == 0) checkScreen();
        if (frames % PictureCheckFrames == 0) checkPicture();
        if (after != Status::Running || m.State.Paused) stopWhenIdle();
    }

    // With no event left, a machine that cannot run (or wait for a key that
    // no event will press) stays as it is to the budget: the input ends.
    void stopWhenIdle() {
        if (eventsLeft()) return;
        checkScreen();
        stopAll();
    }

    // Pixels only on the machine's planes; in the low-resolution mode, unless
    // the calculator's half-pixel scrolls or kept pictures can split them,
    // each pixel a whole block of the grid (2 x 2 in 64 x 32, 2 x 1 in 64 x 64).
    NO_COVERAGE void checkScreen() const {
        const MachineKind& kind = machine->Kind();
        const FrameBuffer& screen = machine->Debug().ScreenBuffer();
        const std::uint8_t* p = screen.pixels();
        const std::uint8_t planes = kind.planes == 2 ? 3 : 1;
        for (int i = 0; i < FrameBuffer::Width * FrameBuffer::Height; ++i)
            if ((p[i] & ~planes) != 0) Fail("a pixel off the machine's planes", i);
        if (screen.hires() || kind.calculator.scrollInHiresPixels ||
            kind.calculator.modeSwitchKeepsPicture)
            return;
        const int sx = screen.scaleX();
        const int sy = screen.scaleY();
        for (int y = 0; y < FrameBuffer::Height; ++y)
            for (int x = 0; x < FrameBuffer::Width; ++x) {
                if (screen.at(x, y) != screen.at(x - x % sx, y - y % sy))
                    Fail("a low-resolution pixel split at", y * FrameBuffer::Width + x);
            }
    }

    // The picture shows the screen, each grid pixel a 2 x 2 block in its colour.
    void checkPicture() const {
        if (!IsStandard(*machine)) return;
        const FrameBuffer& screen = machine->Debug().ScreenBuffer();
        const ScreenSurface& surface = machine->Surface();
        for (int y = 0; y < FrameBuffer::Height; ++y)
            for (int x = 0; x < FrameBuffer::Width; ++x) {
                const std::int32_t colour =
                    StandardInterpreter::DefaultPalette[screen.at(x, y) & 3];
                if (surface.ReadPixel(1 + 2 * x, 2 * y) != colour ||
                    surface.ReadPixel(2 + 2 * x, 2 * y + 1) != colour)
                    Fail("the picture differs from the screen at", y * FrameBuffer::Width + x);
            }
    }

  private:
    // A place in or beside the letter block, from the key code's high bits.
    static KeyPlace placeOf(std::int16_t argument) {
        const auto bits = static_cast<std::uint16_t>(argument);
        return {(bits >> 9) & 7, (bits >> 12) & 7};
    }

    void noteNewRun(std::uint64_t generationBefore) {
        if (machine->RunGeneration() == generationBefore) return;
        runState = RunState::Running;
        exited = false;
    }

    void fire(const Event& e) {
        Machine& m = *machine;
        const std::uint64_t generation = m.RunGeneration();
        switch (e.kind) {
        case EventKind::KeyDown: m.Form_KeyDown(e.argument, placeOf(e.argument)); break;
        // No host key has a negative code: those key-ups stand for focus loss.
        case EventKind::KeyUp:
            if (e.argument < 0) {
                m.Form_Deactivate();
            } else {
                m.Form_KeyUp(e.argument, placeOf(e.argument));
            }
            break;
        case EventKind::Tick: m.Timer1_Timer(); break;
        case EventKind::Pause: m.pausex_Click(); break;
        case EventKind::Reset:
            m.Reset_Click();
            checkReset();
            noteNewRun(generation);
            break;
        case EventKind::OpenRom: openRom(e.argument & 3); break;
        case EventKind::Remap:
            m.Command1_Click(static_cast<std::uint16_t>(e.argument) % KeypadKeys);
            break;
        case EventKind::RemapRaw: m.Command1_Click(e.argument); break;
        case EventKind::Exit:
            m.EndAllRuns();
            exited = true;
            if (runState == RunState::Running) runState = RunState::Ended;
            break;
        case EventKind::Machine: {
            MachineKind kind = KindOf(e.argument);
            if ((e.argument >> fuzz::QuirkFlipBit & 1) != 0) {
                for (std::size_t q = 0; q < std::size(QuirkFields); ++q) {
                    if ((e.argument >> (fuzz::FirstQuirkBit + q) & 1) == 0) continue;
                    const QuirkField& field = QuirkFields[q];
                    const bool flipped = !(kind.quirks.*field.member);
                    const std::string name(field.name);
                    FUZZ_CHECK(SetQuirk(kind.quirks, name, flipped), name);
                    FUZZ_CHECK(kind.quirks.*field.member == flipped, name);
                }
            }
            m.SelectMachine(kind);
            checkReset();
            noteNewRun(generation);
            break;
        }
        case EventKind::Count: break;
        }
    }

    void openRom(int which) {
        Machine& m = *machine;
        std::string path;
        if (which == 0) {
            if (!secondWritten) writeSecondImage();
            path = g_files.rom;
        } else if (which == 2) {
            path = g_files.missing;
        } else if (which == 3) {
            path = g_files.dir;
        }
        const auto before = m.State.Memory;
        const std::uint64_t generation = m.RunGeneration();
        const int errorsBefore = loadErrors;
        m.OpenRom(path);
        const bool refused = loadErrors != errorsBefore;
        if (which == 1) {
            FUZZ_CHECK(!refused);
        } else if (which == 0 && secondImage.size() <= m.Kind().romLimit) {
            FUZZ_CHECK(!refused, lastLoadError);
            // The reset that follows writes Kestrel's font over 4096..4175.
            for (std::size_t i = 0; i < secondImage.size(); ++i) {
                const std::size_t address = ProgramStart + i;
                if (m.Kind().engine == Engine::Kestrel && address >= FontBase &&
                    address < FontBase + Font.size())
                    continue;
                FUZZ_CHECK(m.State.Memory[address] == secondImage[i], std::to_string(address));
            }
        } else {
            FUZZ_CHECK(refused);
        }
        if (refused) {
            FUZZ_CHECK(m.State.Memory == before, "a refused load changed memory");
            FUZZ_CHECK(m.RunGeneration() == generation, "a refused load reset the machine");
            FUZZ_CHECK(lastLoadError.find(path) != std::string::npos, lastLoadError);
        } else {
            checkReset();
        }
        noteNewRun(generation);
    }

    void writeSecondImage() {
        secondWritten = true;
        WriteFile(g_files.rom, secondImage.data(), secondImage.size());
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char dir[] = "/tmp/kestrel-fuzz-XXXXXX";
    if (::mkdtemp(dir) == nullptr) Fail("cannot make a temporary folder");
    g_files.dir = dir;
    g_files.rom = g_files.dir + "/open rom \xC3\xA9.ch8"; // a space and a non-ASCII name too
    g_files.start = g_files.dir + "/start.ch8";
    g_files.missing = g_files.dir + "/missing.ch8";
    std::atexit(RemoveFiles);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    FuzzHost host;
    Machine machine(host);
    host.machine = &machine;
    machine.LoadDefaultKeyMap();
    machine.SeedRandom(0);
    MachineState& s = machine.State;

    std::array<std::uint8_t, 16> v{};
    for (auto& value : v)
        value = in.u8();
    const std::uint32_t index = in.u32();
    const std::uint16_t pc = in.u16();
    const std::uint16_t depth = in.u16();
    const std::uint8_t delay = in.u8();
    const std::uint8_t sound = in.u8();
    const int key = in.u8() % (KeypadKeys + 1);
    const std::uint8_t flags = in.u8();
    const MachineKind& kind = KindOf(flags >> 3);
    host.nestedDelivery = (flags & 4) != 0;
    const int eventCount = in.u8() % (fuzz::MaxEvents + 1);
    for (int i = 0; i < eventCount; ++i) {
        Event e{};
        e.gap = in.u16();
        e.kind = static_cast<EventKind>(in.u8() % static_cast<std::uint8_t>(EventKind::Count));
        e.argument = static_cast<std::int16_t>(in.u16());
        host.events.push_back(e);
    }
    const std::size_t romLength = std::min<std::size_t>({in.u16(), in.left(), kind.romLimit});
    const std::uint8_t* rom = data + in.pos;
    in.pos += romLength;
    host.secondImage.assign(data + std::min(in.pos, size), data + size);

    // The starting state, as the last program could have left it. Kestrel's
    // Reset keeps it; a standard machine's clears it, and restarts the ROM
    // from the copy taken when it was opened, so there it follows the Reset.
    const auto setState = [&] {
        s.V = v;
        s.IndexReg = index;
        s.StackPointer = depth % (kind.stackSlots + 1);
        s.DelayTimer = delay;
        s.SoundTimer = sound;
        s.KeyPressed = key;
        s.Paused = (flags & 1) != 0;
        // Return addresses as a program that called from anywhere could leave them.
        for (int i = 0; i < s.StackPointer; ++i)
            s.CallStack[static_cast<std::size_t>(i)] =
                static_cast<std::int16_t>(ProgramStart + 2 * i);
    };
    host.baseFrame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (!host.events.empty())
        host.nextAt = std::min<std::uint64_t>(host.events.front().gap, YieldBudget);

    if (kind.engine == Engine::Kestrel) {
        setState();
        std::copy_n(rom, romLength, s.Memory.begin() + ProgramStart);
        machine.Reset_Click();
    } else {
        machine.SelectMachine(kind);
        WriteFile(g_files.start, rom, romLength);
        FUZZ_CHECK(machine.LoadRom(g_files.start), host.lastLoadError);
        machine.Reset_Click();
        FUZZ_CHECK(std::equal(rom, rom + romLength, s.Memory.begin() + ProgramStart));
        setState();
    }
    host.runState = RunState::Running;
    if ((flags & 2) == 0) s.ProgramCounter = pc;

    // The desktop's event loop: a standard machine runs a frame a turn, to the
    // budget; otherwise start a run when one is asked for, or serve the next
    // scripted event.
    while (!host.stopped) {
        if (IsStandard(machine)) {
            host.frame();
            continue;
        }
        if (host.runRequested) {
            host.runRequested = false;
            machine.RunDriver();
            FUZZ_CHECK(!machine.RunActive());
            // A run of Kestrel's machine ends only at a reported fault, at
            // Exit, at the budget, or when a standard machine was chosen.
            FUZZ_CHECK(IsStandard(machine) || host.runState != RunState::Running,
                       "the run ended without a reported fault");
            continue;
        }
        if (!host.eventsLeft()) break;
        host.serve();
    }
    host.checkPicture();
    return 0;
}
