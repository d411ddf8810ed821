#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <thread>

namespace kestrel {

// The buzzer: SDL's audio device, opened once and left running, asks for
// samples from a callback that renders the current sound: a square wave of
// a given length, a one-bit pattern in a loop, or silence. A new sound
// replaces one still sounding, so sounds never pile up behind each other.
// Without a device the player is silent and says so once on standard error.
//
// Loading SDL and probing its audio back ends take about as long as the rest
// of the start, so the device is opened on a thread of its own, started once
// the window is up. A sound asked for meanwhile is kept and heard from its
// start once the device is open.
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

    // Opens the device on a thread of its own; called once. Sounds asked for
    // before the device is open are kept until it is.
    void startOpening();
    bool available() const; // false until the device is open
    // A square wave of `hz` for `ms` milliseconds, then silence.
    void play(int hz, int ms);
    // Plays `pattern` in a loop at `samplesPerSecond` until stop() (or play()).
    // Asked again while it plays, it goes on from the same place in the pattern
    // with the new samples and rate; stop() sends the next start back to the
    // pattern's beginning.
    void playPattern(const std::array<std::uint8_t, 16>& pattern, double samplesPerSecond);
    void stop();

  private:
    enum class Kind { Silence, Tone, Pattern };
    // What the callback renders. Written under mutex_ alone while the device
    // opens (the callback is not running yet), under the device's lock after.
    struct Sound {
        Kind kind = Kind::Silence;
        long long toneHz = 0;
        long long toneAt = 0; // samples since the tone's start
        long long toneCount = 0;
        std::array<std::uint8_t, 16> pattern{};
        double step = 0;  // pattern bits per output sample
        double phase = 0; // place in the pattern's 128 bits; only stop() resets it
    };

    void open();
    // Runs `change` on sound_ with whatever lock the callback respects held.
    template <typename F> void change(F change);
    static void fill(void* player, std::uint8_t* stream, int bytes);
    void render(std::int16_t* samples, int count);

    mutable std::mutex mutex_;
    bool opening_ = true;
    std::uint32_t device_ = 0;
    Sound sound_;
    std::thread opener_;
};

} // namespace kestrel
