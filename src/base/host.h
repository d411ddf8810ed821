#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrel {

// A standard machine's buzzer: 128 one-bit samples, the high bit of each
// byte first, played in a loop.
using SoundPattern = std::array<std::uint8_t, 16>;

// Everything the machine needs from the desktop, and nothing more. The app's
// window implements it with the toolkit; tests implement it with a fake.
class Host {
  public:
    virtual ~Host() = default;

    // Serve every pending event and return at once when none is pending.
    virtual void yield() = 0;
    // A yield made while nothing can happen (paused, or waiting for a key):
    // it may wait for the next event instead of spinning.
    virtual void idleYield() { yield(); }

    // Sound the tone without blocking; a new tone replaces one still sounding.
    virtual void tone(int hz, int ms) = 0;
    virtual void stopTone() = 0;
    // Play `pattern` in a loop at `samplesPerSecond` until stopTone. Asked
    // again while it plays, it goes on from the same place in the pattern
    // with the new samples and rate.
    virtual void playPattern(const SoundPattern& pattern, double samplesPerSecond) = 0;

    virtual void setStatusText(const std::string& text) = 0;
    virtual void setButtonCaption(int index, const std::string& utf8Text) = 0;
    // The screen surface changed; the picture is to be repainted.
    virtual void surfaceChanged() = 0;

    // A run was asked for while no run driver is active: call
    // Machine::RunDriver() from the top of the event loop, not from here.
    virtual void requestRun() = 0;

    // A run stopped at a bad access; the text names the instruction.
    virtual void reportFault(const std::string& text) = 0;
    // A ROM was refused; the text names the file and the reason.
    virtual void reportLoadError(const std::string& text) = 0;
};

} // namespace kestrel
