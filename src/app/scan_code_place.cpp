#include "scan_code_place.h"

namespace kestrel {

namespace {

// The X keycode of column 1 of each row; the row's four keys follow it.
constexpr std::uint32_t RowStarts[4] = {
    10, // 1 2 3 4 (evdev KEY_1..KEY_4)
    24, // Q W E R on a US keyboard (KEY_Q..KEY_R)
    38, // A S D F (KEY_A..KEY_F)
    52, // Z X C V (KEY_Z..KEY_V)
};

} // namespace

KeyPlace PlaceOfScanCode(std::uint32_t nativeScanCode) {
    for (int row = 0; row < 4; ++row) {
        const std::uint32_t start = RowStarts[row];
        if (nativeScanCode >= start && nativeScanCode < start + 4)
            return {row + 1, static_cast<int>(nativeScanCode - start) + 1};
    }
    return {};
}

} // namespace kestrel
