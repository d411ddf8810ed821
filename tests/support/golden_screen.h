#pragma once

#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kestrel::testing {

// Compares the 64 x 32 screen with a text file of '#' (lit) and '.' (dark)
// rows kept in tests/display/golden/; a failure shows both pictures, the
// differing rows marked.
inline ::testing::AssertionResult MatchesGoldenScreen(const RomRunner& runner, const std::string& name) {
    const std::string path = std::string(KESTREL_SOURCE_DIR) + "/tests/display/golden/" + name + ".txt";
    std::ifstream file(path);
    if (!file) return ::testing::AssertionFailure() << "no golden screen at " << path;
    std::vector<std::string> expected;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty()) expected.push_back(line);
    }
    const std::vector<std::string> actual = runner.screen();
    bool same = expected == actual;
    if (same) return ::testing::AssertionSuccess();
    std::ostringstream diff;
    diff << "screen differs from " << path << " (expected | actual, * marks a differing row)\n";
    for (std::size_t row = 0; row < std::max(expected.size(), actual.size()); ++row) {
        const std::string e = row < expected.size() ? expected[row] : "";
        const std::string a = row < actual.size() ? actual[row] : "";
        diff << (e == a ? ' ' : '*') << ' ' << e << " | " << a << '\n';
    }
    return ::testing::AssertionFailure() << diff.str();
}

} // namespace kestrel::testing
