#include "octo/number.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace kestrel::octo {
int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

namespace {

std::optional<double> digits(std::string_view s, int base) {
    if (s.empty()) return std::nullopt;
    double value = 0;
    for (char c : s) {
        const int d = hexDigitValue(c);
        if (d < 0 || d >= base) return std::nullopt;
        value = value * base + d;
    }
    return value;
}

std::optional<double> decimal(std::string_view s) {
    const std::size_t dot = s.find('.');
    if (dot == std::string_view::npos) return digits(s, 10);
    const auto whole = digits(s.substr(0, dot), 10);
    if (!whole) return std::nullopt;
    const std::string_view fraction = s.substr(dot + 1);
    if (fraction.empty()) return whole;
    if (!digits(fraction, 10)) return std::nullopt;
    // The fraction's digits through strtod, so that 0.1 is the nearest double.
    return *whole + std::strtod(("0." + std::string(fraction)).c_str(), nullptr);
}

} // namespace

std::optional<double> parseNumber(std::string_view text) {
    bool negative = false;
    if (text.starts_with('-')) {
        negative = true;
        text.remove_prefix(1);
    }
    std::optional<double> value;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        value = digits(text.substr(2), 16);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) {
        value = digits(text.substr(2), 2);
    } else {
        value = decimal(text);
    }
    if (value && negative) *value = -*value;
    return value;
}

std::int64_t truncated(double value) {
    if (!std::isfinite(value)) return 0;
    constexpr double limit = 4611686018427387904.0; // 2^62
    const double t = std::trunc(value);
    return static_cast<std::int64_t>(t > limit ? limit : t < -limit ? -limit : t);
}

std::int32_t toInt32(double value) {
    if (!std::isfinite(value)) return 0;
    double m = std::fmod(std::trunc(value), 4294967296.0);
    if (m < 0) m += 4294967296.0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(m));
}

} // namespace kestrel::octo
