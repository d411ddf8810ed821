#pragma once

#include <array>
#include <cstdint>

namespace kestrel {

// Host key codes are the Windows virtual-key numbers.
// Entry i is the host key of keypad key i; entry 0 is never used. Entry 15
// holds numeric keypad subtract (109), so that numeric keypad 7 (103) is
// keypad key 1 alone and all sixteen keys can be produced.
inline constexpr std::array<std::uint8_t, 17> DefaultKeyMap = {
    0,   103, 104, 105, // keypad 7 8 9   -> 1 2 3
    100, 101, 102,      // keypad 4 5 6   -> 4 5 6
    97,  98,  99,       // keypad 1 2 3   -> 7 8 9
    96,                 // keypad 0       -> 10
    111, 106, 107,      // keypad / * +   -> 11 12 13
    13,                 // Enter          -> 14
    109,                // keypad -       -> 15
    110,                // keypad .       -> 16
};

} // namespace kestrel
