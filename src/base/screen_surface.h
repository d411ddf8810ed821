#pragma once

#include <array>
#include <cstdint>

namespace kestrel {

// Colours are 0xRRGGBB; ReadPixel answers -1 outside the surface, which is no
// colour and never equals LitColour.
inline constexpr std::int32_t LitColour = 0x00FF00;
inline constexpr std::int32_t DarkColour = 0x000000;
inline constexpr std::int32_t BackColour = DarkColour;
inline constexpr int BlockSize = 4;

// The picture area's raster: at once the display and the only record of which
// CHIP-8 pixels are lit. The 64 x 32 screen covers columns 1..256 and rows
// 0..127; column 0 keeps the back colour.
class ScreenSurface {
  public:
    static constexpr int Width = 257;
    static constexpr int Height = 128;

    ScreenSurface() { ClearSurface(); }

    void ClearSurface();
    // Inline: a sprite makes up to 120 reads and 120 fills, one block at a time.
    std::int32_t ReadPixel(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width || y >= Height) return -1;
        return static_cast<std::int32_t>(raster_[static_cast<std::size_t>(y * Width + x)] &
                                         0xFFFFFFu);
    }
    // Both corners are included; whatever lies outside the surface is dropped.
    void FillRect(int x1, int y1, int x2, int y2, std::int32_t colour) {
        const std::uint32_t word = Opaque | (static_cast<std::uint32_t>(colour) & 0xFFFFFFu);
        // The common case, one whole block inside the surface, without clipping.
        if (x2 == x1 + 3 && y2 == y1 + 3 && x1 >= 0 && y1 >= 0 && x2 < Width && y2 < Height) {
            std::uint32_t* row = raster_.data() + y1 * Width + x1;
            for (int k = 0; k < 4; ++k, row += Width)
                row[0] = row[1] = row[2] = row[3] = word;
            return;
        }
        fillClipped(x1, y1, x2, y2, word);
    }

    // Paints a grid of colour indexes 0..3, row by row, each as a 2 x 2
    // block from column 1 on.
    void PaintGrid(const std::uint8_t* grid, int width, int height,
                   const std::array<std::int32_t, 4>& palette);

    // The raster as 0xFFRRGGBB words, row by row, for the window to paint.
    const std::uint32_t* pixels() const { return raster_.data(); }

  private:
    static constexpr std::uint32_t Opaque = 0xFF000000u;
    void fillClipped(int x1, int y1, int x2, int y2, std::uint32_t word);
    std::array<std::uint32_t, Width * Height> raster_{};
};

} // namespace kestrel
