// Proves that the machine allocates nothing on the heap while it runs: not per
// instruction, not per yield, not per sprite. Every allocation this binary
// makes goes through the replaced operator new below and is counted while
// the counter is on.

#include "machine/machine.h"
#include "support/passes.h"
#include "support/program_bytes.h"
#include "support/silent_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {

bool counting = false; // one thread: no atomics needed
std::uint64_t allocations = 0;

void* allocate(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    if (counting) ++allocations;
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    if (void* p = std::aligned_alloc(align, rounded == 0 ? align : rounded)) return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocateAligned(size, alignment);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace kestrel {
namespace {

// Every kind of instruction the machine knows, in one loop that never ends
// and never leaves memory: screen (00E0, DXYN on a clear and on a lit
// screen, a font digit), arithmetic, random, skips taken and not, timers and
// the tone, keys and the wait for a key, index and memory, call and return,
// both jumps, and words that match no row.
const std::vector<std::uint16_t> EveryKind = {
    0x00E0,                 // 200 clear
    0x6A08,                 // 202 VA := 8
    0x6B04,                 // 204 VB := 4
    0xA300,                 // 206 I := 300 (fifteen FF rows)
    0xDABF,                 // 208 draw 120 blocks on a clear screen
    0xDABF,                 // 20A and again over them: every block collides
    0x6007,                 // 20C V0 := 7
    0xF029,                 // 20E I := digit 7 of the font
    0xDAB5,                 // 210 draw it
    0xC1FF,                 // 212 V1 := random
    0x7101,                 // 214 V1 += 1
    0x8210,                 // 216 V2 := V1
    0x8211,                 // 218 V2 |= V1
    0x8212,                 // 21A V2 &= V1
    0x8213,                 // 21C V2 ^= V1
    0x8214,                 // 21E V2 += V1
    0x8215,                 // 220 V2 -= V1
    0x8216,                 // 222 V2 >>= 1
    0x8217,                 // 224 V2 := V1 - V2
    0x821E,                 // 226 V2 <<= 1
    0x8218,                 // 228 matches no row
    0x0123,                 // 22A matches no row
    0x3200,                 // 22C skip if V2 = 0
    0x4200,                 // 22E skip if V2 != 0
    0x5120,                 // 230 skip if V1 = V2
    0x9120,                 // 232 skip if V1 != V2
    0x7C01,                 // 234 VC += 1 (sometimes skipped)
    0x6303,                 // 236 V3 := 3
    0xF315,                 // 238 delay := V3
    0xF318,                 // 23A sound := V3
    0xF407,                 // 23C V4 := delay
    0xF50A,                 // 23E wait for a key into V5
    0xE39E,                 // 240 skip if key V3 held (it was let go after the wait)
    0xE3A1,                 // 242 skip if key V3 not held
    0x7D01,                 // 244 VD += 1 (always skipped)
    0xA400,                 // 246 I := 400
    0xF51E,                 // 248 I += V5
    0xF233,                 // 24A BCD of V2 at I
    0xF355,                 // 24C store V0..V3 at I
    0xF365,                 // 24E load V0..V3 from I
    0x2260,                 // 250 call 260
    0x6000,                 // 252 V0 := 0
    0xB258,                 // 254 jump 258 + V0
    0x0000,                 // 256 (jumped over)
    0x1200,                 // 258 back to the top
    0x0000, 0x0000, 0x0000, // 25A..25E
    0x7E01,                 // 260 VE += 1
    0x00EE,                 // 262 return
};

// A Host that does nothing of its own. Inside its yields the test plays the
// desktop: a timer tick now and then, and a key pressed while the machine
// waits for one (released at the next yield), so that FX0A completes.
class DesktopHost : public testing::SilentHost {
  public:
    Machine* machine = nullptr;
    std::uint64_t yields = 0;
    std::uint64_t yieldLimit = 0;
    std::uint64_t keyWaits = 0;

    void yield() override {
        if (keyDown_) {
            machine->Form_KeyUp();
            keyDown_ = false;
        }
        if (++yields % 1700 == 0) machine->Timer1_Timer();
        if (yields == yieldLimit) machine->EndAllRuns();
    }
    void idleYield() override {
        ++keyWaits;
        machine->Form_KeyDown(machine->State.KeyMap[3]);
        keyDown_ = true;
        ++yields;
    }
    void tone(int, int) override { ++tones; }

    int tones = 0;

  private:
    bool keyDown_ = false;
};

TEST(Allocations, CounterSeesAnAllocationMadeWhileCounting) {
    counting = true;
    const std::uint64_t before = allocations;
    auto* probe = new std::vector<int>(100);
    counting = false;
    delete probe;
    EXPECT_EQ(allocations - before, 2u) << "the vector object and its storage";
}

TEST(Allocations, TenThousandPassesOfEveryKindAllocateNothing) {
    DesktopHost host;
    Machine machine(host);
    host.machine = &machine;
    machine.LoadDefaultKeyMap();
    testing::PlaceWords(machine.State.Memory, EveryKind);
    for (std::uint32_t k = 0; k < 15; ++k)
        machine.State.Memory[0x300 + k] = 0xFF;

    // Most passes make an opening yield and the loop's 100; sprites and words
    // that match no row make 100, so the limit is reached after more passes.
    constexpr std::uint64_t Passes = 10000;
    host.yieldLimit = testing::YieldsOfPasses(Passes);

    allocations = 0;
    counting = true;
    machine.Reset_Click();
    machine.RunDriver();
    counting = false;

    EXPECT_EQ(allocations, 0u);
    // The run went all the way: no fault stopped it, and it went round the
    // loop, through every instruction, more than two hundred times.
    EXPECT_EQ(machine.LastFault(), "");
    EXPECT_EQ(host.yields, host.yieldLimit);
    const std::uint64_t rounds = host.keyWaits;
    EXPECT_GE(rounds, 200u);
    EXPECT_GT(host.tones, 0);
    // Each round's wait stores keypad key 3, and its call adds one to VE; the
    // last round may have ended between the two.
    EXPECT_EQ(machine.State.V[5], 3);
    EXPECT_EQ(machine.State.V[13], 0);
    const auto ve = machine.State.V[14];
    EXPECT_TRUE(ve == static_cast<std::uint8_t>(rounds) ||
                ve == static_cast<std::uint8_t>(rounds - 1))
        << "VE " << int{ve} << " after " << rounds << " rounds";
}

} // namespace
} // namespace kestrel
