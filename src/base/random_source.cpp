#include "base/random_source.h"

#include <chrono>

namespace kestrel {

void RandomSource::SeedFromClock() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    Seed(static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

} // namespace kestrel
