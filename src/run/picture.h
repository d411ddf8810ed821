#pragma once

#include "base/platform.h"
#include "machine/machine.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::run {

// The final picture, one entry a CHIP-8 pixel in the screen's current mode:
// the bits of the planes lit there (bit 0 plane 1, bit 1 plane 2), and the
// colours the window paints none, plane 1, plane 2 and both in.
struct Picture {
    int columns = 0;
    int rows = 0;
    int planes = 1;
    std::vector<std::uint8_t> pixels; // row by row
    std::array<std::int32_t, 4> colours{};
    std::uint8_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y * columns + x)];
    }
};

// The picture of the machine that runs, in the colours `palette` gives a
// standard machine (Kestrel's own are fixed).
Picture ReadPicture(const Machine& machine, const Palette& palette);

// One line a row: '#' lit and '.' dark, or on a machine of two planes one
// digit 0-3 a pixel, the planes' bits.
std::vector<std::string> PictureText(const Picture& picture);

} // namespace kestrel::run
