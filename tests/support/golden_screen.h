#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel::testing {

// Compares a screen (rows of a character a pixel: 64 x 32 of '#' lit and '.'
// dark, or 128 x 64 of colour indices) with its baseline
// tests/golden/<name>.screen; a failure shows both pictures, the differing
// rows marked. With KESTREL_UPDATE_GOLDEN=1 a differing or missing baseline
// is rewritten instead and the differing rows are printed.
::testing::AssertionResult MatchesGoldenScreen(const std::vector<std::string>& actual,
                                               const std::string& name);

} // namespace kestrel::testing
