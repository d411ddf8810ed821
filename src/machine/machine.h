#pragma once

#include "base/screen_surface.h"
#include "standard/chip8_keypad.h"
#include "base/key_place.h"
#include "standard/standard_interpreter.h"
#include "vm/cadence.h"
#include "base/host.h"
#include "base/platform.h"
#include "base/machine_state.h"
#include "base/random_source.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrel {

namespace testing {
class MachineDoor;
}

// The machine: its state, its screen, and the one way out to the desktop.
// Member functions carry the machine's own names; each is defined in the
// folder of its subsystem (vm/, display/, input/), and the declarations below
// are grouped by the file that defines them.
//
// The public part is what the desktop uses. The cycle, the handlers and the
// run bookkeeping are private; the one door to them is testing::MachineDoor
// (tests/support/machine_door.h), for the benchmarks, the fuzzer and the
// tests that set the surface up directly.
//
// Runs and waits: vm/run_control.cpp states their rules and keeps their
// bookkeeping.
class Machine {
  public:
    // vm/machine.cpp
    explicit Machine(Host& host);
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // machine.h, inline. The whole virtual machine, read and written in place.
    MachineState State;
    const ScreenSurface& Surface() const { return surface_; }
    void SeedRandom(std::uint64_t seed) { random_.Seed(seed); }
    void SeedRandomFromClock() { random_.SeedFromClock(); }
    bool RunActive() const { return driverDepth_ > 0; }
    std::uint64_t RunGeneration() const { return runGeneration_; }
    // The message of the fault that stopped the last run, empty if none.
    const std::string& LastFault() const { return lastFault_; }
    // The machine chosen. A speed, when set, replaces a standard machine's
    // own rate from the next frame; none gives it back. Kestrel's machine
    // keeps its own pace whatever is set.
    const MachineKind& Kind() const { return kind_; }
    void SetSpeed(std::optional<int> instructionsPerFrame) { speed_ = instructionsPerFrame; }
    int Rate() const { return speed_.value_or(kind_.rate); }
    const std::vector<std::uint8_t>& RomCopy() const { return romCopy_; } // the last opened ROM
    // A standard machine's colours for none, plane 1, plane 2 and both; each
    // machine chosen starts with the default ones.
    void SetPalette(const StandardInterpreter::Palette& palette) { standard_.SetPalette(palette); }

    // vm/loader.cpp
    bool LoadRom(const std::string& path); // false: refused and reported, memory untouched
    // The whole file, refused and reported as LoadRom refuses it when it is
    // unreadable or longer than `holder` holds; nothing else changes.
    std::optional<std::vector<std::uint8_t>> ReadRom(const std::string& path,
                                                     const MachineKind& holder);

    // vm/reset.cpp
    void Reset_Click();
    void OpenRom(const std::string& path); // load a chosen file (none: empty) then reset

    // vm/machine_select.cpp
    // Choosing a machine resets on it from the copy of the last opened ROM.
    void SelectMachine(const MachineKind& kind);
    // Opens a ROM already read onto `kind` and resets on it; false, reported
    // (with the platform the ROM was written for, when known), and nothing
    // changed when it is too long for `kind`.
    bool OpenRomOn(const std::string& path, std::vector<std::uint8_t> rom, const MachineKind& kind,
                   const std::string& writtenFor = {});

    // vm/run_control.cpp
    void EndAllRuns(); // Exit: nothing that runs or waits ever continues
    // The run driver: runs whatever run was asked for until none is wanted.
    void RunDriver();

    // vm/timer.cpp
    void Timer1_Timer();
    void StartFrame(); // the host's frame clock: a standard machine runs a frame
    void pausex_Click();

    // input/key_map.cpp
    void LoadDefaultKeyMap();
    // A key's code, and its place in the letter block if it has one. Each
    // key-up carries its key-down's code and place; Kestrel's machine looks
    // at neither, and any key-up releases its one held key.
    void Form_KeyDown(int keyCode, KeyPlace place = {});
    void Form_KeyUp(int keyCode = 0, KeyPlace place = {});
    void Form_Deactivate(); // the window lost the focus: every held key goes up

    // input/remap.cpp
    void Command1_Click(int Index);

  private:
    friend class testing::MachineDoor;

