#include "input/key_caption.h"

#include <array>
#include <cstdint>

namespace kestrel {

namespace {

// Windows-1252 at 0x80..0x9F. Its five unassigned codes (Num Lock is one of
// them, 0x90) would be invisible C1 controls; they show as the replacement
// character, so a bound button never goes blank.
constexpr std::array<char32_t, 32> Windows1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

std::string utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

} // namespace

std::string KeyCaption(int keyCode) {
    const auto code = static_cast<std::uint8_t>(keyCode); // stored as 8 bits, as the map holds it
    if (code < 0x20) return utf8(0x2400 + code);
    if (code == 0x7F) return utf8(0x2421);
    if (code >= 0x80 && code < 0xA0) return utf8(Windows1252High[code - 0x80u]);
    return utf8(code);
}

} // namespace kestrel
