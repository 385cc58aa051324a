// Integer 8x8 inverse DCT, the inverse of ForwardDct, with the output
// saturated to -256..255.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vardelk {

constexpr int32_t kMinSample = -256;
constexpr int32_t kMaxSample = 255;

constexpr std::array<int32_t, 1024> MakeSampleClampTable() {
    std::array<int32_t, 1024> table{};
    for (int i = 0; i < 1024; ++i) {
        const int32_t v = i - 512;
        table[static_cast<size_t>(i)] = v < kMinSample ? kMinSample : (v > kMaxSample ? kMaxSample : v);
    }
    return table;
}

// v saturated to -256..255 for v in -512..511, at index v + 512.
inline constexpr std::array<int32_t, 1024> SampleClampTable = MakeSampleClampTable();

// Transforms one row-major block of coefficients (F(v, u) at index v x 8 + u)
// into samples in place. Intermediates are 64-bit: nothing wraps for any
// 32-bit coefficients, and every output is saturated.
void InverseDct(int32_t block[64]);

}  // namespace vardelk
