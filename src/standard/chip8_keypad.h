#pragma once

#include "base/key_place.h"

#include <array>
#include <cstdint>

namespace kestrel {

// The standard machines' keypad: sixteen keys 0..F, each up or down on its
// own. A CHIP-8 key is down while any host key that gave it is down, so one
// held on the numeric keypad and in the letter block at once goes up only
// when both have. A host key goes up as the key it went down as, even if the
// key map changed meanwhile.
class Chip8Keypad {
  public:
    // A host key as the window names it: its code, and its place if it has one.
    struct HostKey {
        int code = 0;
        KeyPlace place{};
        bool operator==(const HostKey&) const = default;
    };

    void press(HostKey key, int value); // value 0..15
    void release(HostKey key);
    void releaseAll();
    // Down now, or tapped (down and up again) since the frame began: a tap
    // between two frames is held for the whole of the next.
    bool isDown(int value) const {
        return holders_[static_cast<std::size_t>(value & 0xF)] > 0 ||
               (tappedForFrame_ & (1u << (value & 0xF))) != 0;
    }
    // A frame begins: the keys that went down since the last one count for it.
    void beginFrame() {
        tappedForFrame_ = pressedSinceFrame_;
        pressedSinceFrame_ = 0;
    }
    // While held, through a key wait or a pause, a press leaves the taps as
    // they are: a key that goes down and up meanwhile is no tap of the frame
    // after.
    void holdTaps(bool held) { tapsHeld_ = held; }

    // FX0A: the first key that goes up after beginWait, though it went down
    // before; -1 until one has.
    void beginWait();
    int waitedKey() const { return waited_; }

  private:
    void wentUp(int value);

    struct Held {
        HostKey key;
        int value;
    };
    // More host keys than any keyboard holds at once; a press beyond them is
    // dropped rather than stored.
    static constexpr std::size_t MostHeld = 32;
    std::array<Held, MostHeld> held_{};
    std::size_t heldCount_ = 0;
    std::array<std::uint8_t, 16> holders_{}; // host keys holding each CHIP-8 key down
    std::uint16_t pressedSinceFrame_ = 0;
    std::uint16_t tappedForFrame_ = 0;
    bool tapsHeld_ = false;

    bool waiting_ = false;
    int waited_ = -1;
};

} // namespace kestrel
