#include "standard/standard_interpreter.h"

namespace kestrel {

// The address after the instruction at `at`, whose length the machine's
// instruction table gives: XO-CHIP's F000 NNNN is the one four bytes long.
std::uint32_t StandardInterpreter::after(std::uint32_t at) {
    const auto word = static_cast<std::uint16_t>(memoryAt(at) << 8 | memoryAt(at + 1));
    const debug::InstructionInfo* info = (*decode_)(word);
    return (at + (info != nullptr ? info->length : 2u)) & addressMask_;
}

// The instruction at `pc`; returns the address the run goes on from.
// Decoding is as lenient as the machines were: 5XYN and 9XYN compare whatever
// N is, and a word that means nothing on the machine's instruction set is
// passed over.
inline std::uint32_t StandardInterpreter::execute(std::uint32_t pc) {
    at_ = pc & addressMask_;
    opcode_ = static_cast<std::uint16_t>(memoryAt(at_) << 8 | memoryAt(at_ + 1));
    const std::uint32_t next = (at_ + 2) & addressMask_;
    x_ = (opcode_ >> 8) & 0xF;
    y_ = (opcode_ >> 4) & 0xF;
    const int n = opcode_ & 0xF;
    const auto nn = static_cast<std::uint8_t>(opcode_ & 0xFF);
    const std::uint32_t nnn = opcode_ & 0xFFFu;
    // Asked where needed, not up front: most instructions are CHIP-8's own.
    const auto superChip = [this] { return kind_.extensions.superChip; };
    const auto xoChip = [this] { return kind_.extensions.xoChip; };

    switch (opcode_ >> 12) {
    case 0x0:
        if (opcode_ == 0x00EE) return returnFromCall(next);
        if (opcode_ == 0x00E0 || (opcode_ == 0x0230 && kind_.extensions.twoPage)) {
            clearScreen();
            return next;
        }
        if (!superChip() || x_ != 0) return next;
        if (y_ == 0xC) scroll(0, n);             // 00CN: down
        if (y_ == 0xD && xoChip()) scroll(1, n); // 00DN: up
        if (nn == 0xFB) scroll(2, 4);
        if (nn == 0xFC) scroll(3, 4);
        if (nn == 0xFD) {
            leaveRunning(Status::Ended);
            stopSound();
        }
        if (nn == 0xFE) setMode(false);
        if (nn == 0xFF) setMode(true);
        return next;
    case 0x1: return nnn;
    case 0x2: return call(next, nnn);
    case 0x3: return VX() == nn ? after(next) : next;
    case 0x4: return VX() != nn ? after(next) : next;
    case 0x5:
        if ((n == 2 || n == 3) && xoChip()) {
            n == 2 ? storeRange() : loadRange();
            return next;
        }
        return VX() == VY() ? after(next) : next;
    case 0x6: VX() = nn; return next;
    case 0x7: VX() = static_cast<std::uint8_t>(VX() + nn); return next;
    case 0x8: arithmetic(n); return next;
    case 0x9: return VX() != VY() ? after(next) : next;
    case 0xA: State.IndexReg = nnn; return next;
    case 0xB: return jumpWithOffset();
    case 0xC: // exactly one draw of u in [0, 1); r is the integer part of 256 u
        VX() = static_cast<std::uint8_t>(nn & static_cast<int>(256.0 * draw()));
        return next;
    case 0xD: drawSprite(); return next;
    case 0xE:
        if (nn == 0x9E && keypad_.isDown(VX() & 0xF)) return after(next);
        if (nn == 0xA1 && !keypad_.isDown(VX() & 0xF)) return after(next);
        return next;
    case 0xF: break;
    }
    switch (nn) {
    case 0x00: return xoChip() && x_ == 0 ? loadLongIndex(next) : next;
    case 0x01:
        if (xoChip()) planes_ = x_ & 0x3;
        return next;
    case 0x02:
        if (xoChip() && x_ == 0) loadPattern();
        return next;
    case 0x07: VX() = State.DelayTimer; return next;
    case 0x0A: beginKeyWait(); return next;
    case 0x15: State.DelayTimer = VX(); return next;
    case 0x18: setSoundTimer(VX()); return next;
    case 0x1E: State.IndexReg += VX(); return next;
    case 0x29: State.IndexReg = kind_.fontBase + 5u * (VX() & 0xFu); return next;
    case 0x30:
        // Past the digits the font has, where the digit would be, as on the calculator.
        if (superChip()) State.IndexReg = kind_.fontBase + kind_.font.size() + 10u * (VX() & 0xFu);
        return next;
    case 0x33: storeBcd(); return next;
    case 0x3A:
        if (xoChip()) setPitch(VX());
        return next;
    case 0x55: storeRegisters(); return next;
    case 0x65: loadRegisters(); return next;
    case 0x75:
        if (superChip()) saveFlags();
        return next;
    case 0x85:
        if (superChip()) loadFlags();
        return next;
    default: return next;
    }
}

// Up to `count` instructions, until one ends the frame: a display or key
// wait, 00FD or a fault. Each is decoded inline here, and the program counter
// stays in a register for the frame: handlers that move it take and return it.
void StandardInterpreter::runInstructions(int count) {
    frameEnded_ = false;
    std::uint32_t pc = State.ProgramCounter;
    for (int i = 0; i < count && !frameEnded_; ++i)
        pc = execute(pc);
    State.ProgramCounter = pc;
}

// The same loop with the debugger asked before and told after each
// instruction; the frame stays open when it halts inside.
void StandardInterpreter::runDebuggedInstructions() {
    // The counts are kept in registers for the loop and stored once after it.
    frameEnded_ = false;
    int left = frameLeft_;
    std::uint64_t ran = 0;
    if (hooks_.Quick()) {
        // Up to the first marked address, with what each instruction needs in registers.
        DebugHooks::QuickRun quick = hooks_.BeginQuick();
        const std::uint8_t* memory = State.Memory.data();
        std::uint32_t pc = State.ProgramCounter;
        std::uint32_t last = pc;
        while (left > 0 && !frameEnded_ && quick.marks[pc] == 0) {
            last = pc;
            if (quick.trace != nullptr) {
                const auto word =
                    static_cast<std::uint16_t>(memory[pc] << 8 | memory[(pc + 1) & addressMask_]);
                const auto second = static_cast<std::uint16_t>(
                    memory[(pc + 2) & addressMask_] << 8 | memory[(pc + 3) & addressMask_]);
                DebugHooks::Fill(quick.trace[quick.next], quick.frame, pc, word, second, State);
                quick.next = (quick.next + 1) & (DebugHooks::TraceLength - 1);
            }
            pc = execute(pc);
            --left;
            ++ran;
        }
        State.ProgramCounter = pc;
        hooks_.EndQuick(quick.next, ran, last);
    }
    while (left > 0 && !frameEnded_) {
        if (hooks_.HaltsBefore(State)) break;
        State.ProgramCounter = execute(State.ProgramCounter);
        --left;
        ++ran;
        hooks_.Ran(State);
        if (hooks_.Halted()) break;
    }
    frameLeft_ = left;
    history_.Ran(ran);
    if (frameLeft_ == 0 || frameEnded_) frameOpen_ = false;
}

void StandardInterpreter::replayOne() {
    State.ProgramCounter = execute(State.ProgramCounter);
    --frameLeft_;
    history_.Ran();
}

void StandardInterpreter::ExecuteOne() {
    State.ProgramCounter = execute(State.ProgramCounter);
}

} // namespace kestrel
