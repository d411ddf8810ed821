#pragma once

#include "base/debug_hooks.h"
#include "base/host.h"
#include "base/interpreter.h"
#include "base/machine_state.h"
#include "base/random_source.h"
#include "base/run_control.h"
#include "base/screen_surface.h"

#include <cstdint>
#include <string>

namespace kestrel {

// Kestrel's own machine: its run loop, its handlers and its yields, on the
// surface as the record of the screen. Member functions carry the machine's
// own names; each is defined in the folder of its subsystem (vm/, display/,
// input/), and the declarations below are grouped by the file that defines
// them. The key map, the keys and the remap buttons are its own too, and
// serve every machine.
//
// It holds the machine state, the surface and the run control by value, so
// that its handlers reach them without an indirection; the Machine lends them
// to the standard interpreter, which never runs at the same time.
class KestrelInterpreter final : public Interpreter {
  public:
    KestrelInterpreter(Host& host, RandomSource& random, DebugHooks& hooks)
        : host_(host), random_(random), hooks_(hooks), runs_(host, hooks) {}
    KestrelInterpreter(const KestrelInterpreter&) = delete;
    KestrelInterpreter& operator=(const KestrelInterpreter&) = delete;

    MachineState State;
    ScreenSurface& Surface() { return surface_; }
    RunControl& Runs() { return runs_; }

    // Interpreter.
    void Chosen(std::span<const std::uint8_t> rom) override;  // vm/reset.cpp
    void RomRead(std::span<const std::uint8_t> rom) override; // vm/reset.cpp
    void Reset(std::span<const std::uint8_t> rom) override;   // vm/reset.cpp
    void Run() override { start_cpu(); }
    void Tick() override { Timer1_Timer(); }
    void Frame(int) override {}
    void PauseChanged() override {}
    bool WaitingForKey() const override { return false; } // its waits are the run control's

    // vm/cycle.cpp
    void Interpret(); // one instruction: the benchmarks time it alone

    // display/sprite.cpp
    void DrawSprite();
    // The sprite painter's bit index, which stays within a byte.
    int SpriteBitIndex() const { return SpriteBit; }

    // input/key_map.cpp
    void LoadDefaultKeyMap();
    void Form_KeyDown(int keyCode);
    void Form_KeyUp();

    // input/remap.cpp
    void Command1_Click(int Index);

  private:
    std::uint8_t& VX() { return State.V[State.Nibble2]; }
    std::uint8_t& VY() { return State.V[State.Nibble3]; }
    std::uint8_t& VF() { return State.V[15]; }
    std::uint8_t NN() const {
        return static_cast<std::uint8_t>(State.Nibble3 << 4 | State.Nibble4);
    }
    std::uint32_t NNN() const {
        return static_cast<std::uint32_t>(State.Nibble2 << 8 | State.Nibble3 << 4 | State.Nibble4);
    }

    // vm/cycle.cpp
    using Handler = void (KestrelInterpreter::*)();
    void start_cpu();
    // A debugger attached: false once the run is gone while halted.
    bool haltedPassOver(std::uint64_t run);
    bool getopcode();
    void dispatch(Handler handler);
    void stopRunAtAddress(std::uint64_t address); // the current instruction went outside Memory
    std::string instructionText() const;          // "Instruction 2345 at address 512"

    // vm/flow.cpp
    void JumpToAddress();
    void JumpToSub();
    void ReturnFromSub();
    void JumpToAddressPlusReg0();
    void SkipIfRegEqual();
    void SkipIfRegNotEqual();
    void SkipIfRegEqualReg();
    void SkipIfRegNotEqualReg();

    // vm/arithmetic.cpp
    void LoadRegWithConstant();
    void AddConstantToReg();
    void LoadRegWithReg();
    void OrRegWithReg();
    void AndRegWithReg();
    void XorRegWithReg();
    void AddRegToReg();
    void SubRegFromReg();
    void RSubRegFromReg();
    void ShiftRegRight();
    void ShiftRegLeft();
    void CreateRandomNumber();

    // vm/index_memory.cpp
    void LoadIndexWithConstant();
    void AddRegToIndex();
    void PointIndexToFont();
    void StoreBCD();
    void StoreRegsAtIndex();
    void LoadRegsFromIndex();

    // vm/timer.cpp
    void Timer1_Timer();
    void GetDelayTimerIntoReg();
    void SetDelayTimer();
    void SetSoundTimer();

    // display/clear_screen.cpp
    void ClearScreen();

    // display/sprite.cpp
    void drawscreen();

    // input/keypad.cpp
    bool keyMatches();
    void SkipIfKeyPressed();
    void SkipIfKeyNotPressed();
    void WaitForKeyPress();

    Host& host_;
    ScreenSurface surface_;
    RandomSource& random_;
    DebugHooks& hooks_;
    RunControl runs_;
    // Working values of one sprite draw; they carry nothing between sprites.
    std::uint8_t SpriteRow = 0;
    int SpriteBit = 0;
    int SpriteX = 0;
    int SpriteY = 0;
    std::uint32_t instructionAddress_ = 0; // for a fault's message
};

} // namespace kestrel
