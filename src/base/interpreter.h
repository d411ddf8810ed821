#pragma once

#include <cstdint>
#include <span>

namespace kestrel {

// What the Machine needs of the machine that runs: Kestrel's own, or the
// standard interpreter. The Machine picks one when a machine is chosen, and
// from then on reaches it only through here.
class Interpreter {
  public:
    virtual ~Interpreter() = default;

    // The machine was chosen: it starts from `rom`, empty when none fits.
    virtual void Chosen(std::span<const std::uint8_t> rom) = 0;
    // File › Open ROM has read `rom`; a Reset follows unless the open was refused.
    virtual void RomRead(std::span<const std::uint8_t> rom) = 0;
    // Reset, after the steps every machine shares; `rom` is the last opened
    // ROM, empty when it does not fit.
    virtual void Reset(std::span<const std::uint8_t> rom) = 0;
    // The run driver's run: returns once the run is abandoned or stopped.
    virtual void Run() = 0;
    // The window's timer tick, and the frame clock's frame at `rate`
    // instructions a frame; each machine heeds the one it runs by.
    virtual void Tick() = 0;
    virtual void Frame(int rate) = 0;
    virtual void PauseChanged() = 0; // MachineState::Paused has just been flipped
    // Waits for a key of its own, outside any run loop (a standard FX0A).
    virtual bool WaitingForKey() const = 0;
};

} // namespace kestrel
