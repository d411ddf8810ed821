#include "vm/kestrel_interpreter.h"

namespace kestrel {

// DXYN draws in one step, without a yield. VF is cleared before anything is
// read, and the coordinates are taken afresh for every row, so with X or Y = F
// a collision in one row moves the later rows. Nothing wraps at the edges.
void KestrelInterpreter::DrawSprite() {
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
void KestrelInterpreter::drawscreen() {
    const int x = SpriteX + 1 + BlockSize * SpriteBit;
    const int y = SpriteY + BlockSize * SpriteRow;
    if (surface_.ReadPixel(x, y) == LitColour) {
        VF() = 1;
        surface_.FillRect(x, y, x + BlockSize - 1, y + BlockSize - 1, DarkColour);
    } else {
        surface_.FillRect(x, y, x + BlockSize - 1, y + BlockSize - 1, LitColour);
    }
}

} // namespace kestrel
