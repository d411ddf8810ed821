#include "run/png.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace kestrel::run {

namespace {

std::uint32_t crc32(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes)
        crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(std::string_view bytes) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const char byte : bytes) {
        a = (a + static_cast<std::uint8_t>(byte)) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

void putBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

// Length, type and data, then the CRC of type and data.
void putChunk(std::string& out, std::string_view type, std::string_view data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type) + std::string(data);
    out += body;
    putBigEndian(out, crc32(body));
}

// A zlib stream of stored blocks, at most 65535 bytes each.
std::string storedZlib(std::string_view data) {
    std::string out = "\x78\x01";
    do {
        const std::size_t length = std::min<std::size_t>(data.size(), 65535);
        out += static_cast<char>(length == data.size() ? 1 : 0); // the last block's flag
        out += static_cast<char>(length & 0xFF);
        out += static_cast<char>(length >> 8);
        out += static_cast<char>(~length & 0xFF);
        out += static_cast<char>((~length >> 8) & 0xFF);
        out += data.substr(0, length);
        data.remove_prefix(length);
    } while (!data.empty());
    return out;
}

} // namespace

std::string EncodePng(const PictureView& picture) {
    std::string header;
    putBigEndian(header, static_cast<std::uint32_t>(picture.columns));
    putBigEndian(header, static_cast<std::uint32_t>(picture.rows));
    header += std::string_view("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, no interlace

    std::string raw; // each row: filter 0 (none), then its pixels
    for (int y = 0; y < picture.rows; ++y) {
        raw += '\0';
        for (int x = 0; x < picture.columns; ++x) {
            const std::int32_t colour = picture.colours[picture.at(x, y) & 3];
            raw += static_cast<char>((colour >> 16) & 0xFF);
            raw += static_cast<char>((colour >> 8) & 0xFF);
            raw += static_cast<char>(colour & 0xFF);
        }
    }
    std::string compressed = storedZlib(raw);
    putBigEndian(compressed, adler32(raw));

    std::string png = "\x89PNG\r\n\x1a\n";
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", compressed);
    putChunk(png, "IEND", {});
    return png;
}

} // namespace kestrel::run
