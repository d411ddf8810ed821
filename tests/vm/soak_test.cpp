// A long run of random programs with a Reset every few thousand instructions,
// each served inside a yield of the running program (and, now and then, an
// Open ROM of a fresh random program): resident memory and the native stack
// depth at the yields must stay flat however many runs are abandoned.

#include "machine/machine.h"
#include "support/key_codes.h"
#include "support/passes.h"
#include "support/process_stats.h"
#include "support/program_bytes.h"
#include "support/silent_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KESTREL_SOAK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTREL_SOAK_SANITIZED 1
#endif
#endif

namespace {

using namespace kestrel;
using kestrel::testing::FrameAddress;
using kestrel::testing::ResidentKilobytes;

#ifdef KESTREL_SOAK_SANITIZED
constexpr std::uint64_t Instructions = 1'000'000; // the sanitizers make each one ~10x dearer
// AddressSanitizer keeps freed blocks in quarantine, so resident memory rises
// by a few megabytes before it levels off; leaks are its own to report.
constexpr long ResidentGrowthLimitKb = 8 * 1024;
#else
constexpr std::uint64_t Instructions = 10'000'000;
constexpr long ResidentGrowthLimitKb = 256;
#endif
// Every pass of the run loop yields 100 times, plus once in most handlers.
constexpr std::uint64_t YieldsPerInstructionAtMost = kestrel::testing::YieldsOfPasses(1);
constexpr std::uint64_t ResetEvery = 200'000; // yields: about 2000 instructions
constexpr std::uint64_t KeyEvery = 7'919;     // yields: ends any wait for a key

// Random instruction words, but no calls or returns: the stack depth that
// survives Reset would otherwise fill and stop every later run at once. The
// first word points I into memory, as I also survives Reset and FX1E walks it
// upward.
std::vector<std::uint8_t> RandomProgram(std::mt19937& rng) {
    std::vector<std::uint16_t> words(MaxRomSize / 2);
    words[0] = static_cast<std::uint16_t>(0xA200 | (rng() & 0xFF));
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::uint16_t word = 0;
        do {
            word = static_cast<std::uint16_t>(rng());
        } while ((word >> 12) == 0x2 || ((word >> 12) == 0 && (word & 0xFF) == 0xEE));
        words[i] = word;
    }
    return kestrel::testing::WordsToBytes(words);
}

// Programs that store over themselves make calls of their own, and the
// stack depth survives Reset: a full stack would stop each later run at its
// first call. Each new run starts from an empty stack instead, as a freshly
// started program would.
void FreshStart(Machine& machine) {
    machine.State.StackPointer = 0;
    machine.State.Paused = false;
}

// A host that does next to nothing: it counts yields, serves the soak's few
// events and notes the stack depth.
class SoakHost : public kestrel::testing::SilentHost {
  public:
    Machine* machine = nullptr;
    std::mt19937 rng{20261208};
    std::string romPath;

    std::uint64_t yields = 0;
    std::uint64_t nextReset = ResetEvery;
    std::uint64_t nextKey = KeyEvery;
    std::uint64_t resetsInsideRuns = 0;
    std::uint64_t opensInsideRuns = 0;
    int faults = 0;
    bool stop = false;

    // The deepest frame seen at a yield, over the first tenth and over all.
    std::uintptr_t deepestEarly = UINTPTR_MAX;
    std::uintptr_t deepest = UINTPTR_MAX;
    long residentEarly = 0;
    long residentPeak = 0;

    void yield() override { serve(); }
    void reportFault(const std::string&) override { ++faults; }
    void reportLoadError(const std::string& text) override { ADD_FAILURE() << text; }

    std::uint64_t budget() const { return Instructions * YieldsPerInstructionAtMost; }

