// The quantiser's per-frame tables, and why the vector kernels that take
// them (kernels_sse2.cpp, kernels_avx2.cpp) equal quantise.cpp and
// quantiser_rules.h exactly.
//
// Quantisation. level = trunc(n / d) with n = (d >> 1) + 16 F. The vector
// code converts n to float (exact: |n| < 2^24) and multiplies by r, the
// reciprocal 1/d enlarged by the factor 1 + 2^-21 before it is rounded to
// float. Whatever the rounding mode, the product then lies above the true
// quotient n/d by a relative amount e with 2^-22 < e < 2^-20.4 (three
// roundings of at most 2^-23 each cannot cancel the 2^-21). Truncating it
// gives trunc(n / d) as long as |n| < 2^20:
//   - when n/d is an integer k, the product is at least k and below k + 1
//     because k e < 1;
//   - otherwise n/d = k + f with 1/d <= f <= 1 - 1/d, and the excess
//     (n/d) e < 1/d cannot carry the product past k + 1.
// Negative n is the mirror image, and truncation goes toward zero as the
// integer division does. Coefficients up to 40000 in magnitude give
// |n| <= 640000 + 229320 < 2^20; ForwardDct of host samples stays below
// 32770.
//
// Sign-symmetric rules (the real encoders'). Both roundings are floors of
// non-negative quotients n / c with n < 2^51. In double precision n is
// exact, and r, the reciprocal 1/c rounded up, gives n r >= n / c, so the
// rounded product is at least k when n / c is the integer k; and it exceeds
// n / c by less than n / c x 2^-51 < 1 / c, the least distance from a
// non-integer quotient to the next integer. Truncating the product is then
// floor(n / c).
//
// Reconstruction. W x level x q / 16 is (d x level) / 16; multiplying the
// level by d / 16 in float is exact while |d x level| < 2^24, and when it is
// larger the value saturates anyway, so clamping the float product to
// -2048..2047 and truncating equals the integer result for every level.
#include <cmath>
#include <cstddef>

#include "codec/kernels/quantiser_tables.h"
#include "codec/quantise.h"
#include "codec/quantiser_rules.h"

namespace vardelk {
namespace kernels {
namespace {

double ReciprocalRoundedUp(int64_t c) {
    const double r = 1.0 / static_cast<double>(c);
    return r * static_cast<double>(c) >= 1.0 ? r : std::nextafter(r, 2.0);
}

// The constants of quantiser_rules.h's sign-symmetric rules.
void PrepareSymmetric(QuantiserRule rule, const int32_t weights[kMatrixEntries], int32_t q, QuantiserTables& tables) {
    for (int i = 0; i < 64; ++i) {
        const int64_t w = weights[i];
        tables.magnitudeOffset[i] = 0;
        if (rule == QuantiserRule::kFfmpeg) {
            // ((m + bias) reciprocal) >> 16, as ((m + bias) 32 reciprocal) >> 21.
            const FfmpegStep step = FfmpegStepOf(weights[i], q);
            tables.scale[i] = step.reciprocal;
            tables.offset[i] = int64_t{step.bias} * step.reciprocal;
            tables.stepDivisor[i] = int64_t{1} << 16;
            tables.multiplier[i] = step.reciprocal * 32;
            tables.magnitudeOffset[i] = step.bias;
        } else if (rule == QuantiserRule::kMpeg2enc) {
            tables.scale[i] = 32;
            tables.offset[i] = w * q;
            tables.stepDivisor[i] = 2 * w * q;
        } else {
            tables.scale[i] = 32;
            tables.offset[i] = w >> 1;
            tables.stepDivisor[i] = w;
        }
        tables.scaleReal[i] = static_cast<double>(tables.scale[i]);
        tables.offsetReal[i] = static_cast<double>(tables.offset[i]);
        tables.inverseStep[i] = ReciprocalRoundedUp(tables.stepDivisor[i]);
    }
    const bool twoRoundings = rule == QuantiserRule::kTestModel;
    tables.finalOffset = twoRoundings ? (3 * int64_t{q} + 2) >> 2 : 0;
    tables.finalDivisor = twoRoundings ? 2 * int64_t{q} : 1;
    tables.finalOffsetReal = static_cast<double>(tables.finalOffset);
    tables.inverseFinal = ReciprocalRoundedUp(tables.finalDivisor);
    tables.maxLevel = kMaxAcLevel;
    tables.reciprocalBias = 0;
}

}  // namespace

void PrepareQuantiser(const int32_t weights[kMatrixEntries], int32_t q, QuantiserTables& tables) {
    PrepareQuantiser(QuantiserRule::kFilter, weights, q, tables);
}

void PrepareQuantiser(QuantiserRule rule, const int32_t weights[kMatrixEntries], int32_t q, QuantiserTables& tables) {
    tables.rule = rule;
    for (int i = 0; i < 64; ++i) {
        const int32_t d = i == 0 ? 1 : weights[i] * q;
        tables.divisor[i] = d;
        tables.halfDivisor[i] = d >> 1;
        tables.reciprocal[i] = static_cast<float>((1.0 + 0x1p-21) / d);
        tables.dequantScale[i] = static_cast<float>(d) / 16.0f;
    }
    tables.dequantScale[0] = 1.0f;
    if (rule != QuantiserRule::kFilter) PrepareSymmetric(rule, weights, q, tables);
}

}  // namespace kernels
}  // namespace vardelk
