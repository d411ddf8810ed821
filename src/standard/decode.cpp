#include "standard/standard_interpreter.h"

namespace kestrel {

// XO-CHIP's F000 NNNN is the one instruction four bytes long.
void StandardInterpreter::skip() {
    const bool longLoad = has(InstructionSet::XoChip) && memoryAt(State.ProgramCounter) == 0xF0 &&
                          memoryAt(State.ProgramCounter + 1) == 0x00;
    State.ProgramCounter = (State.ProgramCounter + (longLoad ? 4 : 2)) & addressMask_;
}

// One instruction. Decoding is as lenient as the machines were: 5XYN and
// 9XYN compare whatever N is, and a word that means nothing on the machine's
// instruction set is passed over.
void StandardInterpreter::step() {
    at_ = State.ProgramCounter & addressMask_;
    opcode_ = static_cast<std::uint16_t>(memoryAt(at_) << 8 | memoryAt(at_ + 1));
    State.ProgramCounter = (at_ + 2) & addressMask_;
    x_ = (opcode_ >> 8) & 0xF;
    y_ = (opcode_ >> 4) & 0xF;
    const int n = opcode_ & 0xF;
    const auto nn = static_cast<std::uint8_t>(opcode_ & 0xFF);
    const std::uint32_t nnn = opcode_ & 0xFFFu;
    const bool superChip = has(InstructionSet::SuperChip);
    const bool xoChip = has(InstructionSet::XoChip);

    switch (opcode_ >> 12) {
    case 0x0:
        if (opcode_ == 0x00E0) return clearScreen();
        if (opcode_ == 0x00EE) return returnFromCall();
        if (!superChip || x_ != 0) return;
        if (y_ == 0xC) return scroll(0, n);           // 00CN: down
        if (y_ == 0xD && xoChip) return scroll(1, n); // 00DN: up
        if (nn == 0xFB) return scroll(2, 4);
        if (nn == 0xFC) return scroll(3, 4);
        if (nn == 0xFD) {
            status_ = Status::Ended;
            return stopSound();
        }
        if (nn == 0xFE) return setMode(false);
        if (nn == 0xFF) return setMode(true);
        return;
    case 0x1: State.ProgramCounter = nnn; return;
    case 0x2: return call(nnn);
    case 0x3:
        if (VX() == nn) skip();
        return;
    case 0x4:
        if (VX() != nn) skip();
        return;
    case 0x5:
        if (xoChip && n == 2) return storeRange();
        if (xoChip && n == 3) return loadRange();
        if (VX() == VY()) skip();
        return;
    case 0x6: VX() = nn; return;
    case 0x7: VX() = static_cast<std::uint8_t>(VX() + nn); return;
    case 0x8: return arithmetic(n);
    case 0x9:
        if (VX() != VY()) skip();
        return;
    case 0xA: State.IndexReg = nnn; return;
    case 0xB: return jumpWithOffset();
    case 0xC: // exactly one draw of u in [0, 1); r is the integer part of 256 u
        VX() = static_cast<std::uint8_t>(nn & static_cast<int>(256.0 * random_.NextUniform()));
        return;
    case 0xD: return drawSprite();
    case 0xE:
        if (nn == 0x9E && keypad_.isDown(VX() & 0xF)) skip();
        if (nn == 0xA1 && !keypad_.isDown(VX() & 0xF)) skip();
        return;
    default: break;
    }
    switch (nn) {
    case 0x00:
        if (xoChip && x_ == 0) loadLongIndex();
        return;
    case 0x01:
        if (xoChip) planes_ = x_ & 0x3;
        return;
    case 0x02:
        if (xoChip && x_ == 0) loadPattern();
        return;
    case 0x07: VX() = State.DelayTimer; return;
    case 0x0A: return beginKeyWait();
    case 0x15: State.DelayTimer = VX(); return;
    case 0x18: return setSoundTimer(VX());
    case 0x1E: State.IndexReg += VX(); return;
    case 0x29: State.IndexReg = kind_.fontBase + 5u * (VX() & 0xFu); return;
    case 0x30:
        // Past the digits the font has, where the digit would be, as on the calculator.
        if (superChip) State.IndexReg = kind_.fontBase + sizeof Chip8Font + 10u * (VX() & 0xFu);
        return;
    case 0x33: return storeBcd();
    case 0x3A:
        if (xoChip) setPitch(VX());
        return;
    case 0x55: return storeRegisters();
    case 0x65: return loadRegisters();
    case 0x75:
        if (superChip) saveFlags();
        return;
    case 0x85:
        if (superChip) loadFlags();
        return;
    default: return;
    }
}

} // namespace kestrel
