// A small deterministic generator for the equality tests: the same values
// on every platform and in every build.
#pragma once

#include <cstdint>

namespace vardelk::testing {

class RandomSource {
public:
    explicit RandomSource(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

    uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    // Uniform in low..high, both included.
    int32_t Between(int32_t low, int32_t high) {
        const uint64_t span = static_cast<uint64_t>(int64_t{high} - low) + 1;
        return static_cast<int32_t>(int64_t{low} + static_cast<int64_t>(Next() % span));
    }
    bool OneIn(uint32_t n) { return Next() % n == 0; }

private:
    uint64_t state_;
};

}  // namespace vardelk::testing
