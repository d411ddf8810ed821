#pragma once
// Octo's numeric literals: an optional '-' and then decimal digits, 0x hex,
// 0b binary or a decimal fraction such as 0.5 or 10. Every other token is a
// name.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrel::octo {

std::optional<double> parseNumber(std::string_view text);

// A hexadecimal digit's value in either case; -1 for any other character.
int hexDigitValue(char c);

// A value made an integer as instruction operands need it: toward zero, with
// NaN and the infinities as 0, held well inside the range of int64.
std::int64_t truncated(double value);

// JavaScript's ToInt32, which the bitwise operators and the masked forms
// ({ } after :byte, :pointer, :org, :call) use.
std::int32_t toInt32(double value);

} // namespace kestrel::octo
