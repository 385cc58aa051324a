// The tests' deterministic generator (xorshift64*): the same sequence on
// every platform, compiler and build, so that fingerprints of generated
// frames can be compared across them.
#pragma once

#include <cstdint>

namespace vardelk::testing {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in low..high inclusive.
    int32_t Between(int32_t low, int32_t high) {
        const uint64_t span = static_cast<uint64_t>(int64_t{high} - low + 1);
        return static_cast<int32_t>(low + static_cast<int64_t>(Next() % span));
    }
    bool OneIn(uint32_t n) { return Next() % n == 0; }

private:
    uint64_t state_;
};

}  // namespace vardelk::testing
