#include "display/screen_surface.h"

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

} // namespace kestrel
