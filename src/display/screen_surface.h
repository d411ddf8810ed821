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
    std::int32_t ReadPixel(int x, int y) const;
    // Both corners are included; whatever lies outside the surface is dropped.
    void FillRect(int x1, int y1, int x2, int y2, std::int32_t colour);

    // The raster as 0xFFRRGGBB words, row by row, for the window to paint.
    const std::uint32_t* pixels() const { return raster_.data(); }

private:
    static constexpr std::uint32_t Opaque = 0xFF000000u;
    std::array<std::uint32_t, Width * Height> raster_{};
};

} // namespace kestrel
