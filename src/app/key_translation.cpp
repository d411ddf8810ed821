#include "key_translation.h"

#include <algorithm>
#include <iterator>

namespace kestrel {

namespace {

struct KeyCode {
    int key; // a Qt key, or a keysym in NumpadKeysyms
    int code;
};

// Keys of the numeric keypad, by Qt key, when Qt marks them with its keypad
// modifier.
constexpr KeyCode NumpadQtKeys[] = {
    {Qt::Key_0, 96},
    {Qt::Key_1, 97},
    {Qt::Key_2, 98},
    {Qt::Key_3, 99},
    {Qt::Key_4, 100},
    {Qt::Key_5, 101},
    {Qt::Key_6, 102},
    {Qt::Key_7, 103},
    {Qt::Key_8, 104},
    {Qt::Key_9, 105},
    {Qt::Key_Asterisk, 106},
    {Qt::Key_Plus, 107},
    {Qt::Key_Minus, 109},
    {Qt::Key_Period, 110},
    {Qt::Key_Comma, 110}, // the decimal key, whatever it prints
    {Qt::Key_Slash, 111},
    {Qt::Key_Enter, 13},
    {Qt::Key_Return, 13},
    // Num Lock off: the keypad is a second set of navigation keys.
    {Qt::Key_Home, 36},
    {Qt::Key_End, 35},
    {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},
    {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},
    {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},
    {Qt::Key_Clear, 12},
};

// The numeric keypad with Num Lock on, by the XKB keysym that xcb and Wayland
// give as the native virtual key. Some Qt releases on Wayland leave the keypad
// modifier off, and keypad 5 then looks like the digit row's 5 but for this.
// With Num Lock off the keysyms are KP_Home and so on, which Qt already gives
// as the navigation keys whose codes the keypad keeps.
constexpr KeyCode NumpadKeysyms[] = {
    {0xffb0, 96},  // KP_0
    {0xffb1, 97},  // KP_1
    {0xffb2, 98},  // KP_2
    {0xffb3, 99},  // KP_3
    {0xffb4, 100}, // KP_4
    {0xffb5, 101}, // KP_5
    {0xffb6, 102}, // KP_6
    {0xffb7, 103}, // KP_7
    {0xffb8, 104}, // KP_8
    {0xffb9, 105}, // KP_9
    {0xffaa, 106}, // KP_Multiply
    {0xffab, 107}, // KP_Add
    {0xffad, 109}, // KP_Subtract
    {0xffae, 110}, // KP_Decimal
    {0xffac, 110}, // KP_Separator: the decimal key where it prints a comma
    {0xffaf, 111}, // KP_Divide
    {0xff8d, 13},  // KP_Enter
};

// Every other key. The punctuation rows give both characters of a US key
// its one code.
constexpr KeyCode MainKeys[] = {
    {Qt::Key_Backspace, 8},
    {Qt::Key_Tab, 9},
    {Qt::Key_Backtab, 9},
    {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},
    {Qt::Key_Enter, 13},
    {Qt::Key_Shift, 16},
    {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},
    {Qt::Key_AltGr, 18},
    {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},
    {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},
    {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},
    {Qt::Key_Select, 41},
    {Qt::Key_Printer, 42},
    {Qt::Key_Execute, 43},
    {Qt::Key_Print, 44},
    {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},
    {Qt::Key_Help, 47},
    // Shifted digits: ! @ # $ % ^ & * ( )
    {Qt::Key_ParenRight, 48},
    {Qt::Key_Exclam, 49},
    {Qt::Key_At, 50},
    {Qt::Key_NumberSign, 51},
    {Qt::Key_Dollar, 52},
    {Qt::Key_Percent, 53},
    {Qt::Key_AsciiCircum, 54},
    {Qt::Key_Ampersand, 55},
    {Qt::Key_Asterisk, 56},
    {Qt::Key_ParenLeft, 57},
    {Qt::Key_Meta, 91},
    {Qt::Key_Super_L, 91},
    {Qt::Key_Super_R, 92},
    {Qt::Key_Menu, 93},
    {Qt::Key_Sleep, 95},
    {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145},
    {Qt::Key_Semicolon, 186},
    {Qt::Key_Colon, 186},
    {Qt::Key_Equal, 187},
    {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188},
    {Qt::Key_Less, 188},
    {Qt::Key_Minus, 189},
    {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190},
    {Qt::Key_Greater, 190},
    {Qt::Key_Slash, 191},
    {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192},
    {Qt::Key_AsciiTilde, 192},
    {Qt::Key_BracketLeft, 219},
    {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220},
    {Qt::Key_Bar, 220},
    {Qt::Key_BracketRight, 221},
    {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, 222},
    {Qt::Key_QuoteDbl, 222},
    {Qt::Key_Play, 250},
    {Qt::Key_Zoom, 251},
    {Qt::Key_Cancel, 3},
};

// Whether the translation can give `code` for some key: a fallback code must
// never be mistaken for a key the table knows.
constexpr bool TableGives(int code) {
    if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9') ||
        (code >= 112 && code <= 135))
        return true;
    const auto holds = [code](const auto& table) {
        return std::any_of(std::begin(table), std::end(table),
                           [code](const KeyCode& entry) { return entry.code == code; });
    };
    return holds(NumpadQtKeys) || holds(NumpadKeysyms) || holds(MainKeys);
}

static_assert(std::none_of(HostKeyCodes::FallbackCodes.begin(), HostKeyCodes::FallbackCodes.end(),
                           TableGives),
              "a fallback code must not equal a code the translation table gives");

int lookUp(const auto& table, std::uint32_t key) {
    for (const KeyCode& entry : table) {
        if (static_cast<std::uint32_t>(entry.key) == key) return entry.code;
    }
    return 0;
}

} // namespace

int TranslateKey(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t nativeVirtualKey) {
    if (modifiers.testFlag(Qt::KeypadModifier)) {
        if (const int code = lookUp(NumpadQtKeys, static_cast<std::uint32_t>(qtKey))) return code;
    } else if (const int code = lookUp(NumpadKeysyms, nativeVirtualKey)) {
        return code;
    }
    // Letters and digits: the code is the upper-case character, as Qt's key is.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
    return lookUp(MainKeys, static_cast<std::uint32_t>(qtKey));
}

int HostKeyCodes::codeFor(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t nativeScanCode,
                          std::uint32_t nativeVirtualKey) {
    if (const int code = TranslateKey(qtKey, modifiers, nativeVirtualKey)) return code;
    for (std::size_t i = 0; i < handedOut_.size(); ++i) {
        if (handedOut_[i].qtKey == qtKey && handedOut_[i].scanCode == nativeScanCode)
            return FallbackCodes[i];
    }
    if (handedOut_.size() == FallbackCodes.size()) return FallbackCodes.back();
    handedOut_.push_back({qtKey, nativeScanCode});
    return FallbackCodes[handedOut_.size() - 1];
}

} // namespace kestrel
