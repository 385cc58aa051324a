// Reconstruction of a block whose AC levels are all zero, equal to
// DequantiseBlock followed by InverseDct (quantise.cpp, inverse_dct.cpp).
//
// Dequantisation leaves the DC level saturated to D in -2048..2047 and every
// AC value zero; the sum of the block is then D, so mismatch control adds
// MismatchStep(0, D) at index 63: 1 when D is even, nothing when D is odd.
//
// D odd: the row pass sees DC only in row 0 (work D x 16, all else 0), and
// the column pass DC only in every column, so every sample is
// sat((16 D + 64) >> 7) = sat((D + 4) >> 3).
//
// D even: row 7 also holds a 1 at column 7. Its row pass gives
// r[x] = G[x] >> 9, where G[x] is the kernel's weight of input 7 at output x.
// Column x then has 16 D at input 0 and r[x] at input 7, and since the
// kernel is linear with weight 8192 on input 0, output i of the column pass
// is sat((2^17 D + r[x] G[i] + 2^19) >> 20). The offsets r[x] G[i] + 2^19
// lie between 2^18 and 2^20, so everything fits 32 bits.
#pragma once

#include <cstdint>

#include "codec/dct_constants.h"
#include "codec/inverse_dct.h"
#include "codec/quantise.h"

namespace vardelk {
namespace kernels {
namespace flat {

// The inverse kernel's weights of input 7 at outputs 0..7: column 3 of the
// odd weights, through g3, g2, g1, g0 and back.
constexpr int32_t kLastInputWeight[8] = {dct::kOdd[0][3],  dct::kOdd[1][3],  dct::kOdd[2][3],  dct::kOdd[3][3],
                                         -dct::kOdd[3][3], -dct::kOdd[2][3], -dct::kOdd[1][3], -dct::kOdd[0][3]};

struct FlatOffsets {
    alignas(16) int32_t value[64];  // row i, column x
};

constexpr FlatOffsets MakeFlatOffsets() {
    FlatOffsets t{};
    for (int i = 0; i < 8; ++i)
        for (int x = 0; x < 8; ++x) {
            // Floor division by 512 written without shifting a negative value.
            const int32_t g = kLastInputWeight[x];
            const int32_t r = g >= 0 ? g / 512 : -((-g + 511) / 512);
            t.value[i * 8 + x] = r * kLastInputWeight[i] + (1 << 19);
        }
    return t;
}

inline constexpr FlatOffsets kFlatOffsets = MakeFlatOffsets();

inline int32_t SaturateSample(int32_t v) { return v < kMinSample ? kMinSample : (v > kMaxSample ? kMaxSample : v); }

// Whether mismatch control leaves the block of saturated DC level d flat.
inline bool StaysFlat(int32_t d) { return MismatchStep(0, static_cast<uint32_t>(d)) == 0; }

// The DC level as dequantisation saturates it.
inline int32_t SaturatedDc(int32_t level) {
    return level < kMinCoefficient ? kMinCoefficient : (level > kMaxCoefficient ? kMaxCoefficient : level);
}

}  // namespace flat
}  // namespace kernels
}  // namespace vardelk
