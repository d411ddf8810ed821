#pragma once

#include <cstdint>
#include <vector>

namespace kestrel {

// The buzzer: a square wave queued on SDL's audio device, which is opened
// once and left running. A new tone replaces one still sounding, so tones
// never pile up behind each other. Without a device the player is silent
// and says so once on standard error.
class TonePlayer {
public:
    // The device's format, fixed so that a captured stream can be read back.
    static constexpr int SampleRate = 48000;
    static constexpr std::int16_t Amplitude = 6000; // about a fifth of full scale

    TonePlayer();
    ~TonePlayer();
    TonePlayer(const TonePlayer&) = delete;
    TonePlayer& operator=(const TonePlayer&) = delete;

    bool available() const { return device_ != 0; }
    void play(int hz, int ms);
    void stop();

private:
    std::uint32_t device_ = 0;
    std::vector<std::int16_t> samples_;
};

} // namespace kestrel
