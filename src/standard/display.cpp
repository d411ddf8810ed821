#include "standard/standard_interpreter.h"

namespace kestrel {

namespace {
constexpr std::uint8_t EveryPlane = 0x3;
}

void StandardInterpreter::clearScreen() {
    screen_.clear(planes_);
    pictureChanged_ = true;
}

// 00FE and 00FF clear every plane, whatever is selected; the calculator kept
// the picture, drawn over in the new mode.
void StandardInterpreter::setMode(bool hires) {
    screen_.setHires(hires);
    if (kind_.calculator.modeSwitchKeepsPicture) return;
    screen_.clear(EveryPlane);
    pictureChanged_ = true;
}

// Amounts are in pixels of the current mode; the calculator's were in pixels
// of 128 x 64 in both modes. Directions: down, up, right, left.
void StandardInterpreter::scroll(int direction, int amount) {
    const int scale = direction < 2 ? screen_.scaleY() : screen_.scaleX();
    const int pixels = kind_.calculator.scrollInHiresPixels ? amount : amount * scale;
    // A one-plane machine's second plane is always dark: moving it too lets
    // whole rows move at once.
    const std::uint8_t planes = kind_.planes == 1 ? EveryPlane : planes_;
    switch (direction) {
    case 0: screen_.scrollDown(pixels, planes); break;
    case 1: screen_.scrollUp(pixels, planes); break;
    case 2: screen_.scrollRight(pixels, planes); break;
    default: screen_.scrollLeft(pixels, planes); break;
    }
    pictureChanged_ = true;
}

// DXYN: N rows of 8 pixels, or with N = 0 on SUPER-CHIP and XO-CHIP 16 rows
// of 16 (of 8 in the calculator's 64 x 32). The start wraps; the rest clips
// at the right and bottom edges, or wraps with the wrap quirk. Each selected
// plane, lowest first, reads its own rows from I on. VF, written last, is 1
// when a lit pixel was turned dark, or on the calculator in 128 x 64 the
// rows that collided plus the rows cut off at the bottom.
void StandardInterpreter::drawSprite() {
    const int n = opcode_ & 0xF;
    const bool big = n == 0 && kind_.extensions.superChip;
    const bool hires = screen_.hires();
    const int width = big && (hires || !kind_.calculator.loresBigSpriteIsNarrow) ? 16 : 8;
    const int height = big ? 16 : n;
    const int bytesPerRow = width / 8;
    const int columns = screen_.columns();
    const int rows = screen_.rows();
    const int left = VX() % columns;
    const int top = VY() % rows;
    const bool wrap = kind_.quirks.wrap;

    bool turnedDark = false;
    int collidedRows = 0;
    int clippedRows = 0;
    std::uint64_t address = State.IndexReg;
    for (std::uint8_t plane = 1; plane <= 2; plane <<= 1) {
        if ((planes_ & plane) == 0) continue;
        for (int row = 0; row < height; ++row, address += static_cast<std::uint64_t>(bytesPerRow)) {
            int y = top + row;
            if (y >= rows) {
                if (!wrap) {
                    ++clippedRows;
                    continue;
                }
                y -= rows;
            }
            unsigned bits = memoryAt(address) << 8;
            if (width == 16) bits |= memoryAt(address + 1);
            bool collided = false;
            for (int bit = 0; bit < width; ++bit) {
                if ((bits & (0x8000u >> bit)) == 0) continue;
                int x = left + bit;
                if (x >= columns) {
                    if (!wrap) break;
                    x -= columns;
                }
                collided = screen_.flip(x, y, plane) || collided;
                pictureChanged_ = true;
            }
            if (collided) ++collidedRows;
            turnedDark = turnedDark || collided;
        }
    }
    if (kind_.calculator.hiresFlagCountsRows && hires)
        VF() = static_cast<std::uint8_t>(collidedRows + clippedRows);
    else
        VF() = turnedDark ? 1 : 0;
    if (kind_.quirks.vblank || (kind_.calculator.loresDisplayWait && !hires)) frameEnded_ = true;
}

void StandardInterpreter::paintPicture() {
    surface_.PaintGrid(screen_.pixels(), FrameBuffer::Width, FrameBuffer::Height, palette_);
    pictureChanged_ = false;
    host_.surfaceChanged();
}

} // namespace kestrel
