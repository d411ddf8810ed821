#include "run/runner.h"

#include "base/texts.h"
#include "input/key_map.h"
#include "romdb/rom_machine.h"

#include <utility>

namespace kestrel::run {

Runner::Runner() {
    machine_.LoadDefaultKeyMap();
    host_.onTick = [] {};
}

// As the window opens a file with "From the ROM database" chosen: read up to
// the longest ROM any machine holds, then open it on the database's machine,
// in its colours.
bool Runner::open(const std::string& path, const MachineChoice& choice) {
    const MachineKind& holder = choice.fromDatabase() ? XoChipMachine : *choice.kind;
    std::optional<std::vector<std::uint8_t>> bytes = machine_.ReadRom(path, holder);
    if (!bytes) {
        error_ = host_.loadError;
        return false;
    }
    MachineKind kind = choice.fromDatabase() ? MachineKind{} : *choice.kind;
    std::string writtenFor;
    std::optional<Palette> palette;
    if (choice.fromDatabase()) {
        RomMachine rom =
            RomMachineFor(romdb::RomDatabase::Vendored().Choose(romdb::Sha1(*bytes)), *bytes);
        kind = rom.kind;
        writtenFor = rom.writtenFor;
        palette = rom.palette;
        if (bytes->size() <= kind.romLimit) warning_ = rom.warning;
    }
    if (!machine_.OpenRomOn(path, std::move(*bytes), kind, writtenFor)) {
        error_ = host_.loadError;
        warning_.clear();
        return false;
    }
    if (palette) machine_.SetPalette(*palette);
    return true;
}

// The default key map's host key for the key: Kestrel's keypad number as it
// stands, a CHIP-8 value through the keypad key that gives it.
void Runner::press(const KeyEvent& event) {
    int keypadKey = event.key;
    if (machine_.Kind().engine == Engine::Standard) {
        for (int k = 1; k <= KeypadKeys; ++k) {
            if (Chip8KeyValue(k) == event.key) keypadKey = k;
        }
    }
    const int code = DefaultKeyMap[static_cast<std::size_t>(keypadKey)];
    if (event.down)
        machine_.Form_KeyDown(code);
    else
        machine_.Form_KeyUp(code);
}

void Runner::pressKeys(const std::vector<KeyEvent>& keys, std::size_t& next, std::uint64_t frame) {
    for (; next < keys.size() && keys[next].frame <= frame; ++next)
        press(keys[next]);
}

RunResult Runner::run(const RunOptions& options) {
    if (options.rate) machine_.SetSpeed(options.rate);
    attach(options);
    RunResult result =
        machine_.Kind().engine == Engine::Kestrel ? runKestrel(options) : runStandard(options);
    if (traced_) options.trace(machine_.Debug().TraceLine(*traced_, machine_.Debug().Registers()));
    return result;
}

RunResult Runner::runStandard(const RunOptions& options) {
    std::size_t next = 0;
    RunResult result;
    result.frames = RunFrames(
        machine_, options.frames,
        [&](std::uint64_t frame) {
            frame_ = frame;
            pressKeys(options.keys, next, frame);
        },
        [&] { return !machine_.LastFault().empty() || (watching_ && halted()); });
    if (!machine_.LastFault().empty()) return {RunEnd::Faulted, result.frames, faultText()};
    if (watching_ && halted()) result.end = RunEnd::Breakpoint;
    return result;
}

// The run loop runs until the tick after the last frame ends it, or until it
// stops on its own at a fault.
RunResult Runner::runKestrel(const RunOptions& options) {
    std::size_t next = 0;
    std::uint64_t ticks = 0;
    RunResult result;
    pressKeys(options.keys, next, 0);
    if (options.frames == 0) return result;
    host_.onTick = [&] {
        machine_.Timer1_Timer();
        if (++ticks == options.frames) return machine_.EndAllRuns();
        frame_ = ticks;
        pressKeys(options.keys, next, ticks);
    };
    if (watching_) {
        host_.onYield = [&] {
            if (!halted()) return;
            result.end = RunEnd::Breakpoint;
            machine_.EndAllRuns();
        };
    }
    machine_.RunDriver();
    host_.onTick = [] {};
    host_.onYield = nullptr;
    result.frames = ticks;
    if (!machine_.LastFault().empty()) return {RunEnd::Faulted, ticks + 1, faultText()};
    if (result.end == RunEnd::Breakpoint) ++result.frames; // the tick it halted in
    return result;
}

// The fault's text without the window's advice to choose Reset or Open ROM.
std::string Runner::faultText() const {
    std::string text = machine_.LastFault();
    const std::string_view advice = RunStoppedText;
    if (text.ends_with(advice)) text.resize(text.size() - advice.size());
    return text;
}

std::optional<std::string> Runner::prepare(const RunOptions& options) {
    if (options.breakAt && *options.breakAt >= machine_.Kind().memorySize)
        return "the break address is outside the memory of " + std::string(machine_.Kind().name) +
               " (0.." + std::to_string(machine_.Kind().memorySize - 1) + ")";
    return std::nullopt;
}

// The debugger is attached only when a break or a trace is asked for: without
// it the interpreters run their plain loops.
void Runner::attach(const RunOptions& options) {
    if (!options.breakAt && !options.trace) return;
    Debugger& debug = machine_.Debug();
    debug.BreakOnFaults(false); // a fault stops the run and is told as it is without a debugger
    if (options.breakAt) debug.SetBreakpoint(*options.breakAt); // inside memory: prepare checked
    if (options.trace) {
        // In kestrel-run's frames, counted from 0 as the key script counts them.
        // Each line waits for the next instruction, whose registers show what it changed.
        debug.SetTraceSink([this, &options](const TraceEntry& entry) {
            if (traced_) options.trace(machine_.Debug().TraceLine(*traced_, entry));
            traced_ = entry;
            traced_->frame = static_cast<std::uint32_t>(frame_);
        });
    }
    debug.Attach();
    watching_ = true;
}

bool Runner::halted() const {
    return machine_.Debug().State() == ProgramState::Halted;
}

} // namespace kestrel::run
