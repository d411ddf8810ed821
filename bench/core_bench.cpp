// The core's costs: one instruction, one sprite, one pass of the run loop.

#include "machine/machine.h"
#include "support/program_bytes.h"
#include "support/silent_host.h"
#include "vm/cadence.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::bench {
namespace {

// A fixed mixed program with no drawing: arithmetic, skips (taken and not),
// a call and return, jumps, index and memory instructions, looping for ever.
// I is set afresh each time round, so every access stays inside memory.
const std::vector<std::uint16_t> MixedProgram = {
    0xA400,                                                 // 200 I := 400
    0x6A07,                                                 // 202 VA := 07
    0x6B03,                                                 // 204 VB := 03
    0x7A01,                                                 // 206 loop: VA += 1
    0x8AB4,                                                 // 208 VA += VB, VF carry
    0x8CA0,                                                 // 20A VC := VA
    0x8CB1,                                                 // 20C VC |= VB
    0x8DA2,                                                 // 20E VD &= VA
    0x8DB3,                                                 // 210 VD ^= VB
    0x8C06,                                                 // 212 VC >>= 1
    0x8D0E,                                                 // 214 VD <<= 1
    0x8CA5,                                                 // 216 VC -= VA
    0x8DA7,                                                 // 218 VD := VA - VD
    0x3A10,                                                 // 21A skip if VA = 10
    0x4B03,                                                 // 21C skip if VB != 3
    0x5AB0,                                                 // 21E skip if VA = VB
    0x9AB0,                                                 // 220 skip if VA != VB
    0x7B01,                                                 // 222 VB += 1
    0x2240,                                                 // 224 call 240
    0x82D0,                                                 // 226 V2 := VD
    0xF21E,                                                 // 228 I += V2
    0xF233,                                                 // 22A BCD of V2 at I
    0xF255,                                                 // 22C store V0..V2 at I
    0xF265,                                                 // 22E load V0..V2 from I
    0xA400,                                                 // 230 I := 400
    0x6000,                                                 // 232 V0 := 0
    0x1238,                                                 // 234 jump 238
    0x0000,                                                 // 236 (never reached)
    0xB206,                                                 // 238 jump 206 + V0
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, // 23A..23E
    0x7E01,                                                 // 240 VE += 1
    0x00EE,                                                 // 242 return
};

using testing::PlaceWords;
using testing::SilentHost;

// Starts a run the way the menu does (Reset_Click, then the driver) and calls
// `work` inside the first yield, where that run is current; the run is ended
// once `work` returns.
template <typename Work> void insideRun(SilentHost& host, Machine& machine, Work&& work) {
    struct Context {
        Machine& machine;
        Work& work;
    } context{machine, work};
    host.atNextYield(
        [](void* raw) {
            auto& c = *static_cast<Context*>(raw);
            // The run's first instruction has been fetched already (its yield
            // is this one); start the work from the top of the program.
            c.machine.State.ProgramCounter = ProgramStart;
            c.work();
            c.machine.EndAllRuns();
        },
        &context);
    machine.Reset_Click();
    machine.RunDriver();
}

// ---------------------------------------------------------------------------
// The reference: the same program on a minimal interpreter (fetch, decode, one
// switch, the effect), with no yields, no run bookkeeping and no bounds checks.
// It is kept out of line, as Interpret is, so both pay one call per instruction.

struct Reference {
    std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(MemorySize);
    bool modern = false; // CHIP-8 (modern): shifts read VY, FX55/FX65 advance I
    std::array<std::uint8_t, 16> v{};
    std::uint64_t i = 0;
    std::uint32_t pc = ProgramStart;
    int sp = 0;
    std::array<std::uint16_t, CallStackSlots> stack{};
    std::uint8_t delay = 0;
    std::uint8_t sound = 0;
};

[[gnu::noinline]] void referenceStep(Reference& m) {
    const unsigned op = static_cast<unsigned>(m.memory[m.pc] << 8 | m.memory[m.pc + 1]);
    m.pc += 2;
    const unsigned x = (op >> 8) & 0xF;
    const unsigned y = (op >> 4) & 0xF;
    const std::uint8_t nn = op & 0xFF;
    const unsigned nnn = op & 0xFFF;
    auto& vx = m.v[x];
    auto& vy = m.v[y];
    auto& vf = m.v[15];
    switch (op >> 12) {
    case 0x0:
        if (nn == 0xEE) m.pc = m.stack[static_cast<std::size_t>(--m.sp)];
        break;
    case 0x1: m.pc = nnn; break;
    case 0x2:
        m.stack[static_cast<std::size_t>(m.sp++)] = static_cast<std::uint16_t>(m.pc);
        m.pc = nnn;
        break;
    case 0x3:
        if (vx == nn) m.pc += 2;
        break;
    case 0x4:
        if (vx != nn) m.pc += 2;
        break;
    case 0x5:
        if (vx == vy) m.pc += 2;
        break;
    case 0x6: vx = nn; break;
    case 0x7: vx = static_cast<std::uint8_t>(vx + nn); break;
    case 0x8:
        switch (op & 0xF) {
        case 0x0: vx = vy; break;
        case 0x1: vx |= vy; break;
        case 0x2: vx &= vy; break;
        case 0x3: vx ^= vy; break;
        case 0x4: {
            vf = vx + vy > 255;
            vx = static_cast<std::uint8_t>(vx + vy);
            break;
        }
        case 0x5: {
            vf = vx >= vy;
            vx = static_cast<std::uint8_t>(vx - vy);
            break;
        }
        case 0x6: {
            const std::uint8_t from = m.modern ? vy : vx;
            vx = static_cast<std::uint8_t>(from >> 1);
            vf = from & 1;
            break;
        }
        case 0x7: {
            vf = vy >= vx;
            vx = static_cast<std::uint8_t>(vy - vx);
            break;
        }
        case 0xE: {
            const std::uint8_t from = m.modern ? vy : vx;
            vx = static_cast<std::uint8_t>(from << 1);
            vf = (from & 0x80) != 0;
            break;
        }
        default: break;
        }
        break;
    case 0x9:
        if (vx != vy) m.pc += 2;
        break;
    case 0xA: m.i = nnn; break;
    case 0xB: m.pc = m.v[0] + nnn; break;
    case 0xF:
        switch (nn) {
        case 0x07: vx = m.delay; break;
        case 0x15: m.delay = vx; break;
        case 0x18: m.sound = vx; break;
        case 0x1E: m.i += vx; break;
        case 0x29: m.i = FontBase + 5u * vx; break;
        case 0x33:
            m.memory[m.i] = static_cast<std::uint8_t>(vx / 100);
            m.memory[m.i + 1] = static_cast<std::uint8_t>(vx / 10 % 10);
            m.memory[m.i + 2] = static_cast<std::uint8_t>(vx % 10);
            break;
        case 0x55:
            for (unsigned k = 0; k <= x; ++k)
                m.memory[m.i + k] = m.v[k];
            if (m.modern) m.i += x + 1;
            break;
        case 0x65:
            for (unsigned k = 0; k <= x; ++k)
                m.v[k] = m.memory[m.i + k];
            if (m.modern) m.i += x + 1;
            break;
        default: break;
        }
        break;
    default: break; // drawing, random and keys: not in the program
    }
}

// What differs between the machine and the reference after the same number
// of instructions, comparing memory over [from, to); empty when nothing does.
std::string differenceFrom(const Machine& machine, const Reference& ref, std::size_t from,
                           std::size_t to) {
    const auto& s = machine.State;
    if (s.V != ref.v) return "registers differ";
    if (s.IndexReg != ref.i) return "I differs";
    if (s.ProgramCounter != ref.pc) return "program counter differs";
    if (s.StackPointer != ref.sp) return "stack depth differs";
    if (!std::equal(ref.memory.begin() + static_cast<std::ptrdiff_t>(from),
                    ref.memory.begin() + static_cast<std::ptrdiff_t>(to),
                    s.Memory.begin() + static_cast<std::ptrdiff_t>(from)))
        return "memory differs";
    return machine.LastFault();
}

constexpr int AgreementSteps = 100000;

// The reference must run the very program the core runs: after the same
// number of instructions both machines are compared.
bool referenceAgrees(std::string& why) {
    SilentHost host;
    Machine machine(host);
    PlaceWords(machine.State.Memory, MixedProgram);
    Reference ref;
    PlaceWords(ref.memory, MixedProgram);
    insideRun(host, machine, [&] {
        for (int k = 0; k < AgreementSteps; ++k)
            machine.Debug().ExecuteOne();
    });
    for (int k = 0; k < AgreementSteps; ++k)
        referenceStep(ref);
    why = differenceFrom(machine, ref, 0, FontBase);
    return why.empty();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Instructions a timed block runs, on the machine and on the reference alike.
constexpr int ReferenceBlock = 20000;

// Times `machineBlock` (ReferenceBlock instructions) against as many
// reference steps, in alternating order so that both see the same load on
// the machine; the medians over the blocks are reported as `name`_ns,
// reference_ns, `name`_M_per_s and their ratio.
template <typename MachineBlock>
void alternateWithReference(benchmark::State& state, Reference& ref, const std::string& name,
                            MachineBlock&& machineBlock) {
    const auto timed = [](auto&& block) {
        const auto t0 = std::chrono::steady_clock::now();
        block();
        return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0)
                   .count() /
               ReferenceBlock;
    };
    const auto referenceBlock = [&ref] {
        for (int k = 0; k < ReferenceBlock; ++k)
            referenceStep(ref);
    };
    std::vector<double> machineNs;
    std::vector<double> refNs;
    std::vector<double> ratios;
    bool machineFirst = true;
    for (auto _ : state) {
        const double first = machineFirst ? timed(machineBlock) : timed(referenceBlock);
        const double second = machineFirst ? timed(referenceBlock) : timed(machineBlock);
        machineNs.push_back(machineFirst ? first : second);
        refNs.push_back(machineFirst ? second : first);
        ratios.push_back(machineNs.back() / refNs.back());
        machineFirst = !machineFirst;
    }
    benchmark::DoNotOptimize(ref);
    state.counters[name + "_ns"] = median(machineNs);
    state.counters["reference_ns"] = median(refNs);
    state.counters[name + "_M_per_s"] = 1000.0 / median(machineNs);
    state.counters["ratio"] = median(ratios);
    state.SetItemsProcessed(state.iterations() * 2 * ReferenceBlock);
}

// ---------------------------------------------------------------------------

// Interpret in a loop inside a live run: each call fetches, decodes and
// dispatches one instruction, with the handler's opening yield; the run
// loop's own 100 yields are left out.
void BM_CoreMixedProgram(benchmark::State& state) {
    SilentHost host;
    Machine machine(host);
    PlaceWords(machine.State.Memory, MixedProgram);
    insideRun(host, machine, [&] {
        for (auto _ : state)
            machine.Debug().ExecuteOne();
    });
    if (!machine.LastFault().empty()) state.SkipWithError(machine.LastFault().c_str());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CoreMixedProgram);

void BM_ReferenceMixedProgram(benchmark::State& state) {
    std::string why;
    if (!referenceAgrees(why)) {
        state.SkipWithError(("the reference does not run the core's program: " + why).c_str());
        return;
    }
    Reference ref;
    PlaceWords(ref.memory, MixedProgram);
    for (auto _ : state)
        referenceStep(ref);
    benchmark::DoNotOptimize(ref);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReferenceMixedProgram);

// The ratio, measured in alternating blocks of the two so that both see the
// same load on the machine; the median over the blocks is reported.
void BM_CoreAgainstReference(benchmark::State& state) {
    std::string why;
    if (!referenceAgrees(why)) {
        state.SkipWithError(("the reference does not run the core's program: " + why).c_str());
        return;
    }
    SilentHost host;
    Machine machine(host);
    PlaceWords(machine.State.Memory, MixedProgram);
    Reference ref;
    PlaceWords(ref.memory, MixedProgram);
    insideRun(host, machine, [&] {
        alternateWithReference(state, ref, "core", [&] {
            for (int k = 0; k < ReferenceBlock; ++k)
                machine.Debug().ExecuteOne();
        });
    });
}
BENCHMARK(BM_CoreAgainstReference)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// The standard interpreter on CHIP-8 (modern), run as the frame clock runs it:
// one StartFrame at a rate of many instructions.

// The mixed program opened on CHIP-8 (modern), at `rate` instructions a frame.
void openStandard(Machine& machine, int rate) {
    machine.SetSpeed(rate);
    const std::vector<std::uint8_t> rom = testing::WordsToBytes(MixedProgram);
    machine.OpenRomOn("mixed.ch8", rom, ModernChip8Machine);
}

Reference modernReference() {
    Reference ref;
    ref.modern = true;
    ref.memory.assign(ModernChip8Machine.memorySize, 0);
    PlaceWords(ref.memory, MixedProgram);
    return ref;
}

bool standardAgrees(std::string& why) {
    SilentHost host;
    Machine machine(host);
    openStandard(machine, AgreementSteps);
    machine.StartFrame();
    Reference ref = modernReference();
    for (int k = 0; k < AgreementSteps; ++k)
        referenceStep(ref);
    why = differenceFrom(machine, ref, ProgramStart, ref.memory.size());
    return why.empty();
}

// A frame of ReferenceBlock instructions against as many reference steps.
void BM_StandardAgainstReference(benchmark::State& state) {
    std::string why;
    if (!standardAgrees(why)) {
        state.SkipWithError(("the reference does not run the standard program: " + why).c_str());
        return;
    }
    SilentHost host;
    Machine machine(host);
    openStandard(machine, ReferenceBlock);
    Reference ref = modernReference();
    alternateWithReference(state, ref, "standard", [&] { machine.StartFrame(); });
    if (!machine.LastFault().empty()) state.SkipWithError(machine.LastFault().c_str());
}
BENCHMARK(BM_StandardAgainstReference)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// SUPER-CHIP (modern) in 128 x 64: a scroll of the whole screen (down 1,
// right 4, left 4) against one 16 x 16 sprite of 256 lit bits (DXY0), each
// one instruction, timed in alternating blocks. The sprite alternates
// between lighting and erasing its square; the screen's content costs a
// scroll nothing.

constexpr std::uint16_t ScrollOps[] = {0x00C1, 0x00FB, 0x00FC};
constexpr std::uint32_t SpriteAt = 0x20A; // D010, after 00FF and the three scrolls

void BM_ScrollAgainstSprite(benchmark::State& state) {
    SilentHost host;
    Machine machine(host);
    machine.SetSpeed(1);
    std::vector<std::uint16_t> program = {0x00FF,       ScrollOps[0], ScrollOps[1],
                                          ScrollOps[2], 0xA300,       0xD010};
    std::vector<std::uint8_t> rom = testing::WordsToBytes(program);
    rom.resize(0x100 + 32, 0);
    std::fill(rom.begin() + 0x100, rom.end(), 0xFF); // the sprite at 0x300
    machine.OpenRomOn("scroll.ch8", rom, SuperChipModernMachine);
    machine.StartFrame(); // 00FF: 128 x 64
    auto& s = machine.State;
    s.IndexReg = 0x300;
    s.V[0] = 56;
    s.V[1] = 24;
    constexpr int Block = 1000;
    const auto timeBlock = [&](std::uint32_t at) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int k = 0; k < Block; ++k) {
            s.ProgramCounter = at;
            machine.Debug().ExecuteOne();
        }
        return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0)
                   .count() /
               Block;
    };
    std::vector<double> spriteNs;
    std::vector<std::vector<double>> scrollNs(std::size(ScrollOps));
    std::vector<double> worstRatios;
    for (auto _ : state) {
        double worst = 0;
        const double sprite = timeBlock(SpriteAt);
        for (std::size_t op = 0; op < std::size(ScrollOps); ++op) {
            const double scroll = timeBlock(ProgramStart + 2 + 2 * static_cast<std::uint32_t>(op));
            scrollNs[op].push_back(scroll);
            worst = std::max(worst, scroll / sprite);
        }
        spriteNs.push_back(sprite);
        worstRatios.push_back(worst);
    }
    if (!machine.Debug().ScreenBuffer().hires()) state.SkipWithError("not in 128 x 64");
    state.counters["sprite_ns"] = median(spriteNs);
    state.counters["down1_ns"] = median(scrollNs[0]);
    state.counters["right4_ns"] = median(scrollNs[1]);
    state.counters["left4_ns"] = median(scrollNs[2]);
    state.counters["worst_ratio"] = median(worstRatios);
}
BENCHMARK(BM_ScrollAgainstSprite)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// DXYF with every one of its 120 bits set: 120 read-backs and 120 block fills.
// Each iteration times one draw (by hand, so that bringing the screen back to
// its starting state between draws is left out of the figure).

