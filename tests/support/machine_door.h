#pragma once

#include "machine/machine.h"

namespace kestrel::testing {

// The one way into the machine's private part, declared a friend in machine.h.
// Only what the benchmarks, the fuzzer and the tests that set the screen up
// directly need; everything else goes through the public contract.
class MachineDoor {
  public:
    // The benchmarks time one instruction and one sprite by themselves.
    static void Interpret(Machine& machine) { machine.kestrel_.Interpret(); }
    static void DrawSprite(Machine& machine) { machine.kestrel_.DrawSprite(); }
    // The fuzzer checks the sprite painter's bit index stays within a byte.
    static int SpriteBit(const Machine& machine) { return machine.kestrel_.SpriteBitIndex(); }
    // Tests paint blocks before a run, as a program that drew them would.
    static ScreenSurface& Surface(Machine& machine) { return machine.surface_; }
    // The key tests read which of the standard machines' sixteen keys are down.
    static const Chip8Keypad& Keypad(const Machine& machine) { return machine.standard_.Keypad(); }
    // The fuzzer checks a standard machine's status and screen after each frame.
    static const StandardInterpreter& Standard(const Machine& machine) { return machine.standard_; }
    // The benchmarks time single instructions of a standard machine.
    static void StandardStep(Machine& machine) { machine.standard_.step(); }
};

} // namespace kestrel::testing
