// Quantisation and reconstruction with per-frame tables, exactly equal to
// quantise.cpp.
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

#if defined(VARDELK_SSE2_QUANTISER)
#include <emmintrin.h>
#endif

namespace vardelk {
namespace fast {
namespace {

double ReciprocalRoundedUp(int64_t c) {
    const double r = 1.0 / static_cast<double>(c);
    return r * static_cast<double>(c) >= 1.0 ? r : std::nextafter(r, 2.0);
}

// The constants of quantiser_rules.h's sign-symmetric rules.
void PrepareSymmetric(QuantiserRule rule, const int32_t weights[kMatrixEntries], int32_t q, QuantiserTables& tables) {
    for (int i = 0; i < 64; ++i) {
        const int64_t w = weights[i];
        if (rule == QuantiserRule::kFfmpeg) {
            tables.scale[i] = (int64_t{1} << 22) / (int64_t{q} * w);
            tables.offset[i] = int64_t{3} << 18;
            tables.stepDivisor[i] = int64_t{1} << 21;
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

#if defined(VARDELK_SSE2_QUANTISER)

namespace sse2 {

// The zero tests of sixteen levels at a time (four vectors) are narrowed to
// one byte per level and collected by movemask into the non-zero mask.
uint64_t QuantiseBlock(int32_t block[64], const QuantiserTables& tables) {
    const int32_t dc = block[0];
    const __m128i zero = _mm_setzero_si128();
    uint64_t nonZero = 0;
    for (int group = 0; group < 64; group += 16) {
        __m128i isZero[4];
        for (int k = 0; k < 4; ++k) {
            const int i = group + 4 * k;
            __m128i* p = reinterpret_cast<__m128i*>(block + i);
            const __m128i n = _mm_add_epi32(_mm_slli_epi32(_mm_loadu_si128(p), 4),
                                            _mm_load_si128(reinterpret_cast<const __m128i*>(tables.halfDivisor + i)));
            const __m128i level = _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(n), _mm_load_ps(tables.reciprocal + i)));
            _mm_storeu_si128(p, level);
            isZero[k] = _mm_cmpeq_epi32(level, zero);
        }
        const __m128i bytes =
            _mm_packs_epi16(_mm_packs_epi32(isZero[0], isZero[1]), _mm_packs_epi32(isZero[2], isZero[3]));
        nonZero |= uint64_t{~static_cast<uint32_t>(_mm_movemask_epi8(bytes)) & 0xFFFFu} << group;
    }
    block[0] = dc;
    return (nonZero & ~uint64_t{1}) | uint64_t{dc != 0};
}

// Two coefficients per double vector.
uint64_t QuantiseSymmetricBlock(int32_t block[64], const QuantiserTables& tables) {
    const __m128d finalOffset = _mm_set1_pd(tables.finalOffsetReal);
    const __m128d inverseFinal = _mm_set1_pd(tables.inverseFinal);
    const __m128i maxLevel = _mm_set1_epi32(tables.maxLevel);
    uint64_t nonZero = uint64_t{block[0] != 0};
    for (int i = 0; i < 64; i += 4) {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
        const __m128i sign = _mm_srai_epi32(f, 31);
        const __m128i m = _mm_sub_epi32(_mm_xor_si128(f, sign), sign);
        __m128i halves[2];
        for (int h = 0; h < 2; ++h) {
            const int j = i + 2 * h;
            const __m128d n = _mm_add_pd(
                _mm_mul_pd(_mm_cvtepi32_pd(h == 0 ? m : _mm_shuffle_epi32(m, 0x0E)), _mm_load_pd(tables.scaleReal + j)),
                _mm_load_pd(tables.offsetReal + j));
            const __m128d y = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_mul_pd(n, _mm_load_pd(tables.inverseStep + j))));
            halves[h] = _mm_cvttpd_epi32(_mm_mul_pd(_mm_add_pd(y, finalOffset), inverseFinal));
        }
        __m128i level = _mm_unpacklo_epi64(halves[0], halves[1]);
        const __m128i over = _mm_cmpgt_epi32(level, maxLevel);
        level = _mm_or_si128(_mm_and_si128(over, maxLevel), _mm_andnot_si128(over, level));
        level = _mm_sub_epi32(_mm_xor_si128(level, sign), sign);
        const __m128i isZero = _mm_cmpeq_epi32(level, _mm_setzero_si128());
        const uint32_t zeros = static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(isZero)));
        const int32_t dc = block[0];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), level);
        if (i == 0) block[0] = dc;
        nonZero |= uint64_t{~zeros & 0xFu & (i == 0 ? 0xEu : 0xFu)} << i;
    }
    return nonZero;
}

void DequantiseBlock(int32_t block[64], const QuantiserTables& tables) {
    const __m128 low = _mm_set1_ps(static_cast<float>(kMinCoefficient));
    const __m128 high = _mm_set1_ps(static_cast<float>(kMaxCoefficient));
    __m128i sum = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 4) {
        __m128i* p = reinterpret_cast<__m128i*>(block + i);
        const __m128 value = _mm_mul_ps(_mm_cvtepi32_ps(_mm_loadu_si128(p)), _mm_load_ps(tables.dequantScale + i));
        const __m128i saturated = _mm_cvttps_epi32(_mm_max_ps(_mm_min_ps(value, high), low));
        sum = _mm_add_epi32(sum, saturated);
        _mm_storeu_si128(p, saturated);
    }
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
    ApplyMismatchControl(block, static_cast<uint32_t>(_mm_cvtsi128_si32(sum)));
}

}  // namespace sse2

#endif

// Integer division and products, as the plain quantiser.
namespace plain {

uint64_t QuantiseBlock(int32_t block[64], const QuantiserTables& tables) {
    uint64_t nonZero = uint64_t{block[0] != 0};
    for (int i = 1; i < 64; ++i) {
        const int64_t d = tables.divisor[i];
        block[i] = static_cast<int32_t>((tables.halfDivisor[i] + int64_t{block[i]} * 16) / d);
        nonZero |= uint64_t{block[i] != 0} << i;
    }
    return nonZero;
}

// The two roundings in integers.
uint64_t QuantiseSymmetricBlock(int32_t block[64], const QuantiserTables& tables) {
    uint64_t nonZero = uint64_t{block[0] != 0};
    for (int i = 1; i < 64; ++i) {
        const int64_t m = block[i] < 0 ? -int64_t{block[i]} : int64_t{block[i]};
        const int64_t y = (tables.scale[i] * m + tables.offset[i]) / tables.stepDivisor[i];
        int64_t level = (y + tables.finalOffset) / tables.finalDivisor;
        if (level > tables.maxLevel) level = tables.maxLevel;
        block[i] = static_cast<int32_t>(block[i] < 0 ? -level : level);
        nonZero |= uint64_t{block[i] != 0} << i;
    }
    return nonZero;
}

void DequantiseBlock(int32_t block[64], const QuantiserTables& tables) {
    uint32_t sum = 0;
    for (int i = 0; i < 64; ++i) {
        const int64_t value = i == 0 ? block[0] : int64_t{tables.divisor[i]} * block[i] / 16;
        block[i] = value < kMinCoefficient ? kMinCoefficient
                                           : (value > kMaxCoefficient ? kMaxCoefficient : static_cast<int32_t>(value));
        sum += static_cast<uint32_t>(block[i]);
    }
    ApplyMismatchControl(block, sum);
}

}  // namespace plain

}  // namespace fast
}  // namespace vardelk