    // machine.h, inline.
    // Yield, then tell whether the run (or wait) that began at `generation`
    // is still current.
    bool yieldFor(std::uint64_t generation) {
        host_.yield();
        return runGeneration_ == generation;
    }
    bool idleYieldFor(std::uint64_t generation) {
        host_.idleYield();
        return runGeneration_ == generation;
    }
    bool handlerStillCurrent() const { return runGeneration_ == handlerRun_; }
    std::uint8_t& VX() { return State.V[State.Nibble2]; }
    std::uint8_t& VY() { return State.V[State.Nibble3]; }
    std::uint8_t& VF() { return State.V[15]; }
    std::uint8_t NN() const {
        return static_cast<std::uint8_t>(State.Nibble3 << 4 | State.Nibble4);
    }
    std::uint32_t NNN() const {
        return static_cast<std::uint32_t>(State.Nibble2 << 8 | State.Nibble3 << 4 | State.Nibble4);
    }
    bool standard() const { return kind_.rules == Rules::Chip8; }

    // vm/run_control.cpp
    void startNewRun(); // Reset's: abandon the current run and ask for one
    // Stop the run at a bad access: nothing of it continues, and the driver
    // reports the message once the run has unwound.
    void stopRun(const std::string& what);
    void beginKeyWait();
    void endKeyWait(bool completed); // completed: the wait got its key in a current run
    bool abandonedKeyWaits() const;  // some key wait on the stack belongs to an abandoned run
    bool beginRemapWait(std::size_t button); // true: entered while no run was active
    void endRemapWait(std::size_t button, bool idle);

    // vm/machine_select.cpp
    void restartStandard(); // the copy of the ROM run afresh, or nothing when it does not fit

    // vm/loader.cpp
    static std::string loadRefusal(const std::string& path, const std::string& reason);
    static std::string tooLongReason(const MachineKind& kind, long long length,
                                     const std::string& writtenFor = {});

    // vm/machine.cpp
    void stopRunAtAddress(std::uint64_t address); // the current instruction went outside Memory
    std::string instructionName() const;

    // vm/cycle.cpp
    using Handler = void (Machine::*)();
    void start_cpu();
    bool getopcode();
    void dispatch(Handler handler);
    void Interpret();

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
    void GetDelayTimerIntoReg();
    void SetDelayTimer();
    void SetSoundTimer();

    // display/clear_screen.cpp
    void ClearScreen();

    // display/sprite.cpp
    void DrawSprite();
    void drawscreen();

    // input/key_map.cpp
    int chip8KeyOf(int keyCode, KeyPlace place) const;

    // input/keypad.cpp
    bool keyMatches();
    void SkipIfKeyPressed();
    void SkipIfKeyNotPressed();
    void WaitForKeyPress();

    // Data.
    Host& host_;
    ScreenSurface surface_;
    RandomSource random_;
    // Working values of one sprite draw; they carry nothing between sprites.
    std::uint8_t SpriteRow = 0;
    int SpriteBit = 0;
    int SpriteX = 0;
    int SpriteY = 0;
    // Runs and waits: written in vm/run_control.cpp only.
    std::uint64_t runGeneration_ = 0;
    std::uint64_t handlerRun_ = 0; // the generation of the run now executing
    bool runWanted_ = false;
    int driverDepth_ = 0;
    int idleWaits_ = 0; // remap waits entered while no run was active
    // FX0A and remap waits now on the stack, of any run, and the generation
    // of the oldest of them.
    int keyWaits_ = 0;
    std::uint64_t oldestKeyWaitRun_ = 0;
    // The generation in which each remap button's wait began, while it waits.
    std::array<std::optional<std::uint64_t>, KeypadKeys> buttonWaits_{};
    // The machine chosen, and the standard machines' interpreter.
    MachineKind kind_ = KestrelMachine;
    std::optional<int> speed_;
    std::vector<std::uint8_t> romCopy_; // the last opened ROM, as read
    std::string romPath_;
    Chip8Keypad keypad_; // the standard machines' sixteen keys
    // SUPER-CHIP's and XO-CHIP's flag registers: kept while Kestrel runs,
    // across programs and machines, as the calculator kept them.
    std::array<std::uint8_t, 16> flagRegisters_{};
    StandardInterpreter standard_{State, kind_, host_, random_, keypad_, surface_, flagRegisters_};
    // Faults.
    std::uint32_t instructionAddress_ = 0;
    std::string pendingFault_;
    std::string lastFault_;
};

} // namespace kestrel
