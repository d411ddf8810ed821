#pragma once

#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrel {

// The buzzer: a square wave queued on SDL's audio device, which is opened
// once and left running. A new tone replaces one still sounding, so tones
// never pile up behind each other. Without a device the player is silent
// and says so once on standard error.
//
// Loading SDL and probing its audio back ends take about as long as the rest
// of the start, so the device is opened on a thread of its own, started once
// the window is up. A tone asked for meanwhile is kept and queued whole once
// the device is open.
class TonePlayer {
  public:
    // The device's format, fixed so that a captured stream can be read back.
    static constexpr int SampleRate = 48000;
    static constexpr std::int16_t Amplitude = 6000; // about a fifth of full scale

    TonePlayer() = default;
    // Waits for an opening under way to end; Exit ends the process without this.
    ~TonePlayer();
    TonePlayer(const TonePlayer&) = delete;
    TonePlayer& operator=(const TonePlayer&) = delete;

    // Opens the device on a thread of its own; called once. Tones asked for
    // before the device is open are kept until it is.
    void startOpening();
    bool available() const; // false until the device is open
    void play(int hz, int ms);
    void stop();

  private:
    void open();
    void queue(int hz, int ms); // with mutex_ held and the device open

    mutable std::mutex mutex_;
    bool opening_ = true;
    std::uint32_t device_ = 0;
    int pendingHz_ = 0; // the tone asked for while opening, 0 for none
    int pendingMs_ = 0;
    std::vector<std::int16_t> samples_;
    std::thread opener_;
};

} // namespace kestrel
