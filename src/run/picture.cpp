#include "run/picture.h"

#include <algorithm>

namespace kestrel::run {

namespace {

// Kestrel's 64 x 32 screen: 4 x 4 blocks from column 1 of the surface.
Picture kestrelPicture(const ScreenSurface& surface) {
    Picture picture{
        .columns = 64, .rows = 32, .pixels = {}, .colours = {DarkColour, LitColour, 0, 0}};
    for (int y = 0; y < picture.rows; ++y)
        for (int x = 0; x < picture.columns; ++x)
            picture.pixels.push_back(
                surface.ReadPixel(BlockSize * x + 1, BlockSize * y) == LitColour ? 1 : 0);
    return picture;
}

// A standard machine's 128 x 64 grid, painted as 2 x 2 blocks from column 1,
// read back by colour; the mode is not seen on the surface, so a machine
// that has 128 x 64 is read at that size, and any other at its own.
Picture standardPicture(const ScreenSurface& surface, const MachineKind& kind,
                        const Palette& palette) {
    const int width = kind.hasHires() ? kind.screen.hiresWidth : kind.screen.width;
    const int height = kind.hasHires() ? kind.screen.hiresHeight : kind.screen.height;
    Picture picture{
        .columns = width, .rows = height, .planes = kind.planes, .pixels = {}, .colours = palette};
    const int scaleX = 128 / width;
    const int scaleY = 64 / height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::int32_t colour = surface.ReadPixel(2 * scaleX * x + 1, 2 * scaleY * y);
            const auto found = std::find(palette.begin(), palette.end(), colour);
            picture.pixels.push_back(
                static_cast<std::uint8_t>(found == palette.end() ? 0 : found - palette.begin()));
        }
    }
    return picture;
}

} // namespace

Picture ReadPicture(const Machine& machine, const Palette& palette) {
    if (machine.Kind().engine == Engine::Kestrel) return kestrelPicture(machine.Surface());
    return standardPicture(machine.Surface(), machine.Kind(), palette);
}

std::vector<std::string> PictureText(const Picture& picture) {
    std::vector<std::string> rows;
    for (int y = 0; y < picture.rows; ++y) {
        std::string row;
        for (int x = 0; x < picture.columns; ++x) {
            const std::uint8_t bits = picture.at(x, y);
            row += picture.planes > 1 ? static_cast<char>('0' + bits) : bits != 0 ? '#' : '.';
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace kestrel::run
