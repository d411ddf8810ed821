#include "machine/debugger.h"

#include "base/instruction_set.h"
#include "base/texts.h"
#include "debug/disassembler.h"
#include "machine/machine.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace kestrel {

const char* StepResultText(StepResult result) {
    switch (result) {
    case StepResult::Done:
    case StepResult::Started: return "";
    case StepResult::WaitingForKey: return "The program waits for a key: press one first.";
    case StepResult::NotRunning: return "No program runs.";
    case StepResult::NoHistory: return "Nothing to go back to.";
    case StepResult::NotOnMachine: return "Kestrel's own machine does not step back or by frames.";
    case StepResult::NoCall: return "No call to step out of.";
    }
    return "";
}

Debugger::Debugger(Machine& machine, DebugHooks& hooks, KestrelInterpreter& kestrel,
                   StandardInterpreter& standard, RunControl& runs, Host& host)
    : machine_(machine), hooks_(hooks), kestrel_(kestrel), standard_(standard), runs_(runs),
      host_(host) {}

Debugger::~Debugger() = default;

bool Debugger::standard() const {
    return machine_.Kind().engine == Engine::Standard;
}

void Debugger::Attach() {
    const debug::InstructionSetId set = InstructionSet();
    hooks_.Follow(set, debug::WrapsAddresses(set));
    hooks_.Attach(static_cast<std::uint32_t>(Memory().size()), PC());
    standard_.ClearHistory();
}

// A program halted runs on, and a frame halted inside ends, so that the plain
// frames that follow start where frames start.
void Debugger::Detach() {
    if (!Attached()) return;
    Continue();
    if (standard() && standard_.FrameOpen()) standard_.DebuggedFrame(machine_.Rate());
    hooks_.Detach();
}

// ---- Inspect

const MachineKind& Debugger::Kind() const {
    return machine_.Kind();
}
debug::InstructionSetId Debugger::InstructionSet() const {
    return InstructionSetOf(machine_.Kind());
}
const std::array<std::uint8_t, 16>& Debugger::V() const {
    return machine_.State.V;
}
std::uint64_t Debugger::I() const {
    return machine_.State.IndexReg;
}
std::uint32_t Debugger::PC() const {
    return machine_.State.ProgramCounter;
}
int Debugger::SP() const {
    return machine_.State.StackPointer;
}
std::vector<std::uint32_t> Debugger::Stack() const {
    std::vector<std::uint32_t> stack;
    for (int k = 0; k < SP() && k < static_cast<int>(machine_.State.CallStack.size()); ++k)
        stack.push_back(static_cast<std::uint16_t>(machine_.State.CallStack[k]));
    return stack;
}
std::uint8_t Debugger::DelayTimer() const {
    return machine_.State.DelayTimer;
}
std::uint8_t Debugger::SoundTimer() const {
    return machine_.State.SoundTimer;
}
std::span<const std::uint8_t> Debugger::Memory() const {
    return machine_.State.Memory;
}

// Kestrel's machine's picture is read off its surface, one block a pixel, as
// the window shows it.
PictureView Debugger::Picture() const {
    PictureView view;
    if (!standard()) {
        view.columns = 64;
        view.rows = 32;
        view.colours = {DarkColour, LitColour, DarkColour, DarkColour};
        view.pixels.resize(64 * 32);
        const ScreenSurface& surface = machine_.Surface();
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x)
                view.pixels[static_cast<std::size_t>(y * 64 + x)] =
                    surface.ReadPixel(1 + x * BlockSize, y * BlockSize) == LitColour ? 1 : 0;
        return view;
    }
    const FrameBuffer& screen = standard_.Screen();
    view.columns = screen.columns();
    view.rows = screen.rows();
    view.planes = machine_.Kind().extensions.xoChip ? 2 : 1;
    view.colours = standard_.Colours();
    view.pixels.resize(static_cast<std::size_t>(view.columns * view.rows));
    for (int y = 0; y < view.rows; ++y)
        for (int x = 0; x < view.columns; ++x)
            view.pixels[static_cast<std::size_t>(y * view.columns + x)] =
                screen.at(x * screen.scaleX(), y * screen.scaleY()) & 0x3;
    return view;
}

const FrameBuffer& Debugger::ScreenBuffer() const {
    return standard_.Screen();
}

ScreenSurface& Debugger::KestrelSurface() {
    return kestrel_.Surface();
}

bool Debugger::Hires() const {
    return standard() && standard_.Screen().hires();
}
std::uint8_t Debugger::PlaneMask() const {
    return standard() ? standard_.Planes() : 1;
}
const std::array<std::uint8_t, 16>& Debugger::FlagRegisters() const {
    return standard_.FlagRegisters(); // kept across machines, Kestrel's included
}
std::uint8_t Debugger::Pitch() const {
    return standard_.Pitch();
}
const SoundPattern& Debugger::Pattern() const {
    return standard_.Pattern();
}

