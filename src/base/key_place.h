#pragma once

namespace kestrel {

// Where a host key sits in the keyboard's left-hand block: its row (1 the
// digit row, 2 the top letter row, 3 the home row, 4 the bottom row) and its
// column (1..4 from the left edge of the row). A place names the key itself,
// not the character the layout puts on it, so that QWERTY, QWERTZ and AZERTY
// keyboards play alike. Row 0 is a key outside the block.
struct KeyPlace {
    int row = 0;
    int column = 0;
    bool operator==(const KeyPlace&) const = default;
};

// The CHIP-8 key that the standard machines give the key at `place`, laid
// out as the COSMAC VIP's keypad (1 2 3 C / 4 5 6 D / 7 8 9 E / A 0 B F);
// -1 outside the block.
constexpr int LetterBlockValue(KeyPlace place) {
    constexpr int values[4][4] = {
        {0x1, 0x2, 0x3, 0xC},
        {0x4, 0x5, 0x6, 0xD},
        {0x7, 0x8, 0x9, 0xE},
        {0xA, 0x0, 0xB, 0xF},
    };
    if (place.row < 1 || place.row > 4 || place.column < 1 || place.column > 4) return -1;
    return values[place.row - 1][place.column - 1];
}

} // namespace kestrel
