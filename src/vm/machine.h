#pragma once

#include "display/screen_surface.h"
#include "vm/cadence.h"
#include "vm/host.h"
#include "vm/machine_state.h"
#include "vm/random_source.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrel {

// The machine: its state, its screen, and the one way out to the desktop.
// Member functions carry the machine's own names; each is defined in the
// folder of its subsystem (vm/, display/, input/).
//
// Runs: Reset_Click starts a new run by bumping RunGeneration. Every yield is
// followed by a look at the generation; a loop that sees it change returns at
// once, so an abandoned run executes nothing more and its waits store nothing.
// Runs are entered only from RunDriver, called from the top of the event loop,
// so the native stack never grows with resets.
class Machine {
  public:
    explicit Machine(Host& host);
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    MachineState State;
    ScreenSurface Surface;
    RandomSource Random;

    // Start-up and menu commands.
    void LoadDefaultKeyMap();
    bool LoadRom(const std::string& path); // false: refused and reported, memory untouched
    void Reset_Click();
    void OpenRom(const std::string& path); // load a chosen file (none: empty) then reset
    void pausex_Click() { State.Paused = !State.Paused; }
    void EndAllRuns(); // Exit: nothing that runs or waits ever continues

    // The run driver: runs whatever run was asked for until none is wanted.
    void RunDriver();
    bool RunActive() const { return driverDepth_ > 0; }
    std::uint64_t RunGeneration() const { return runGeneration_; }

    // Events from the desktop.
    void Timer1_Timer();
    void Form_KeyDown(int keyCode);
    void Form_KeyUp();
    void Command1_Click(int Index);

    // The instruction cycle.
    void start_cpu();
    bool getopcode();
    void Interpret();

    // Instruction handlers.
    void ClearScreen();
    void DrawSprite();
    void drawscreen();
    void ReturnFromSub();
    void JumpToAddress();
    void JumpToSub();
    void SkipIfRegEqual();
    void SkipIfRegNotEqual();
    void SkipIfRegEqualReg();
    void SkipIfRegNotEqualReg();
    void JumpToAddressPlusReg0();
    void LoadRegWithConstant();
    void AddConstantToReg();
    void LoadRegWithReg();
    void OrRegWithReg();
    void AndRegWithReg();
    void XorRegWithReg();
    void AddRegToReg();
    void SubRegFromReg();
    void ShiftRegRight();
    void RSubRegFromReg();
    void ShiftRegLeft();
    void CreateRandomNumber();
    void LoadIndexWithConstant();
    void AddRegToIndex();
    void PointIndexToFont();
    void StoreBCD();
    void StoreRegsAtIndex();
    void LoadRegsFromIndex();
    void GetDelayTimerIntoReg();
    void SetDelayTimer();
    void SetSoundTimer();
    void SkipIfKeyPressed();
    void SkipIfKeyNotPressed();
    void WaitForKeyPress();

    // Working values of one sprite draw; they carry nothing between sprites.
    std::uint8_t SpriteRow = 0;
    int SpriteBit = 0;
    int SpriteX = 0;
    int SpriteY = 0;

    // The message of the fault that stopped the last run, empty if none.
    const std::string& LastFault() const { return lastFault_; }

  private:
    using Handler = void (Machine::*)();
    void dispatch(Handler handler);

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

    // The status label while FX0A or a remap button waits for a key. A wait
    // that ends empties it only when no other wait goes on beneath it.
    static const std::string WaitingText;
    void beginKeyWait();
    void endKeyWait(bool completed);

    // Stop the run at a bad access: nothing of it continues, and the driver
    // reports the message once the run has unwound.
    void stopRun(const std::string& what);
    void stopRunAtAddress(std::uint64_t address); // the current instruction went outside Memory
    std::string instructionName() const;

    std::uint8_t& VX() { return State.V[State.Nibble2]; }
    std::uint8_t& VY() { return State.V[State.Nibble3]; }
    std::uint8_t& VF() { return State.V[15]; }
    std::uint8_t NN() const {
        return static_cast<std::uint8_t>(State.Nibble3 << 4 | State.Nibble4);
    }
    std::uint32_t NNN() const {
        return static_cast<std::uint32_t>(State.Nibble2 << 8 | State.Nibble3 << 4 | State.Nibble4);
    }

    Host& host_;
    std::uint64_t runGeneration_ = 0;
    std::uint64_t handlerRun_ = 0; // the generation of the run now executing
    bool runWanted_ = false;
    int driverDepth_ = 0;
    int idleWaits_ = 0; // remap waits entered while no run was active
    // FX0A and remap waits of the run keyWaitsRun_ now on the stack; waits
    // of abandoned runs beneath them no longer count.
    int keyWaits_ = 0;
    std::uint64_t keyWaitsRun_ = 0;
    // The generation in which each remap button's wait began, while it waits.
    std::array<std::optional<std::uint64_t>, KeypadKeys> buttonWaits_{};
    std::uint32_t instructionAddress_ = 0;
    std::string pendingFault_;
    std::string lastFault_;
};

} // namespace kestrel