// Every host key reaches the standard machines' keypad, whichever machine
// runs; Kestrel's machine's one held key is its KeyPressed.
std::uint16_t Debugger::KeysDown() const {
    std::uint16_t keys = 0;
    for (int k = 0; k < 16; ++k)
        if (standard_.Keypad().isDown(k)) keys = static_cast<std::uint16_t>(keys | 1u << k);
    return keys;
}

ProgramState Debugger::State() const {
    if (hooks_.Halted()) return ProgramState::Halted;
    if (machine_.State.Paused) return ProgramState::Paused;
    if (!standard()) {
        if (!runs_.Active())
            return runs_.LastFault().empty() ? ProgramState::NoProgram : ProgramState::Faulted;
        return runs_.InKeyWait() ? ProgramState::WaitingForKey : ProgramState::Running;
    }
    switch (standard_.status()) {
    case StandardInterpreter::Status::Empty: return ProgramState::NoProgram;
    case StandardInterpreter::Status::Running: return ProgramState::Running;
    case StandardInterpreter::Status::WaitingForKey: return ProgramState::WaitingForKey;
    case StandardInterpreter::Status::Ended: return ProgramState::Ended;
    case StandardInterpreter::Status::Faulted: return ProgramState::Faulted;
    }
    return ProgramState::Running;
}

std::string Debugger::TraceLine(const TraceEntry& entry, const TraceEntry& after) const {
    char head[48];
    std::snprintf(head, sizeof head, "%6u %04X %04X  ", static_cast<unsigned>(entry.frame),
                  static_cast<unsigned>(entry.address), static_cast<unsigned>(entry.word));
    std::string line = head + debug::Disassemble(InstructionSet(), entry.word, entry.second);
    for (std::size_t k = 0; k < entry.v.size(); ++k) {
        if (entry.v[k] == after.v[k]) continue;
        char change[16];
        std::snprintf(change, sizeof change, " v%zX=%02X", k, static_cast<unsigned>(after.v[k]));
        line += change;
    }
    if (entry.index != after.index)
        line += " i=" + HexWord(static_cast<std::uint16_t>(after.index));
    return line;
}

TraceEntry Debugger::Registers() const {
    TraceEntry now{};
    now.address = PC();
    now.index = static_cast<std::uint32_t>(I());
    now.v = V();
    return now;
}

void Debugger::SetTraceSink(std::function<void(const TraceEntry&)> sink) {
    hooks_.traceSink = std::move(sink);
}

// ---- Run control

void Debugger::Break() {
    if (!Attached()) Attach();
    if (hooks_.Halted()) return;
    hooks_.Halt(StopCause::Break, PC());
    if (standard())
        standard_.DebugHalted();
    else
        host_.stopTone();
}

// A fault the debugger held is told now, as it would have been at once.
void Debugger::Continue() {
    if (!hooks_.Halted()) return;
    const std::string fault = hooks_.Resume(PC());
    if (standard()) standard_.DebugResumed();
    if (!fault.empty()) runs_.ReportFault(fault);
}

bool Debugger::standardRunnable() const {
    using Status = StandardInterpreter::Status;
    if (machine_.State.Paused) return false;
    return standard_.status() == Status::Running ||
           (standard_.status() == Status::WaitingForKey && standard_.KeyWaitOver());
}

// Steps are taken from a halt: a running program is halted first. A program
// that cannot run says why, and nothing runs.
std::optional<StepResult> Debugger::cannotStep() {
    if (!Attached()) Attach();
    if (machine_.State.Paused) return StepResult::NotRunning;
    if (standard()) {
        if (standard_.status() == StandardInterpreter::Status::WaitingForKey &&
            !standard_.KeyWaitOver())
            return StepResult::WaitingForKey;
        if (!standardRunnable()) return StepResult::NotRunning;
    } else {
        if (!runs_.Active()) return StepResult::NotRunning;
        if (runs_.InKeyWait()) return StepResult::WaitingForKey;
    }
    Break();
    return std::nullopt;
}

// Each frame runs at least one instruction, so `frames` frames bound a step
// of as many instructions; a program that stops running halts where it stands.
void Debugger::runStandardUntilHalted(int frames) {
    for (int k = 0; k < frames && !hooks_.Halted(); ++k) {
        if (!standardRunnable()) break;
        standard_.DebuggedFrame(machine_.Rate());
    }
    if (!hooks_.Halted()) hooks_.Halt(StopCause::Step, PC());
}

// A standard machine's step runs at once; Kestrel's machine, whose
// instructions run inside its run loop, steps there and halts when done.
StepResult Debugger::Step() {
    if (auto refused = cannotStep()) return *refused;
    hooks_.ResumeFor(PC(), 1);
    if (!standard()) return StepResult::Started;
    runStandardUntilHalted(3);
    return StepResult::Done;
}

