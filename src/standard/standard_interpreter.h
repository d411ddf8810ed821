#pragma once

#include "display/screen_surface.h"
#include "input/chip8_keypad.h"
#include "standard/frame_buffer.h"
#include "vm/host.h"
#include "vm/machine_kind.h"
#include "vm/machine_state.h"
#include "vm/random_source.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace kestrel {

namespace testing {
class MachineDoor;
}

// The samples a second at which XO-CHIP's pitch register plays the pattern:
// pitch 64 is 4000, and 48 steps make an octave.
double PatternRate(std::uint8_t pitch);

// The standard machines' interpreter: CHIP-8, SUPER-CHIP and XO-CHIP, told
// apart by the machine's description and by the instructions its set adds.
// The host's frame clock calls RunFrame once a frame; it runs the frame's
// instructions and returns. Waiting for a key, having nothing to run and
// having stopped are states, not loops.
//
// It shares the machine's registers and memory (MachineState) with Kestrel's
// own interpreter, which never runs at the same time, and keeps the rest of
// a standard machine here.
class StandardInterpreter {
  public:
    enum class Status {
        Empty, // no ROM it can hold: nothing runs
        Running,
        WaitingForKey, // FX0A: for a key to go down and up
        Ended,         // 00FD: stopped quietly, the picture kept
        Faulted        // a call or return the stack cannot hold
    };
    static constexpr std::uint8_t DefaultPitch = 64;

    StandardInterpreter(MachineState& state, const MachineKind& kind, Host& host,
                        RandomSource& random, Chip8Keypad& keypad, ScreenSurface& surface,
                        std::array<std::uint8_t, 16>& flagRegisters);

    // Memory, registers, timers, screen and sound afresh, the fonts and `rom`
    // written; the machine then runs.
    void Reset(std::span<const std::uint8_t> rom);
    // Nothing to run: memory with the fonts alone, a dark picture, and frames
    // that do nothing.
    void Empty();

    // One frame: the timers count, a key that was tapped since the last
    // frame (outside a key wait and a pause) is held for this one, and up to
    // `instructions` run. Nothing of it happens while paused.
    void RunFrame(int instructions);
    void PauseChanged(); // State.Paused has just been flipped

    Status status() const { return status_; }
    bool WaitingForKey() const { return status_ == Status::WaitingForKey; }
    // The message of a fault that stopped the machine in the last frame, once.
    std::string TakeFault();

    const FrameBuffer& Screen() const { return screen_; }
    // Colours of none, plane 1, plane 2 and both, as 0xRRGGBB.
    using Palette = std::array<std::int32_t, 4>;
    static constexpr Palette DefaultPalette = {0x000000, 0x00FF00, 0xFF00FF, 0xFFFFFF};
    void SetPalette(const Palette& palette);

  private:
    friend class testing::MachineDoor;

    // standard/decode.cpp
    void runInstructions(int count);
    void step();
    [[gnu::always_inline]] inline std::uint32_t execute(std::uint32_t pc);
    std::uint32_t after(std::uint32_t at); // the address past the instruction at `at`
    std::uint8_t& memoryAt(std::uint64_t address) { return State.Memory[address & addressMask_]; }
    std::uint8_t& VX() { return State.V[x_]; }
    std::uint8_t& VY() { return State.V[y_]; }
    std::uint8_t& VF() { return State.V[15]; }
    bool has(InstructionSet set) const { return kind_.instructions >= set; }
    // A running machine stops running mid-frame only through here, so that
    // the frame's loop has one flag to look at.
    void leaveRunning(Status status) {
        status_ = status;
        frameEnded_ = true;
    }

    // standard/flow.cpp
    std::uint32_t call(std::uint32_t next, std::uint32_t address);
    std::uint32_t returnFromCall(std::uint32_t next);
    std::uint32_t jumpWithOffset() const;
    void stop(const std::string& why);

    // standard/arithmetic.cpp
    void arithmetic(int operation);
    void writeResultThenFlag(int result, bool flag);

    // standard/memory.cpp
    void storeBcd();
    void storeRegisters();
    void loadRegisters();
    void advanceIndexPastRegisters();
    void storeRange(); // 5XY2
    void loadRange();  // 5XY3
    std::size_t rangeRegister(int k) const;
    void saveFlags();
    void loadFlags();
    int flagCount() const;
    std::uint32_t loadLongIndex(std::uint32_t next); // F000 NNNN

    // standard/display.cpp
    void clearScreen();
    void setMode(bool hires);
    void scroll(int direction, int amount);
    void drawSprite();
    void paintPicture();

    // standard/sound.cpp
    void countTimers();
    void setSoundTimer(std::uint8_t value);
    void loadPattern();
    void setPitch(std::uint8_t pitch);
    void soundChanged(); // the pattern or pitch changed: a sounding buzzer follows
    void startSound();
    void stopSound();

    // standard/keys.cpp
    void beginKeyWait();
    void finishKeyWait(); // at a frame's start, once the key has gone up

    MachineState& State;
    const MachineKind& kind_;
    Host& host_;
    RandomSource& random_;
    Chip8Keypad& keypad_;
    ScreenSurface& surface_;
    std::array<std::uint8_t, 16>& flagRegisters_;

    Status status_ = Status::Empty;
    std::uint32_t addressMask_ = 0xFFF;
    // The instruction being run: its address, word and fields.
    std::uint32_t at_ = 0;
    std::uint16_t opcode_ = 0;
    std::uint8_t x_ = 0;
    std::uint8_t y_ = 0;
    bool frameEnded_ = false; // the frame ended early: a wait, 00FD or a fault
    std::uint8_t waitRegister_ = 0;
    std::string fault_;

    FrameBuffer screen_;
    std::uint8_t planes_ = 1; // FN01's mask of the planes drawn, cleared and scrolled
    bool pictureChanged_ = false;
    Palette palette_ = DefaultPalette;

    SoundPattern pattern_{};
    std::uint8_t pitch_ = DefaultPitch;
    bool sounding_ = false;
};

} // namespace kestrel