void prepareFullSprite(Machine& machine) {
    auto& s = machine.State;
    s.IndexReg = 0x300;
    for (int k = 0; k < 15; ++k)
        s.Memory[0x300 + static_cast<std::size_t>(k)] = 0xFF;
    s.V[0] = 20;
    s.V[1] = 8;
    s.Memory[0x400] = 0xD0; // DXYF with X = 0, Y = 1
    s.Memory[0x401] = 0x1F;
}

// The draw at 0x400 alone, its fetch and decode included.
void drawFullSprite(Machine& machine) {
    machine.State.ProgramCounter = 0x400;
    machine.Debug().ExecuteOne();
}

template <bool Lit> void BM_SpriteAll120Bits(benchmark::State& state) {
    SilentHost host;
    Machine machine(host);
    prepareFullSprite(machine);
    int collided = 0;
    for (auto _ : state) {
        // Lit: light the 8 x 15 block first, untimed; the timed draw erases it.
        if (Lit) drawFullSprite(machine);
        const auto start = std::chrono::steady_clock::now();
        drawFullSprite(machine);
        const auto end = std::chrono::steady_clock::now();
        collided += machine.State.V[15];
        // Clear: the timed draw lit the block; erase it again, untimed.
        if (!Lit) drawFullSprite(machine);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    // Every timed draw on a lit screen collides; none on a clear one does.
    if (collided != (Lit ? static_cast<int>(state.iterations()) : 0))
        state.SkipWithError("the draws did not collide as expected");
    state.SetItemsProcessed(state.iterations() * 120);
}
BENCHMARK(BM_SpriteAll120Bits<false>)->Name("BM_SpriteAll120Bits/clear")->UseManualTime();
BENCHMARK(BM_SpriteAll120Bits<true>)->Name("BM_SpriteAll120Bits/lit")->UseManualTime();

// The same two draws back to back, on the library's own clock (CPU time): a
// cross-check of the two figures above that reads no clock inside the loop.
void BM_SpriteAll120BitsClearThenLit(benchmark::State& state) {
    SilentHost host;
    Machine machine(host);
    prepareFullSprite(machine);
    for (auto _ : state) {
        drawFullSprite(machine); // on a clear screen: lights all 120 blocks
        drawFullSprite(machine); // on them, lit: erases them, VF = 1
    }
    if (machine.State.V[15] != 1) state.SkipWithError("the second draw did not collide");
    state.SetItemsProcessed(state.iterations() * 2);
    state.counters["per_draw"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 2,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SpriteAll120BitsClearThenLit);

// ---------------------------------------------------------------------------
// One pass of the run loop on a program that spins on 1200: the delay-timer
// step, one instruction with its opening yield, and the 100 yields after it.
// The host counts yields; every 101st (PassYields + HandlerYields) is one
// pass, and ends the run when the benchmark has had enough.

class PassHost : public SilentHost {
  public:
    benchmark::State* state = nullptr;
    Machine* machine = nullptr;
    void yield() override {
        if (--untilPass_ == 0) [[unlikely]] {
            untilPass_ = PassYields + HandlerYields;
            if (!state->KeepRunning()) machine->EndAllRuns();
        }
    }

  private:
    int untilPass_ = 1; // the first yield starts the clock
};

void BM_RunLoopPass(benchmark::State& state) {
    PassHost host;
    Machine machine(host);
    PlaceWords(machine.State.Memory, {0x1200});
    host.state = &state;
    host.machine = &machine;
    machine.Reset_Click();
    machine.RunDriver();
    state.SetItemsProcessed(state.iterations());
    state.counters["yields_per_pass"] = PassYields + HandlerYields;
}
BENCHMARK(BM_RunLoopPass);

} // namespace
} // namespace kestrel::bench
