#pragma once

namespace kestrel::testing::key {

// Host key codes (Windows virtual-key numbers) that the tests press, named so
// that they read apart from yield counts.
inline constexpr int Enter = 13;
inline constexpr int Shift = 16;
inline constexpr int NumPad0 = 96;
inline constexpr int NumPad1 = 97;
inline constexpr int NumPad2 = 98;
inline constexpr int NumPad3 = 99;
inline constexpr int NumPad4 = 100;
inline constexpr int NumPad5 = 101;
inline constexpr int NumPad6 = 102;
inline constexpr int NumPad7 = 103;
inline constexpr int NumPad8 = 104;
inline constexpr int NumPad9 = 105;
inline constexpr int NumPadMultiply = 106;
inline constexpr int NumPadAdd = 107;
inline constexpr int NumPadSubtract = 109;
inline constexpr int NumPadDecimal = 110;
inline constexpr int NumPadDivide = 111;

} // namespace kestrel::testing::key
