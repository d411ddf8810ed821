#include "support/golden_screen.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace kestrel::testing {
namespace {

std::vector<std::string> readRows(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) rows.push_back(line);
    }
    return rows;
}

// Both pictures side by side, expected left, '<' after a differing row.
std::string sideBySide(const std::vector<std::string>& expected,
                       const std::vector<std::string>& actual) {
    std::ostringstream out;
    for (std::size_t row = 0; row < std::max(expected.size(), actual.size()); ++row) {
        const std::string e = row < expected.size() ? expected[row] : "(missing)";
        const std::string a = row < actual.size() ? actual[row] : "(missing)";
        out << (row < 10 ? " " : "") << row << "  " << e << "  " << a << (e == a ? "" : "  <")
            << '\n';
    }
    return out.str();
}

bool updating() {
    const char* value = std::getenv("KESTREL_UPDATE_GOLDEN");
    return value != nullptr && std::string(value) == "1";
}

} // namespace

::testing::AssertionResult MatchesGoldenScreen(const std::vector<std::string>& actual,
                                               const std::string& name) {
    const std::string path = std::string(KESTREL_GOLDEN_DIR) + "/" + name + ".screen";
    const std::vector<std::string> expected = readRows(path);
    if (expected == actual) return ::testing::AssertionSuccess();
    if (updating()) {
        std::ofstream out(path);
        for (const std::string& row : actual)
            out << row << '\n';
        std::cout << "rewrote " << path << " (old left, new right, '<' marks a changed row)\n"
                  << sideBySide(expected, actual);
        if (out) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "cannot rewrite " << path;
    }
    return ::testing::AssertionFailure()
           << "screen differs from " << path
           << " (expected left, actual right, '<' marks a differing row)\n"
           << sideBySide(expected, actual);
}

} // namespace kestrel::testing
