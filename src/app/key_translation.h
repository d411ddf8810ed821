#pragma once

#include <Qt>

#include <array>
#include <cstdint>
#include <vector>

namespace kestrel {

// The host key code (Windows virtual-key number) of a Qt key event, or 0 for
// a key that has none. Codes name keys, not characters: a shifted character
// gives the code of its key on a US layout ('!' is 49, 'a' and 'A' are 65),
// and the numeric keypad is told apart by Qt's keypad modifier or, where Qt
// leaves that off, by its keysym in the native virtual key (xcb and Wayland).
// With Num Lock off the keypad sends the navigation keys, which keep their
// own codes.
int TranslateKey(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t nativeVirtualKey = 0);

// Every key that goes down gets a host key code 1..254, so that any key can
// end a remap wait and be bound. Keys the translation table does not know
// (a, e with accents, media keys, ...) get codes from the OEM-specific range,
// in order of first use, each kept for its key until Kestrel closes. Once
// that range is used up, further unknown keys all share its last code.
class HostKeyCodes {
  public:
    static constexpr std::array<int, 22> FallbackCodes = {
        0x92, 0x93, 0x94, 0x95, 0x96, 0xE1, 0xE3, 0xE4, 0xE6, 0xE9, 0xEA,
        0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5,
    };

    // A key is told apart by its native scan code and its Qt key together.
    int codeFor(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t nativeScanCode,
                std::uint32_t nativeVirtualKey = 0);

  private:
    struct Fallback {
        int qtKey;
        std::uint32_t scanCode;
    };
    std::vector<Fallback> handedOut_; // index i holds FallbackCodes[i]
};

} // namespace kestrel
