#include "romdb/rom_database.h"

#include <bit>

namespace kestrel::romdb {

namespace {

constexpr std::array<std::uint32_t, 4> RoundConstants = {0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC,
                                                         0xCA62C1D6};

void Compress(std::array<std::uint32_t, 5>& h, const std::uint8_t* block) {
    std::array<std::uint32_t, 80> w{};
    for (int t = 0; t < 16; ++t)
        w[t] = std::uint32_t{block[4 * t]} << 24 | std::uint32_t{block[4 * t + 1]} << 16 |
               std::uint32_t{block[4 * t + 2]} << 8 | std::uint32_t{block[4 * t + 3]};
    for (int t = 16; t < 80; ++t)
        w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    auto [a, b, c, d, e] = h;
    for (int t = 0; t < 80; ++t) {
        const int round = t / 20;
        const std::uint32_t f = round == 0   ? (b & c) | (~b & d)
                                : round == 2 ? (b & c) | (b & d) | (c & d)
                                             : b ^ c ^ d;
        const std::uint32_t next = std::rotl(a, 5) + f + e + RoundConstants[round] + w[t];
        e = d;
        d = c;
        c = std::rotl(b, 30);
        b = a;
        a = next;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

} // namespace

Sha1Digest Sha1(std::span<const std::uint8_t> bytes) {
    std::array<std::uint32_t, 5> h = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    const std::size_t whole = bytes.size() / 64 * 64;
    for (std::size_t at = 0; at < whole; at += 64)
        Compress(h, bytes.data() + at);

    // The tail, the 0x80 marker and the length in bits fill one or two blocks.
    std::array<std::uint8_t, 128> tail{};
    const std::size_t rest = bytes.size() - whole;
    for (std::size_t k = 0; k < rest; ++k)
        tail[k] = bytes[whole + k];
    tail[rest] = 0x80;
    const std::size_t tailSize = rest < 56 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (int k = 0; k < 8; ++k)
        tail[tailSize - 1 - k] = static_cast<std::uint8_t>(bits >> (8 * k));
    for (std::size_t at = 0; at < tailSize; at += 64)
        Compress(h, tail.data() + at);

    Sha1Digest out{};
    for (int k = 0; k < 20; ++k)
        out[k] = static_cast<std::uint8_t>(h[k / 4] >> (24 - 8 * (k % 4)));
    return out;
}

std::optional<Sha1Digest> DigestFromHex(std::string_view hex) {
    if (hex.size() != 40) return std::nullopt;
    Sha1Digest out{};
    for (std::size_t k = 0; k < 40; ++k) {
        const char c = hex[k];
        int nibble = 0;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else
            return std::nullopt;
        out[k / 2] = static_cast<std::uint8_t>(out[k / 2] << 4 | nibble);
    }
    return out;
}

} // namespace kestrel::romdb
