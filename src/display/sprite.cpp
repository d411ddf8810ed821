#include "vm/machine.h"

namespace kestrel {

// DXYN draws in one step, without a yield. VF is cleared before anything is
// read, and the coordinates are taken afresh for every row, so with X or Y = F
// a collision in one row moves the later rows. Nothing wraps at the edges.
void Machine::DrawSprite() {
    VF() = 0;
    const int rows = State.Nibble4; // DXY0 draws nothing
    bool drew = false;
    for (int row = 0; row < rows; ++row) {
        SpriteRow = static_cast<std::uint8_t>(row);
        const std::uint64_t address = State.IndexReg + SpriteRow;
        if (address > LastAddress) {
            if (drew) host_.surfaceChanged();
            return stopRunAtAddress(address);
        }
        int b = State.Memory[address];
        SpriteBit = 0;
        SpriteX = BlockSize * VX();
        SpriteY = BlockSize * VY();
        for (int mask = 128; mask >= 1; mask >>= 1) {
            if (b >= mask) {
                drawscreen();
                drew = true;
                b -= mask;
            }
            if (mask != 1) ++SpriteBit;
        }
    }
    if (drew) host_.surfaceChanged();
}

// Collision is read back from the surface: a block is lit exactly when its
// top-left device pixel is LitColour.
void Machine::drawscreen() {
    const int x = SpriteX + 1 + BlockSize * SpriteBit;
    const int y = SpriteY + BlockSize * SpriteRow;
    if (surface_.ReadPixel(x, y) == LitColour) {
        VF() = 1;
        surface_.FillRect(x, y, x + BlockSize - 1, y + BlockSize - 1, DarkColour);
    } else {
        surface_.FillRect(x, y, x + BlockSize - 1, y + BlockSize - 1, LitColour);
    }
}

// A standard machine's DXYN. The start wraps (VX mod 64, VY mod 32); the
// sprite clips at the right and bottom edges, or wraps with the wrap quirk.
// VF, written last, is 1 when a lit pixel was turned dark. With the vblank
// quirk the draw ends the frame.
void Machine::drawChip8Sprite() {
    constexpr int Columns = 64;
    constexpr int Rows = 32;
    const int left = VX() % Columns;
    const int top = VY() % Rows;
    bool turnedDark = false;
    bool drew = false;
    for (int row = 0; row < State.Nibble4; ++row) {
        const int y = top + row;
        if (y >= Rows && !kind_.quirks.wrap) break;
        const std::uint8_t bits = memoryAt(State.IndexReg + static_cast<std::uint64_t>(row));
        for (int bit = 0; bit < 8; ++bit) {
            const int x = left + bit;
            if (x >= Columns && !kind_.quirks.wrap) break;
            if ((bits & (0x80 >> bit)) == 0) continue;
            const int deviceX = 1 + BlockSize * (x % Columns);
            const int deviceY = BlockSize * (y % Rows);
            const bool lit = surface_.ReadPixel(deviceX, deviceY) == LitColour;
            surface_.FillRect(deviceX, deviceY, deviceX + BlockSize - 1, deviceY + BlockSize - 1,
                              lit ? DarkColour : LitColour);
            turnedDark = turnedDark || lit;
            drew = true;
        }
    }
    VF() = turnedDark ? 1 : 0;
    if (drew) host_.surfaceChanged();
    if (kind_.quirks.vblank) frameEnded_ = true;
}

} // namespace kestrel
