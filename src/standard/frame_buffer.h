#pragma once

#include <array>
#include <cstdint>

namespace kestrel {

// The standard machines' screen: up to two bit planes of 128 x 64 pixels, and
// the mode. Each pixel is a byte whose bit 0 is plane 1 and bit 1 plane 2, so
// that the painter reads a colour index straight off it. In 64 x 32 a pixel
// is a 2 x 2 block of the 128 x 64 grid, as on the HP48, so that SUPER-CHIP
// 1.1's kept pictures and half-pixel scrolls have somewhere to be.
class FrameBuffer {
  public:
    static constexpr int Width = 128;
    static constexpr int Height = 64;

    bool hires() const { return hires_; }
    void setHires(bool hires) { hires_ = hires; }
    // The current mode's size, and the grid pixels a pixel of it covers.
    int columns() const { return hires_ ? Width : Width / 2; }
    int rows() const { return hires_ ? Height : Height / 2; }
    int scale() const { return hires_ ? 1 : 2; }

    void clear(std::uint8_t planes);
    // Flips the current mode's pixel (x, y) on `plane` (one bit); true when a
    // lit grid pixel went dark. A 64 x 32 pixel flips the two grid pixels of
    // its even row each on its own and copies them to the odd row, as the
    // calculator drew over a picture kept from 128 x 64; a whole block stays
    // whole.
    bool flip(int x, int y, std::uint8_t plane) {
        std::uint8_t* p = &pixels_[static_cast<std::size_t>(y * scale() * Width + x * scale())];
        if (hires_) {
            const bool lit = (p[0] & plane) != 0;
            p[0] ^= plane;
            return lit;
        }
        const bool lit = ((p[0] | p[1]) & plane) != 0;
        p[0] ^= plane;
        p[1] ^= plane;
        p[Width] = static_cast<std::uint8_t>((p[Width] & ~plane) | (p[0] & plane));
        p[Width + 1] = static_cast<std::uint8_t>((p[Width + 1] & ~plane) | (p[1] & plane));
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
};

} // namespace kestrel
