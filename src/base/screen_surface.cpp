#include "base/screen_surface.h"

#include <algorithm>

namespace kestrel {

void ScreenSurface::ClearSurface() {
    raster_.fill(Opaque | static_cast<std::uint32_t>(BackColour));
}

void ScreenSurface::fillClipped(int x1, int y1, int x2, int y2, std::uint32_t word) {
    // Exactly the pixels with x1 <= x <= x2 and y1 <= y <= y2: corners given
    // the wrong way round name no pixel, they are not swapped.
    const int left = std::max(x1, 0);
    const int right = std::min(x2, Width - 1);
    const int top = std::max(y1, 0);
    const int bottom = std::min(y2, Height - 1);
    for (int y = top; y <= bottom; ++y) {
        std::uint32_t* row = raster_.data() + y * Width;
        for (int x = left; x <= right; ++x)
            row[x] = word;
    }
}

void ScreenSurface::PaintGrid(const std::uint8_t* grid, int width, int height,
                              const std::array<std::int32_t, 4>& palette) {
    std::array<std::uint32_t, 4> words{};
    for (std::size_t k = 0; k < words.size(); ++k)
        words[k] = Opaque | (static_cast<std::uint32_t>(palette[k]) & 0xFFFFFFu);
    const int rows = std::min(height, Height / 2);
    const int columns = std::min(width, (Width - 1) / 2);
    for (int y = 0; y < rows; ++y) {
        std::uint32_t* top = raster_.data() + 2 * y * Width + 1;
        std::uint32_t* bottom = top + Width;
        for (int x = 0; x < columns; ++x) {
            const std::uint32_t word = words[grid[y * width + x] & 3u];
            top[2 * x] = top[2 * x + 1] = bottom[2 * x] = bottom[2 * x + 1] = word;
        }
    }
}

} // namespace kestrel
