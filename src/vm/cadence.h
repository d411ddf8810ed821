#pragma once

namespace kestrel {

// The run loop's rhythm. A pass executes one instruction, whose handler opens
// with HandlerYields yields (DXYN and words that match no row make none), and
// then yields PassYields times, so that the desktop is served between
// instructions and a delay of n takes n passes.
inline constexpr int PassYields = 100;
inline constexpr int HandlerYields = 1;

} // namespace kestrel
