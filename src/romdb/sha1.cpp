#include "romdb/rom_database.h"

#include <sha1.h> // libmd

namespace kestrel::romdb {

Sha1Digest Sha1(std::span<const std::uint8_t> bytes) {
    static_assert(SHA1_DIGEST_LENGTH == std::tuple_size_v<Sha1Digest>);
    SHA1_CTX context;
    SHA1Init(&context);
    SHA1Update(&context, bytes.data(), bytes.size());
    Sha1Digest out{};
    SHA1Final(out.data(), &context);
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
