#include "machine/machine.h"

namespace kestrel {

void Machine::start_cpu() {
    const std::uint64_t run = runGeneration_;
    for (;;) {
        // Above 1, not 0: the last step to 0 is left to the tick.
        if (State.DelayTimer > 1) --State.DelayTimer;
        if (!State.Paused) {
            Interpret();
            if (runGeneration_ != run) return;
        }
        for (int i = 0; i < PassYields; ++i) {
            if (State.Paused) {
                if (!idleYieldFor(run)) return;
            } else if (!yieldFor(run)) {
                return;
            }
        }
    }
}

namespace {

std::string fetchOutsideMemory(std::uint32_t pc) {
    const std::uint64_t outside = pc > LastAddress ? pc : pc + 1;
    return "The instruction fetch at address " + std::to_string(pc) + " would read address " +
           std::to_string(outside) + ", outside memory (0..8192).";
}

} // namespace

// Reads the instruction at the program counter into the four nibbles and
// moves the counter past it.
bool Machine::getopcode() {
    const std::uint32_t pc = State.ProgramCounter;
    if (pc > LastAddress - 1) {
        stopRun(fetchOutsideMemory(pc));
        return false;
    }
    const std::uint8_t b1 = State.Memory[pc];
    const std::uint8_t b2 = State.Memory[pc + 1];
    State.Nibble1 = b1 >> 4;
    State.Nibble2 = b1 & 0x0F;
    State.Nibble3 = b2 >> 4;
    State.Nibble4 = b2 & 0x0F;
    State.ProgramCounter = pc + 2;
    return true;
}

// Every handler but DrawSprite begins with one yield; it is made here, once.
static_assert(HandlerYields == 1, "dispatch makes the handler's one opening yield");
inline void Machine::dispatch(Handler handler) {
    host_.yield();
    if (handlerStillCurrent()) (this->*handler)();
}

// Only the nibbles of the instruction table are examined; an instruction that
// matches no row is passed over without a yield or a message.
void Machine::Interpret() {
    instructionAddress_ = State.ProgramCounter;
    if (!getopcode()) return;
    const std::uint8_t n3 = State.Nibble3;
    const std::uint8_t n4 = State.Nibble4;
    switch (State.Nibble1) {
    case 0x0:
        if (n3 == 0xE && n4 == 0x0) return dispatch(&Machine::ClearScreen);
        if (n3 == 0xE && n4 == 0xE) return dispatch(&Machine::ReturnFromSub);
        return;
    case 0x1: return dispatch(&Machine::JumpToAddress);
    case 0x2: return dispatch(&Machine::JumpToSub);
    case 0x3: return dispatch(&Machine::SkipIfRegEqual);
    case 0x4: return dispatch(&Machine::SkipIfRegNotEqual);
    case 0x5: return dispatch(&Machine::SkipIfRegEqualReg);
    case 0x6: return dispatch(&Machine::LoadRegWithConstant);
    case 0x7: return dispatch(&Machine::AddConstantToReg);
    case 0x8:
        switch (n4) {
        case 0x0: return dispatch(&Machine::LoadRegWithReg);
        case 0x1: return dispatch(&Machine::OrRegWithReg);
        case 0x2: return dispatch(&Machine::AndRegWithReg);
        case 0x3: return dispatch(&Machine::XorRegWithReg);
        case 0x4: return dispatch(&Machine::AddRegToReg);
        case 0x5: return dispatch(&Machine::SubRegFromReg);
        case 0x6: return dispatch(&Machine::ShiftRegRight);
        case 0x7: return dispatch(&Machine::RSubRegFromReg);
        case 0xE: return dispatch(&Machine::ShiftRegLeft);
        default: return;
        }
    case 0x9: return dispatch(&Machine::SkipIfRegNotEqualReg);
    case 0xA: return dispatch(&Machine::LoadIndexWithConstant);
    case 0xB: return dispatch(&Machine::JumpToAddressPlusReg0);
    case 0xC: return dispatch(&Machine::CreateRandomNumber);
    case 0xD: return DrawSprite(); // one step, no yield
    case 0xE:
        if (n3 == 0x9) return dispatch(&Machine::SkipIfKeyPressed);
        if (n3 == 0xA) return dispatch(&Machine::SkipIfKeyNotPressed);
        return;
    case 0xF:
        switch (n3) {
        case 0x0:
            if (n4 == 0x7) return dispatch(&Machine::GetDelayTimerIntoReg);
            if (n4 == 0xA) return dispatch(&Machine::WaitForKeyPress);
            return;
        case 0x1:
            if (n4 == 0x5) return dispatch(&Machine::SetDelayTimer);
            if (n4 == 0x8) return dispatch(&Machine::SetSoundTimer);
            if (n4 == 0xE) return dispatch(&Machine::AddRegToIndex);
            return;
        case 0x2: return dispatch(&Machine::PointIndexToFont);
        case 0x3: return dispatch(&Machine::StoreBCD);
        case 0x5: return dispatch(&Machine::StoreRegsAtIndex);
        case 0x6: return dispatch(&Machine::LoadRegsFromIndex);
        default: return;
        }
    default: return;
    }
}

} // namespace kestrel
