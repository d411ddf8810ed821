#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel::testing {

// Compares a 64 x 32 screen (rows of '#' lit and '.' dark) with its baseline
// tests/golden/<name>.screen; a failure shows both pictures, the differing
// rows marked. With KESTREL_UPDATE_GOLDEN=1 a differing or missing baseline
// is rewritten instead and the differing rows are printed.
::testing::AssertionResult MatchesGoldenScreen(const std::vector<std::string>& actual,
                                               const std::string& name);

} // namespace kestrel::testing
