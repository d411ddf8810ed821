#include "standard/frame_buffer.h"

#include <algorithm>
#include <cstring>

namespace kestrel {

namespace {

// The grid pixel `to` takes the planes in `planes` from `from` (0 for dark)
// and keeps its others.
inline void take(std::uint8_t& to, std::uint8_t from, std::uint8_t planes) {
    to = static_cast<std::uint8_t>((to & ~planes) | (from & planes));
}

constexpr std::uint8_t AllPlanes = 0x03;

} // namespace

void FrameBuffer::clear(std::uint8_t planes) {
    if ((planes & AllPlanes) == AllPlanes) return pixels_.fill(0);
    for (std::uint8_t& p : pixels_)
        p = static_cast<std::uint8_t>(p & ~planes);
}

// A scroll of every plane moves whole rows; one of a plane alone merges. A
// scroll by 0 moves nothing and one by the whole grid leaves it dark, so that
// the moves below form only addresses inside the grid.
void FrameBuffer::scrollDown(int n, std::uint8_t planes) {
    n = std::clamp(n, 0, Height);
    if (n == 0) return;
    if (n == Height) return clear(planes);
    if ((planes & AllPlanes) == AllPlanes) {
        std::memmove(pixels_.data() + n * Width, pixels_.data(),
                     static_cast<std::size_t>((Height - n) * Width));
        std::memset(pixels_.data(), 0, static_cast<std::size_t>(n * Width));
        return;
    }
    for (int y = Height - 1; y >= 0; --y)
        for (int x = 0; x < Width; ++x)
            take(pixels_[y * Width + x], y >= n ? pixels_[(y - n) * Width + x] : 0, planes);
}

void FrameBuffer::scrollUp(int n, std::uint8_t planes) {
    n = std::clamp(n, 0, Height);
    if (n == 0) return;
    if (n == Height) return clear(planes);
    if ((planes & AllPlanes) == AllPlanes) {
        std::memmove(pixels_.data(), pixels_.data() + n * Width,
                     static_cast<std::size_t>((Height - n) * Width));
        std::memset(pixels_.data() + (Height - n) * Width, 0, static_cast<std::size_t>(n * Width));
        return;
    }
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            take(pixels_[y * Width + x], y + n < Height ? pixels_[(y + n) * Width + x] : 0, planes);
}

void FrameBuffer::scrollLeft(int n, std::uint8_t planes) {
    n = std::clamp(n, 0, Width);
    if (n == 0) return;
    if (n == Width) return clear(planes);
    if ((planes & AllPlanes) == AllPlanes) {
        for (int y = 0; y < Height; ++y) {
            std::uint8_t* row = pixels_.data() + y * Width;
            std::memmove(row, row + n, static_cast<std::size_t>(Width - n));
            std::memset(row + Width - n, 0, static_cast<std::size_t>(n));
        }
        return;
    }
    for (int y = 0; y < Height; ++y) {
        std::uint8_t* row = pixels_.data() + y * Width;
        for (int x = 0; x < Width; ++x)
            take(row[x], x + n < Width ? row[x + n] : 0, planes);
    }
}

void FrameBuffer::scrollRight(int n, std::uint8_t planes) {
    n = std::clamp(n, 0, Width);
    if (n == 0) return;
    if (n == Width) return clear(planes);
    if ((planes & AllPlanes) == AllPlanes) {
        for (int y = 0; y < Height; ++y) {
            std::uint8_t* row = pixels_.data() + y * Width;
            std::memmove(row + n, row, static_cast<std::size_t>(Width - n));
            std::memset(row, 0, static_cast<std::size_t>(n));
        }
        return;
    }
    for (int y = 0; y < Height; ++y) {
        std::uint8_t* row = pixels_.data() + y * Width;
        for (int x = Width - 1; x >= 0; --x)
            take(row[x], x >= n ? row[x - n] : 0, planes);
    }
}

} // namespace kestrel
