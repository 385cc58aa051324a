// The quantiser's per-frame tables and the kernels that take them. Every
// build of those kernels (codec/kernels/kernel_table.h) gives exactly the
// levels of quantise.cpp and quantiser_rules.h on the domain stated below.
#pragma once

#include <cstdint>

#include "codec/coding_model.h"
#include "codec/types.h"

namespace vardelk {
namespace kernels {

// The 64 divisors d = W x q of one frame, prepared once so that the
// quantiser multiplies instead of dividing; and, for the sign-symmetric
// rules of real encoders, the constants of their two roundings.
//
// A sign-symmetric rule is, for m = |F|:
//   y = floor((a m + b) / c)   per position a, b, c
//   |level| = min(floor((y + e) / f), maxLevel)   the same e, f for the block
// with the sign of F. quantiser_rules.h says which a..f each rule takes.
// The vector kernels evaluate both roundings in double precision: a m + b
// stays below 2^51, so it is exact, and a reciprocal of c rounded up makes
// the product's truncation the floor of the quotient (see quantiser_tables.cpp).
struct QuantiserTables {
    QuantiserRule rule = QuantiserRule::kFilter;
    // The filter's rule (and the dequantiser of every rule).
    alignas(32) int32_t divisor[64];      // d; 1 for the DC, which is never divided
    alignas(32) int32_t halfDivisor[64];  // d >> 1, the rounding offset
    alignas(32) float reciprocal[64];     // 1 / d, nudged up (see quantiser_tables.cpp)
    alignas(32) float dequantScale[64];   // d / 16, exact; 1 for the DC
    // Sign-symmetric rules.
    alignas(32) int64_t scale[64];        // a
    alignas(32) int64_t offset[64];       // b
    alignas(32) int64_t stepDivisor[64];  // c
    alignas(32) double scaleReal[64];     // a, b and 1/c (rounded up) as doubles
    alignas(32) double offsetReal[64];
    alignas(32) double inverseStep[64];
    // The one-rounding rule of reciprocals (ffmpeg's): |level| =
    // ((|X| + magnitudeOffset) multiplier + reciprocalBias) >> 21, the same
    // as a..c above.
    alignas(32) int32_t multiplier[64];
    alignas(32) int32_t magnitudeOffset[64];
    int64_t reciprocalBias = 0;
    int64_t finalOffset = 0;   // e
    int64_t finalDivisor = 1;  // f
    double finalOffsetReal = 0.0;
    double inverseFinal = 1.0;  // 1/f rounded up
    int32_t maxLevel = 0;
};

// weights must already be clamped to 1..4095 and q lie in 1..112. Without a
// rule: the filter's.
void PrepareQuantiser(const int32_t weights[kMatrixEntries], int32_t q, QuantiserTables& tables);
void PrepareQuantiser(QuantiserRule rule, const int32_t weights[kMatrixEntries], int32_t q, QuantiserTables& tables);

// Quantise: coefficients with magnitude up to 40000 (ForwardDct of host
// samples stays below 32770). The DC passes through. Returns the block's
// non-zero mask: bit i set when level i (the DC included) is not zero.
// The table's quantise entry is the filter's rule, quantiseSymmetric the
// sign-symmetric rules' (whichever the tables were prepared for), and
// quantiseReciprocal the same for tables of ffmpeg's rule only, in 64-bit
// integer products (any coefficient below 2^31 in magnitude). Dequantise: any levels.
using QuantiseFunction = uint64_t (*)(int32_t block[64], const QuantiserTables& tables);
using DequantiseFunction = void (*)(int32_t block[64], const QuantiserTables& tables);

}  // namespace kernels
}  // namespace vardelk
