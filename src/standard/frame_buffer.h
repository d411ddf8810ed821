#pragma once

#include <array>
#include <cstdint>

namespace kestrel {

// The standard machines' screen: up to two bit planes of 128 x 64 pixels, and
// the mode. Each pixel is a byte whose bit 0 is plane 1 and bit 1 plane 2, so
// that the painter reads a colour index straight off it. In the
// low-resolution mode a pixel is a block of the 128 x 64 grid: 2 x 2 in
// 64 x 32, as on the HP48, so that SUPER-CHIP 1.1's kept pictures and
// half-pixel scrolls have somewhere to be, and 2 x 1 in the two-page
// machine's 64 x 64.
class FrameBuffer {
  public:
    static constexpr int Width = 128;
    static constexpr int Height = 64;

    // The low-resolution mode's size, which the machine starts in: 64 wide,
    // and 32 or 64 high.
    void setLoresSize(int columns, int rows) {
        loresColumns_ = columns;
        loresRows_ = rows;
    }
    bool hires() const { return hires_; }
    void setHires(bool hires) { hires_ = hires; }
    // The current mode's size, and the grid pixels a pixel of it covers.
    int columns() const { return hires_ ? Width : loresColumns_; }
    int rows() const { return hires_ ? Height : loresRows_; }
    int scaleX() const { return hires_ ? 1 : Width / loresColumns_; }
    int scaleY() const { return hires_ ? 1 : Height / loresRows_; }

    void clear(std::uint8_t planes);
    // Flips the current mode's pixel (x, y) on `plane` (one bit); true when a
    // lit grid pixel of it went dark. As on the calculator, each grid pixel
    // of the block's top row flips on its own, and the rows below copy it.
    bool flip(int x, int y, std::uint8_t plane) {
        if (hires_) {
            std::uint8_t* p = pixels_.data() + (y * Width + x);
            const bool lit = (p[0] & plane) != 0;
            p[0] ^= plane;
            return lit;
        }
        // Low resolution is 64 wide: two grid pixels a pixel, and one or two rows.
        const bool twoRows = loresRows_ * 2 == Height;
        std::uint8_t* p = pixels_.data() + ((twoRows ? 2 * y : y) * Width + 2 * x);
        const bool lit = ((p[0] | p[1]) & plane) != 0;
        p[0] ^= plane;
        p[1] ^= plane;
        if (twoRows) {
            p[Width] = static_cast<std::uint8_t>((p[Width] & ~plane) | (p[0] & plane));
            p[Width + 1] = static_cast<std::uint8_t>((p[Width + 1] & ~plane) | (p[1] & plane));
        }
        return lit;
    }

    // Scrolls the planes in `planes` by `n` grid pixels; what comes in is dark.
    void scrollDown(int n, std::uint8_t planes);
    void scrollUp(int n, std::uint8_t planes);
    void scrollLeft(int n, std::uint8_t planes);
    void scrollRight(int n, std::uint8_t planes);

    // The grid pixel's planes, and the whole grid row by row.
    std::uint8_t at(int x, int y) const { return pixels_[static_cast<std::size_t>(y * Width + x)]; }
    const std::uint8_t* pixels() const { return pixels_.data(); }

  private:
    std::array<std::uint8_t, Width * Height> pixels_{};
    bool hires_ = false;
    int loresColumns_ = Width / 2;
    int loresRows_ = Height / 2;
};

} // namespace kestrel
