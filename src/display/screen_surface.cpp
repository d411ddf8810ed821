#include "display/screen_surface.h"

#include <algorithm>

namespace kestrel {

void ScreenSurface::ClearSurface() {
    raster_.fill(Opaque | static_cast<std::uint32_t>(BackColour));
}

std::int32_t ScreenSurface::ReadPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width || y >= Height) return -1;
    return static_cast<std::int32_t>(raster_[static_cast<std::size_t>(y * Width + x)] & 0xFFFFFFu);
}

void ScreenSurface::FillRect(int x1, int y1, int x2, int y2, std::int32_t colour) {
    const int left = std::max(std::min(x1, x2), 0);
    const int right = std::min(std::max(x1, x2), Width - 1);
    const int top = std::max(std::min(y1, y2), 0);
    const int bottom = std::min(std::max(y1, y2), Height - 1);
    const std::uint32_t word = Opaque | (static_cast<std::uint32_t>(colour) & 0xFFFFFFu);
    for (int y = top; y <= bottom; ++y) {
        std::uint32_t* row = raster_.data() + y * Width;
        for (int x = left; x <= right; ++x) row[x] = word;
    }
}

} // namespace kestrel