StepResult Debugger::started() {
    if (standard()) standard_.DebugResumed();
    return StepResult::Started;
}

StepResult Debugger::StepOver() {
    if (auto refused = cannotStep()) return *refused;
    const auto next = debug::NextAddresses(InstructionSet(), Memory(), PC());
    if (!next || next->flow != debug::Flow::Call) return Step();
    hooks_.ResumeUntilAt(PC(), next->next, SP());
    return started();
}

StepResult Debugger::StepOut() {
    if (auto refused = cannotStep()) return *refused;
    if (SP() == 0) return StepResult::NoCall;
    hooks_.ResumeUntilBelow(PC(), SP());
    return started();
}

StepResult Debugger::StepFrame() {
    if (!standard()) return StepResult::NotOnMachine;
    if (auto refused = cannotStep()) return *refused;
    hooks_.Resume(PC());
    standard_.DebuggedFrame(machine_.Rate());
    if (!hooks_.Halted()) hooks_.FrameStepped(PC());
    return StepResult::Done;
}

// Going back is open from any state a standard machine can be in, an ended
// or faulted program's included: the point is to see what led there. A fault
// held is gone with the run that made it.
StepResult Debugger::StepBack() {
    if (!standard()) return StepResult::NotOnMachine;
    return wentBack(standard_.StepBack());
}

StepResult Debugger::BackOneFrame() {
    if (!standard()) return StepResult::NotOnMachine;
    return wentBack(standard_.BackOneFrame());
}

StepResult Debugger::wentBack(bool went) {
    if (!went) return StepResult::NoHistory;
    hooks_.DropHeldFault();
    hooks_.Halt(StopCause::Step, PC());
    return StepResult::Done;
}

// ---- Breakpoints and watchpoints

bool Debugger::SetBreakpoint(std::uint32_t address, bool set) {
    if (address >= Memory().size()) return false;
    if (!Attached()) Attach();
    hooks_.Breakpoints()[address] = set ? 1 : 0;
    return true;
}

bool Debugger::ToggleBreakpoint(std::uint32_t address) {
    return SetBreakpoint(address, !HasBreakpoint(address));
}

bool Debugger::HasBreakpoint(std::uint32_t address) const {
    const auto& marks = hooks_.Breakpoints();
    return address < marks.size() && marks[address] != 0;
}

std::vector<std::uint32_t> Debugger::Breakpoints() const {
    std::vector<std::uint32_t> addresses;
    const auto& marks = hooks_.Breakpoints();
    for (std::uint32_t a = 0; a < marks.size(); ++a)
        if (marks[a] != 0) addresses.push_back(a);
    return addresses;
}

bool Debugger::WatchMemory(MemoryWatch range, bool set) {
    if (range.first > range.last || range.last >= Memory().size()) return false;
    if (!Attached()) Attach();
    std::vector<MemoryWatch> watches = hooks_.MemoryWatches();
    std::erase(watches, range);
    if (set) watches.push_back(range);
    hooks_.SetMemoryWatches(std::move(watches));
    return true;
}

bool Debugger::WatchRegister(RegisterWatch watch, bool set) {
    if (watch.reg < 0 || watch.reg > IndexWatch || (watch.reg < IndexWatch && watch.value > 0xFF))
        return false;
    if (!Attached()) Attach();
    std::vector<RegisterWatch> watches = hooks_.RegisterWatches();
    std::erase(watches, watch);
    if (set) watches.push_back(watch);
    hooks_.SetRegisterWatches(std::move(watches));
    return true;
}

void Debugger::ClearBreakpoints() {
    std::fill(hooks_.Breakpoints().begin(), hooks_.Breakpoints().end(), 0);
    hooks_.SetMemoryWatches({});
    hooks_.SetRegisterWatches({});
}

std::size_t Debugger::HistoryBytes() const {
    return standard_.Recorded().Bytes();
}

double Debugger::HistorySeconds() const {
    return static_cast<double>(standard_.Recorded().Frames()) / 60.0;
}

void Debugger::ExecuteOne() {
    if (standard())
        standard_.ExecuteOne();
    else
        kestrel_.Interpret();
}

// The machine chosen may read other instructions and hold more memory; a
// program the debugger held starts held, at its first instruction.
void Debugger::MachineReset() {
    const debug::InstructionSetId set = InstructionSet();
    hooks_.Follow(set, debug::WrapsAddresses(set));
    hooks_.DropHeldFault();
    standard_.ClearHistory();
    if (!Attached()) return;
    hooks_.Attach(static_cast<std::uint32_t>(Memory().size()), PC());
    if (hooks_.Halted()) hooks_.Halt(StopCause::Break, PC());
}

} // namespace kestrel
