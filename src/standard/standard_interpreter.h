#pragma once

#include "base/debug_hooks.h"
#include "base/host.h"
#include "base/interpreter.h"
#include "base/machine_state.h"
#include "base/platform.h"
#include "base/random_source.h"
#include "base/run_control.h"
#include "base/screen_surface.h"
#include "debug/instruction_table.h"
#include "standard/chip8_keypad.h"
#include "standard/frame_buffer.h"
#include "standard/history.h"

#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

namespace kestrel {

// The samples a second at which XO-CHIP's pitch register plays the pattern:
// pitch 64 is 4000, and 48 steps make an octave.
double PatternRate(std::uint8_t pitch);

// The standard machines' interpreter: CHIP-8, SUPER-CHIP and XO-CHIP, told
// apart by the machine's description and by the instructions its set adds.
// The host's frame clock calls RunFrame once a frame; it runs the frame's
// instructions and returns. Waiting for a key, having nothing to run and
// having stopped are states, not loops.
//
// A standard machine's registers and memory are the MachineState the Machine
// holds, which Kestrel's own interpreter, never running at the same time,
// shares for the same purpose; everything else of the machine is kept here:
// screen, planes, flag registers, keys, sound and status.
class StandardInterpreter final : public Interpreter {
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
                        RandomSource& random, ScreenSurface& surface, RunControl& runs,
                        DebugHooks& hooks);

    // Interpreter.
    void Chosen(std::span<const std::uint8_t>) override { SetPalette(DefaultPalette); }
    void RomRead(std::span<const std::uint8_t>) override {} // its Reset writes memory afresh
    // A run of Kestrel's machine, or a remap wait, still on the stack unwinds;
    // the program restarts as loaded, or with none there is nothing to run.
    void Reset(std::span<const std::uint8_t> rom) override;
    void Run() override {} // it runs from the frame clock
    void Tick() override {}
    // One frame: the timers count, a key that was tapped since the last
    // frame (outside a key wait and a pause) is held for this one, and up to
    // `rate` instructions run. Nothing
    // of it happens while paused. A fault that stopped the machine is told
    // once the frame is over, so that the box's own event loop never runs
    // inside the frame.
    void Frame(int rate) override;
    void PauseChanged() override;
    bool WaitingForKey() const override { return status_ == Status::WaitingForKey; }

    // Every host key goes to the keypad, whichever machine runs, so that a key
    // held across a switch of machines goes up when it is released.
    void KeyDown(int keyCode, KeyPlace place);
    void KeyUp(int keyCode, KeyPlace place) {
        keypad_.release({keyCode, place});
        keysChanged();
    }
    void ReleaseAllKeys() {
        keypad_.releaseAll();
        keysChanged();
    }
    const Chip8Keypad& Keypad() const { return keypad_; }

    Status status() const { return status_; }

    // What the debugger reads.
    std::uint8_t Planes() const { return planes_; }
    const std::array<std::uint8_t, 16>& FlagRegisters() const { return flagRegisters_; }
    std::uint8_t Pitch() const { return pitch_; }
    const SoundPattern& Pattern() const { return pattern_; }
    // FX0A has its key: the next frame ends the wait.
    bool KeyWaitOver() const { return keypad_.waitedKey() >= 0; }

    // standard/debugged_frame.cpp. The frame a debugger attached runs: the
    // debugger is asked before each instruction whether to halt, and a frame
    // halted inside goes on from there once it continues. While halted,
    // frames do nothing.
    void DebuggedFrame(int rate);
    bool FrameOpen() const { return frameOpen_; }
    void DebugHalted() { stopSound(); } // no tone sounds while halted
    void DebugResumed();                // a tone the sound timer still holds sounds again
    void ExecuteOne();                  // the instruction at the program counter, outside any frame

    // standard/step_back.cpp. The history a debugger keeps while attached.
    void ClearHistory() {
        history_.Clear();
        futureDraws_.clear();
    }
    const History& Recorded() const { return history_; }
    bool StepBack();     // to the state before the last instruction run
    bool BackOneFrame(); // to the first instruction of the frame before this one

    const FrameBuffer& Screen() const { return screen_; }
    using Palette = kestrel::Palette;
    static constexpr Palette DefaultPalette = kestrel::DefaultPalette;
    void SetPalette(const Palette& palette);
    const Palette& Colours() const { return palette_; }

  private:
    // standard/standard_interpreter.cpp
    // Memory, registers, timers, screen and sound afresh, the fonts and `rom`
    // written; the machine then runs.
    void start(std::span<const std::uint8_t> rom);
    // Nothing to run: memory with the fonts alone, a dark picture, and frames
    // that do nothing.
    void empty();
    void runFrame(int instructions);
    // The frame's start: the timers count and a key wait may end. False when
    // no instruction runs in this frame.
    bool beginFrame();
    void reportFault();

    // standard/step_back.cpp
    template <typename Self, typename Visit> static void imageFields(Self& self, Visit&& visit);
    std::vector<std::uint8_t> image() const; // everything a frame's replay starts from
    void restore(std::span<const std::uint8_t> image);
    std::vector<std::uint8_t> keypadImage() const;
    void keysChanged(); // a key event while a debugged frame is open
    bool goBack(std::size_t frame, std::uint64_t instructions);
    void replayOne(); // standard/decode.cpp: one instruction of a frame gone back to

    // standard/decode.cpp
    void runInstructions(int count);
    void runDebuggedInstructions(); // up to frameLeft_, halting as the debugger asks
    double draw(); // CXNN's draw: noted while a debugger records, replayed when going back
    [[gnu::always_inline]] inline std::uint32_t execute(std::uint32_t pc);
    std::uint32_t after(std::uint32_t at); // the address past the instruction at `at`
    std::uint8_t& memoryAt(std::uint64_t address) { return State.Memory[address & addressMask_]; }
    std::uint8_t& VX() { return State.V[x_]; }
    std::uint8_t& VY() { return State.V[y_]; }
    std::uint8_t& VF() { return State.V[15]; }
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
    int chip8KeyOf(int keyCode, KeyPlace place) const;

    MachineState& State;
    const MachineKind& kind_;
    Host& host_;
    RandomSource& random_;
    ScreenSurface& surface_;
    RunControl& runs_;
    DebugHooks& hooks_;
    const debug::DecodeIndex* decode_ = &debug::DecodeIndex::For(debug::InstructionSetId::Chip8);

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
    // A debugged frame halted inside: the instructions it has left.
    bool frameOpen_ = false;
    int frameLeft_ = 0;
    History history_;
    const std::vector<double>* replayDraws_ = nullptr; // while going back
    std::size_t replayDrawn_ = 0;
    // The draws of the run gone back over, which the run taken again draws
    // first, so that stepping forward again goes the same way.
    std::deque<double> futureDraws_;

    FrameBuffer screen_;
    std::uint8_t planes_ = 1; // FN01's mask of the planes drawn, cleared and scrolled
    bool pictureChanged_ = false;
    Palette palette_ = DefaultPalette;

    SoundPattern pattern_{};
    std::uint8_t pitch_ = DefaultPitch;
    bool sounding_ = false;
    // Last, after the fields each instruction reads.
    Chip8Keypad keypad_; // the sixteen keys
    // SUPER-CHIP's and XO-CHIP's flag registers: kept while Kestrel runs,
    // across programs and machines, as the calculator kept them.
    std::array<std::uint8_t, 16> flagRegisters_{};
};

} // namespace kestrel
