// A small seeded generator for histgen. Its output depends only on the
// seed, never on the standard library, so a seed names the same node on
// every machine and compiler.
#pragma once

#include <cstdint>

namespace rv::histgen {

// SplitMix64: one 64-bit state, full period, good enough spread for test data.
class Prng {
  public:
    explicit Prng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, bound) for bound > 0 (multiply-shift; the bias is far
    // below anything a report could show).
    std::uint32_t below(std::uint32_t bound) {
        return static_cast<std::uint32_t>(((next() >> 32) * bound) >> 32);
    }

    // Uniform in [lo, hi].
    std::uint32_t between(std::uint32_t lo, std::uint32_t hi) { return lo + below(hi - lo + 1); }

    // True with probability percent/100.
    bool chance(std::uint32_t percent) { return below(100) < percent; }

    // Roughly log-uniform in [0, 2^maxBits): small values as often as large
    // orders of magnitude, as traffic and durations are.
    std::uint32_t logUniform(unsigned maxBits) {
        unsigned bits = below(maxBits + 1);
        if (bits == 0) return 0;
        std::uint32_t low = 1u << (bits - 1);
        return low + below(low);
    }

  private:
    std::uint64_t state_;
};

}  // namespace rv::histgen