  private:
    void serve() {
        ++yields;
        deepest = std::min(deepest, FrameAddress());
        if (yields >= nextKey) {
            nextKey += KeyEvery;
            machine->Form_KeyDown(kestrel::testing::key::NumPad5);
            machine->Form_KeyUp();
        }
        if (yields < nextReset) return;
        nextReset += ResetEvery;
        if (yields <= budget() / 10) {
            deepestEarly = deepest;
            residentEarly = ResidentKilobytes();
        }
        residentPeak = std::max(residentPeak, ResidentKilobytes());
        if (yields >= budget()) {
            stop = true;
            machine->EndAllRuns();
            return;
        }
        FreshStart(*machine);
        if (resetsInsideRuns % 16 == 15) {
            writeRom();
            machine->OpenRom(romPath);
            ++opensInsideRuns;
        } else {
            machine->Reset_Click();
        }
        ++resetsInsideRuns;
    }

    void writeRom() {
        const std::vector<std::uint8_t> rom = RandomProgram(rng);
        std::ofstream out(romPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(rom.data()),
                  static_cast<std::streamsize>(rom.size()));
    }
};

TEST(Soak, ResetsServedInsideRunsKeepMemoryAndStackFlat) {
    SoakHost host;
    Machine machine(host);
    host.machine = &machine;
    host.romPath = (std::filesystem::temp_directory_path() /
                    ("kestrel-soak-" + std::to_string(::getpid()) + ".ch8"))
                       .string();
    machine.LoadDefaultKeyMap();
    machine.SeedRandom(1);
    std::mt19937 rng(7);
    const std::vector<std::uint8_t> first = RandomProgram(rng);
    std::copy(first.begin(), first.end(), machine.State.Memory.begin() + ProgramStart);

    const long residentStart = ResidentKilobytes();
    const auto start = std::chrono::steady_clock::now();
    int restartsAfterFaults = 0;
    machine.Reset_Click();
    // The desktop's event loop: a run that stopped at a fault is restarted as
    // a user would, by choosing Reset.
    while (!host.stop) {
        machine.RunDriver();
        if (!host.stop) {
            ++restartsAfterFaults;
            FreshStart(machine);
            machine.Reset_Click();
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long residentEnd = ResidentKilobytes();
    std::filesystem::remove(host.romPath);

    const std::uint64_t instructionsAtLeast = host.yields / YieldsPerInstructionAtMost;
    std::printf(
        "soak: %llu yields (at least %llu instructions) in %.1f s; %llu resets and %llu Open ROMs "
        "served inside runs, %d runs stopped at a fault and were reset\n",
        static_cast<unsigned long long>(host.yields),
        static_cast<unsigned long long>(instructionsAtLeast), seconds,
        static_cast<unsigned long long>(host.resetsInsideRuns - host.opensInsideRuns),
        static_cast<unsigned long long>(host.opensInsideRuns), restartsAfterFaults);
    std::printf("soak: resident memory %ld kB at start, %ld kB after the first tenth, %ld kB peak, "
                "%ld kB at end\n",
                residentStart, host.residentEarly, host.residentPeak, residentEnd);
    std::printf("soak: deepest native frame at a yield: %lld bytes below the test's frame in the "
                "first tenth, "
                "%lld bytes over the whole run\n",
                static_cast<long long>(FrameAddress() - host.deepestEarly),
                static_cast<long long>(FrameAddress() - host.deepest));

    EXPECT_GE(instructionsAtLeast, Instructions);
    EXPECT_GE(host.resetsInsideRuns, Instructions / 2500);
    EXPECT_EQ(host.faults, restartsAfterFaults);
    // Most runs end at a Reset served inside them, not at a fault.
    EXPECT_LT(restartsAfterFaults, static_cast<int>(host.resetsInsideRuns));
    EXPECT_EQ(host.deepest, host.deepestEarly)
        << "the native stack grew after the first tenth of the resets";
    EXPECT_LE(host.residentPeak - host.residentEarly, ResidentGrowthLimitKb)
        << "resident memory grew after the first tenth of the resets";
}

} // namespace
