#include "standard/chip8_keypad.h"

namespace kestrel {

// A second press of a host key that never went up (a key-up lost to the
// desktop) holds nothing more.
void Chip8Keypad::press(HostKey key, int value) {
    for (std::size_t i = 0; i < heldCount_; ++i) {
        if (held_[i].key == key) return;
    }
    if (heldCount_ == MostHeld) return;
    value &= 0xF;
    held_[heldCount_++] = {key, value};
    if (!tapsHeld_) pressedSinceFrame_ |= static_cast<std::uint16_t>(1u << value);
    ++holders_[static_cast<std::size_t>(value)];
}

void Chip8Keypad::release(HostKey key) {
    for (std::size_t i = 0; i < heldCount_; ++i) {
        if (!(held_[i].key == key)) continue;
        const int value = held_[i].value;
        held_[i] = held_[--heldCount_];
        wentUp(value);
        return;
    }
}

void Chip8Keypad::releaseAll() {
    while (heldCount_ > 0)
        wentUp(held_[--heldCount_].value);
}

void Chip8Keypad::wentUp(int value) {
    if (--holders_[static_cast<std::size_t>(value)] > 0) return;
    if (waiting_ && waited_ < 0) waited_ = value;
}

void Chip8Keypad::beginWait() {
    waiting_ = true;
    waited_ = -1;
}

} // namespace kestrel
