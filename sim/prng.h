#pragma once
// A small seeded generator (splitmix64) whose sequence is the same on every platform and
// standard library, so impaired runs repeat exactly.

#include <cstdint>

namespace qorval::sim {

class Prng {
  public:
    explicit Prng(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }  // [0, 1)

  private:
    uint64_t state_;
};

}  // namespace qorval::sim
