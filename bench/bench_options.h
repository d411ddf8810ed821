#pragma once

#include <string>

namespace kestrel::bench {

// Options of this benchmark binary, taken off the command line before Google
// Benchmark sees it.
struct BenchOptions {
    std::string kestrelBinary; // --kestrel_binary=PATH: the window to start
    std::string xDisplay;      // --x_display=:N: the X server to start it on
};

inline BenchOptions& Options() {
    static BenchOptions options;
    return options;
}

} // namespace kestrel::bench
