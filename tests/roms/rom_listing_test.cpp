// Each ROM's listing is its source: the words and data bytes of the listing,
// in address order from 512, must be the .ch8 image byte for byte.
#include "roms/rom_files.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

namespace kestrel::testing {
namespace {

struct Listing {
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> problems; // lines that break the listing's own rules
};

bool isUpperHex(const std::string& s) {
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c)) ||
            std::islower(static_cast<unsigned char>(c)))
            return false;
    }
    return !s.empty();
}

// A code line is "AAAA  WWWW  mnemonic  ; comment" (an instruction word, or
// eight digits for XO-CHIP's F000 NNNN), "AAAA  BB  DB ...  ; comment" (a data
// byte) or "AAAA  BB  DS N  ; comment" (the byte N times, to fill a gap).
// Comment lines begin with ';', label lines end with ':'; both carry no bytes.
Listing parseListing(const std::string& path) {
    Listing listing;
    std::uint32_t expected = 512;
    int number = 0;
    for (const std::string& line : readLines(path)) {
        ++number;
        const std::string where = "line " + std::to_string(number) + ": " + line;
        if (line.empty() || line[0] == ';' || line.back() == ':') continue;
        std::istringstream fields(line.substr(0, line.find(';')));
        std::string address, code, mnemonic;
        fields >> address >> code >> mnemonic;
        if (address.size() != 4 || !isUpperHex(address) || !isUpperHex(code) ||
            (code.size() != 2 && code.size() != 4 && code.size() != 8) || mnemonic.empty() ||
            line.find(';') == std::string::npos) {
            listing.problems.push_back("not a code line: " + where);
            continue;
        }
        if (std::stoul(address, nullptr, 16) != expected) {
            listing.problems.push_back("address out of sequence (expected " +
                                       std::to_string(expected) + "): " + where);
        }
        const bool data = mnemonic == "DB" || mnemonic == "DS";
        if ((code.size() == 2) != data) {
            listing.problems.push_back("data bytes are DB or DS, instructions are words: " + where);
        }
        std::size_t times = 1;
        if (mnemonic == "DS" && !(fields >> times)) {
            listing.problems.push_back("DS without a count: " + where);
            continue;
        }
        for (; times > 1; --times, ++expected)
            listing.bytes.push_back(static_cast<std::uint8_t>(std::stoul(code, nullptr, 16)));
        for (std::size_t i = 0; i < code.size(); i += 2) {
            listing.bytes.push_back(
                static_cast<std::uint8_t>(std::stoul(code.substr(i, 2), nullptr, 16)));
            ++expected;
        }
    }
    return listing;
}

std::string hexDump(const std::vector<std::uint8_t>& bytes, std::size_t from) {
    std::ostringstream out;
    for (std::size_t i = from; i < bytes.size() && i < from + 8; ++i) {
        out << std::hex << std::uppercase << (bytes[i] < 16 ? "0" : "") << int(bytes[i]) << ' ';
    }
    return out.str();
}

class RomListing : public ::testing::TestWithParam<std::string> {};

TEST_P(RomListing, ListingIsTheImageByteForByte) {
    const std::vector<std::uint8_t> image = readBytes(romPath(GetParam() + ".ch8"));
    const Listing listing = parseListing(romPath(GetParam() + ".lst"));
    ASSERT_FALSE(image.empty()) << romPath(GetParam() + ".ch8") << " is missing or empty";
    for (const std::string& problem : listing.problems)
        ADD_FAILURE() << problem;

    ASSERT_EQ(listing.bytes.size(), image.size()) << "the listing and the image differ in length";
    for (std::size_t i = 0; i < image.size(); ++i) {
        ASSERT_EQ(int(listing.bytes[i]), int(image[i]))
            << "first difference at address " << 512 + i << ": listing "
            << hexDump(listing.bytes, i) << "| image " << hexDump(image, i);
    }
}

INSTANTIATE_TEST_SUITE_P(Roms, RomListing,
                         ::testing::Values("demo", "keypad", "machines", "superchip", "twopage",
                                           "xochip"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

} // namespace
} // namespace kestrel::testing
