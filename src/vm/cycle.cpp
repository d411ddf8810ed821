#include "base/texts.h"
#include "vm/cadence.h"
#include "vm/kestrel_interpreter.h"

namespace kestrel {

void KestrelInterpreter::start_cpu() {
    const std::uint64_t run = runs_.Generation();
    for (;;) {
        // Asked once a pass: with no debugger attached, the pass is as it always was.
        const bool debugged = hooks_.Attached();
        if (debugged && !haltedPassOver(run)) return;
        // Above 1, not 0: the last step to 0 is left to the tick.
        if (State.DelayTimer > 1) --State.DelayTimer;
        if (!State.Paused) {
            Interpret();
            if (runs_.Generation() != run) return;
            if (debugged) hooks_.Ran(State);
        }
        for (int i = 0; i < PassYields; ++i) {
            if (State.Paused) {
                if (!runs_.IdleYieldFor(run)) return;
            } else if (!runs_.YieldFor(run)) {
                return;
            }
        }
    }
}

// While the debugger holds the program, the run waits at the top of its pass
// in idle yields: no instruction runs and the delay timer stands still.
bool KestrelInterpreter::haltedPassOver(std::uint64_t run) {
    if (State.Paused) return true;
    while (hooks_.Halted() || hooks_.HaltsBefore(State)) {
        host_.stopTone();
        if (!runs_.IdleYieldFor(run)) return false;
    }
    return true;
}

namespace {

std::string fetchOutsideMemory(std::uint32_t pc) {
    const std::uint64_t outside = pc > LastAddress ? pc : pc + 1;
    return "The instruction fetch at address " + std::to_string(pc) + " would read address " +
           std::to_string(outside) + ", outside memory " +
           MemoryRangeText(KestrelMachine.memorySize) + ".";
}

} // namespace

// Reads the instruction at the program counter into the four nibbles and
// moves the counter past it.
bool KestrelInterpreter::getopcode() {
    const std::uint32_t pc = State.ProgramCounter;
    if (pc > LastAddress - 1) {
        runs_.StopRun(fetchOutsideMemory(pc));
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

void KestrelInterpreter::stopRunAtAddress(std::uint64_t address) {
    runs_.StopRun(instructionText() + " reached address " + std::to_string(address) +
                  ", outside memory " + MemoryRangeText(KestrelMachine.memorySize) + ".");
}

std::string KestrelInterpreter::instructionText() const {
    const auto word = static_cast<std::uint16_t>(State.Nibble1 << 12 | State.Nibble2 << 8 |
                                                 State.Nibble3 << 4 | State.Nibble4);
    return InstructionText(word, instructionAddress_);
}

// Every handler but DrawSprite begins with one yield; it is made here, once.
static_assert(HandlerYields == 1, "dispatch makes the handler's one opening yield");
inline void KestrelInterpreter::dispatch(Handler handler) {
    host_.yield();
    if (runs_.HandlerStillCurrent()) (this->*handler)();
}

// Only the nibbles of the instruction table are examined; an instruction that
// matches no row is passed over without a yield or a message.
void KestrelInterpreter::Interpret() {
    instructionAddress_ = State.ProgramCounter;
    if (!getopcode()) return;
    const std::uint8_t n3 = State.Nibble3;
    const std::uint8_t n4 = State.Nibble4;
    switch (State.Nibble1) {
    case 0x0:
        if (n3 == 0xE && n4 == 0x0) return dispatch(&KestrelInterpreter::ClearScreen);
        if (n3 == 0xE && n4 == 0xE) return dispatch(&KestrelInterpreter::ReturnFromSub);
        return;
    case 0x1: return dispatch(&KestrelInterpreter::JumpToAddress);
    case 0x2: return dispatch(&KestrelInterpreter::JumpToSub);
    case 0x3: return dispatch(&KestrelInterpreter::SkipIfRegEqual);
    case 0x4: return dispatch(&KestrelInterpreter::SkipIfRegNotEqual);
    case 0x5: return dispatch(&KestrelInterpreter::SkipIfRegEqualReg);
    case 0x6: return dispatch(&KestrelInterpreter::LoadRegWithConstant);
    case 0x7: return dispatch(&KestrelInterpreter::AddConstantToReg);
    case 0x8:
        switch (n4) {
        case 0x0: return dispatch(&KestrelInterpreter::LoadRegWithReg);
        case 0x1: return dispatch(&KestrelInterpreter::OrRegWithReg);
        case 0x2: return dispatch(&KestrelInterpreter::AndRegWithReg);
        case 0x3: return dispatch(&KestrelInterpreter::XorRegWithReg);
        case 0x4: return dispatch(&KestrelInterpreter::AddRegToReg);
        case 0x5: return dispatch(&KestrelInterpreter::SubRegFromReg);
        case 0x6: return dispatch(&KestrelInterpreter::ShiftRegRight);
        case 0x7: return dispatch(&KestrelInterpreter::RSubRegFromReg);
        case 0xE: return dispatch(&KestrelInterpreter::ShiftRegLeft);
        default: return;
        }
    case 0x9: return dispatch(&KestrelInterpreter::SkipIfRegNotEqualReg);
    case 0xA: return dispatch(&KestrelInterpreter::LoadIndexWithConstant);
    case 0xB: return dispatch(&KestrelInterpreter::JumpToAddressPlusReg0);
    case 0xC: return dispatch(&KestrelInterpreter::CreateRandomNumber);
    case 0xD: return DrawSprite(); // one step, no yield
    case 0xE:
        if (n3 == 0x9) return dispatch(&KestrelInterpreter::SkipIfKeyPressed);
        if (n3 == 0xA) return dispatch(&KestrelInterpreter::SkipIfKeyNotPressed);
        return;
    case 0xF:
        switch (n3) {
        case 0x0:
            if (n4 == 0x7) return dispatch(&KestrelInterpreter::GetDelayTimerIntoReg);
            if (n4 == 0xA) return dispatch(&KestrelInterpreter::WaitForKeyPress);
            return;
        case 0x1:
            if (n4 == 0x5) return dispatch(&KestrelInterpreter::SetDelayTimer);
            if (n4 == 0x8) return dispatch(&KestrelInterpreter::SetSoundTimer);
            if (n4 == 0xE) return dispatch(&KestrelInterpreter::AddRegToIndex);
            return;
        case 0x2: return dispatch(&KestrelInterpreter::PointIndexToFont);
        case 0x3: return dispatch(&KestrelInterpreter::StoreBCD);
        case 0x5: return dispatch(&KestrelInterpreter::StoreRegsAtIndex);
        case 0x6: return dispatch(&KestrelInterpreter::LoadRegsFromIndex);
        default: return;
        }
    default: return;
    }
}

} // namespace kestrel
