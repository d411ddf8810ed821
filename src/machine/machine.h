#pragma once

#include "base/debug_hooks.h"
#include "base/host.h"
#include "base/interpreter.h"
#include "base/key_place.h"
#include "base/machine_state.h"
#include "base/platform.h"
#include "base/random_source.h"
#include "base/run_control.h"
#include "base/screen_surface.h"
#include "machine/debugger.h"
#include "standard/standard_interpreter.h"
#include "vm/kestrel_interpreter.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrel {

// The machine the desktop sees: the machine chosen, the ROM last opened, the
// screen, and the interpreter that runs it, Kestrel's own or the standard
// one, picked once when a machine is chosen and reached only through the
// Interpreter interface. Commands carry the machine's own names.
//
// The public part is what the desktop uses; Debug() is the one way inside the
// machine that runs, for the debugger window, kestrel-run and the tests.
//
// Runs and waits: base/run_control.cpp states their rules and keeps their
// bookkeeping.
class Machine {
    // First, since the state, the surface and the run control below are Kestrel's machine's.
    Host& host_;
    RandomSource random_;
    DebugHooks hooks_;
    KestrelInterpreter kestrel_{host_, random_, hooks_};

  public:
    // machine/machine.cpp
    explicit Machine(Host& host);
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // The registers and memory of the machine that runs, read and written in place.
    MachineState& State = kestrel_.State;
    const ScreenSurface& Surface() const { return surface_; }
    Debugger& Debug() { return debugger_; }
    const Debugger& Debug() const { return debugger_; }
    void SeedRandom(std::uint64_t seed) { random_.Seed(seed); }
    void SeedRandomFromClock() { random_.SeedFromClock(); }
    bool RunActive() const { return runs_.Active(); }
    std::uint64_t RunGeneration() const { return runs_.Generation(); }
    // The message of the fault that stopped the last run, empty if none.
    const std::string& LastFault() const { return runs_.LastFault(); }
    // The machine chosen. A speed, when set, replaces a standard machine's
    // own rate from the next frame; none gives it back. Kestrel's machine
    // keeps its own pace whatever is set.
    const MachineKind& Kind() const { return kind_; }
    void SetSpeed(std::optional<int> instructionsPerFrame) { speed_ = instructionsPerFrame; }
    int Rate() const { return speed_.value_or(kind_.rate); }
    const std::vector<std::uint8_t>& RomCopy() const { return romCopy_; } // the last opened ROM
    // A standard machine's colours for none, plane 1, plane 2 and both; each
    // machine chosen starts with the default ones.
    void SetPalette(const Palette& palette) { standard_.SetPalette(palette); }

    // machine/loader.cpp
    bool LoadRom(const std::string& path); // false: refused and reported, memory untouched
    // The whole file, refused and reported as LoadRom refuses it when it is
    // unreadable or longer than `holder` holds; nothing else changes.
    std::optional<std::vector<std::uint8_t>> ReadRom(const std::string& path,
                                                     const MachineKind& holder);

    // machine/machine.cpp
    void Reset_Click();
    void OpenRom(const std::string& path);    // load a chosen file (none: empty) then reset
    void EndAllRuns() { runs_.EndAllRuns(); } // Exit: nothing that runs or waits ever continues
    // The run driver: runs whatever run was asked for until none is wanted.
    void RunDriver() { runs_.RunDriver(); }
    void Timer1_Timer() { running_->Tick(); }
    void StartFrame() { running_->Frame(Rate()); } // the host's frame clock
    void pausex_Click();

    // machine/machine_select.cpp
    // Choosing a machine resets on it from the copy of the last opened ROM.
    void SelectMachine(const MachineKind& kind);
    // Opens a ROM already read onto `kind` and resets on it; false, reported
    // (with the platform the ROM was written for, when known), and nothing
    // changed when it is too long for `kind`.
    bool OpenRomOn(const std::string& path, std::vector<std::uint8_t> rom, const MachineKind& kind,
                   const std::string& writtenFor = {});

    // machine/machine.cpp. Keys reach every interpreter, whichever runs. A
    // key's code, and its place in the letter block if it has one. Each
    // key-up carries its key-down's code and place; Kestrel's machine looks
    // at neither, and any key-up releases its one held key.
    void LoadDefaultKeyMap() { kestrel_.LoadDefaultKeyMap(); }
    void Form_KeyDown(int keyCode, KeyPlace place = {});
    void Form_KeyUp(int keyCode = 0, KeyPlace place = {});
    void Form_Deactivate(); // the window lost the focus: every held key goes up
    void Command1_Click(int Index) { kestrel_.Command1_Click(Index); }

  private:
    // The copy of the ROM the machine chosen starts from: empty when it does not fit.
    std::span<const std::uint8_t> fittingRom() const;

    // machine/loader.cpp
    static std::string loadRefusal(const std::string& path, const std::string& reason);
    static std::string tooLongReason(const MachineKind& kind, long long length,
                                     const std::string& writtenFor = {});

    ScreenSurface& surface_ = kestrel_.Surface();
    RunControl& runs_ = kestrel_.Runs();
    MachineKind kind_ = KestrelMachine;
    std::optional<int> speed_;
    std::vector<std::uint8_t> romCopy_; // the last opened ROM, as read
    std::string romPath_;
    StandardInterpreter standard_{State, kind_, host_, random_, surface_, runs_, hooks_};
    Interpreter* running_ = &kestrel_;
    Debugger debugger_{*this, hooks_, kestrel_, standard_, runs_, host_};
};

} // namespace kestrel
