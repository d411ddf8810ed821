#pragma once

#include <cstdint>
#include <random>

namespace kestrel {

// Uniform values in [0, 1), built from 53 random bits so that 1.0 can never
// come out (some standard library versions of generate_canonical can).
class RandomSource {
  public:
    void Seed(std::uint64_t seed) { engine_.seed(seed); }
    void SeedFromClock();
    double NextUniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

  private:
    std::mt19937_64 engine_{0};
};

} // namespace kestrel
