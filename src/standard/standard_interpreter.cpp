#include "standard/standard_interpreter.h"

#include "base/instruction_set.h"

#include <algorithm>
#include <utility>

namespace kestrel {

StandardInterpreter::StandardInterpreter(MachineState& state, const MachineKind& kind, Host& host,
                                         RandomSource& random, ScreenSurface& surface,
                                         RunControl& runs, DebugHooks& hooks)
    : State(state), kind_(kind), host_(host), random_(random), surface_(surface), runs_(runs),
      hooks_(hooks) {}

void StandardInterpreter::Reset(std::span<const std::uint8_t> rom) {
    runs_.EndAllRuns();
    if (rom.empty()) return empty();
    start(rom);
}

// Every byte of memory is written afresh: a standard machine starts each
// program from the same state. The flag registers are the calculator's and
// outlive it.
void StandardInterpreter::start(std::span<const std::uint8_t> rom) {
    State.StartAfresh(kind_, rom);
    decode_ = &debug::DecodeIndex::For(InstructionSetOf(kind_));
    frameOpen_ = false;
    addressMask_ = kind_.memorySize - 1; // every size is a power of two
    std::copy(kind_.font.begin(), kind_.font.end(), State.Memory.begin() + kind_.fontBase);
    std::copy(kind_.bigFont.begin(), kind_.bigFont.end(),
              State.Memory.begin() + kind_.fontBase + kind_.font.size());
    State.ProgramCounter = kind_.programStart;
    screen_ = FrameBuffer{};
    screen_.setLoresSize(kind_.screen.width, kind_.screen.height);
    planes_ = 1;
    pattern_.fill(0xF0); // the plain 500 Hz beep at the default pitch
    pitch_ = DefaultPitch;
    stopSound();
    fault_.clear();
    status_ = Status::Running;
    keypad_.holdTaps(State.Paused); // a wait cut short holds them no longer
    paintPicture();
}

// The machine as a reset leaves it, with no program in it.
void StandardInterpreter::empty() {
    start({});
    status_ = Status::Empty;
}

// Asked once a frame: with no debugger attached, the frame is as it always was.
void StandardInterpreter::Frame(int rate) {
    if (hooks_.Attached()) return DebuggedFrame(rate);
    runFrame(rate);
    reportFault();
}

void StandardInterpreter::reportFault() {
    if (!fault_.empty()) runs_.ReportFault(std::exchange(fault_, std::string()));
}

void StandardInterpreter::runFrame(int instructions) {
    if (!beginFrame()) return;
    runInstructions(instructions);
    if (pictureChanged_) paintPicture();
}

bool StandardInterpreter::beginFrame() {
    if (State.Paused || (status_ != Status::Running && !WaitingForKey())) return false;
    countTimers();
    if (status_ == Status::WaitingForKey) finishKeyWait();
    if (status_ != Status::Running) return false;
    keypad_.beginFrame();
    return true;
}

// Choosing a machine sets the default colours again: the picture is painted
// only when they change.
void StandardInterpreter::SetPalette(const Palette& palette) {
    if (palette == palette_) return;
    palette_ = palette;
    paintPicture();
}

} // namespace kestrel
