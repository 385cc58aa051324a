// The AVX2 family, compiled with AVX2 enabled (this file only) and filled
// only into tables whose flags allow it: the transforms' 256-bit bodies
// (dct_avx2_body.h), the flat-block reconstruction, gathers and scatters
// of the SSE2 family, whose intrinsics take the three-operand forms here,
// and the quantisers eight levels at a time (four, in doubles, for the
// sign-symmetric rules). The quantisers' arithmetic per level is the SSE2
// family's, so the results are the same bit for bit; quantiser_tables.cpp
// says why they equal the integer rules.
#include "codec/kernels/kernel_table.h"

#if defined(VARDELK_HAVE_AVX2)
#include <immintrin.h>

#include <cstddef>

#include "codec/dct_constants.h"
#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"
#include "codec/kernels/flat_block.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/planar.h"
#include "codec/quantise.h"
#include "codec/sample_scale.h"
#endif

namespace vardelk {
namespace kernels {

#if defined(VARDELK_HAVE_AVX2)
namespace {
#include "codec/kernels/dct_avx2_body.h"
#include "codec/kernels/flat_block_body.h"
#include "codec/kernels/macroblock_body.h"
#include "codec/kernels/planar_body.h"

uint64_t QuantiseBlock(int32_t block[64], const QuantiserTables& tables) {
    const int32_t dc = block[0];
    const __m256i zero = _mm256_setzero_si256();
    uint64_t nonZero = 0;
    for (int i = 0; i < 64; i += 8) {
        __m256i* p = reinterpret_cast<__m256i*>(block + i);
        const __m256i n =
            _mm256_add_epi32(_mm256_slli_epi32(_mm256_loadu_si256(p), 4),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(tables.halfDivisor + i)));
        const __m256i level =
            _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(n), _mm256_loadu_ps(tables.reciprocal + i)));
        _mm256_storeu_si256(p, level);
        const uint32_t zeros =
            static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(level, zero))));
        nonZero |= uint64_t{~zeros & 0xFFu} << i;
    }
    block[0] = dc;
    return (nonZero & ~uint64_t{1}) | uint64_t{dc != 0};
}

// Four coefficients per double vector.
uint64_t QuantiseSymmetricBlock(int32_t block[64], const QuantiserTables& tables) {
    const __m256d finalOffset = _mm256_set1_pd(tables.finalOffsetReal);
    const __m256d inverseFinal = _mm256_set1_pd(tables.inverseFinal);
    const __m128i maxLevel = _mm_set1_epi32(tables.maxLevel);
    const int32_t dc = block[0];
    uint64_t nonZero = 0;
    for (int i = 0; i < 64; i += 4) {
        __m128i* p = reinterpret_cast<__m128i*>(block + i);
        const __m128i f = _mm_loadu_si128(p);
        const __m128i m = _mm_abs_epi32(f);
        const __m256d n = _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(m), _mm256_load_pd(tables.scaleReal + i)),
                                        _mm256_load_pd(tables.offsetReal + i));
        const __m256d y =
            _mm256_cvtepi32_pd(_mm256_cvttpd_epi32(_mm256_mul_pd(n, _mm256_load_pd(tables.inverseStep + i))));
        __m128i level = _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_add_pd(y, finalOffset), inverseFinal));
        level = _mm_sign_epi32(_mm_min_epi32(level, maxLevel), f);
        _mm_storeu_si128(p, level);
        const uint32_t zeros =
            static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(level, _mm_setzero_si128()))));
        nonZero |= uint64_t{~zeros & 0xFu} << i;
    }
    block[0] = dc;
    return (nonZero & ~uint64_t{1}) | uint64_t{dc != 0};
}

// Eight lanes of the SSE2 form, -2^31 included.
uint64_t QuantiseReciprocalBlock(int32_t block[64], const QuantiserTables& tables) {
    const __m256i bias = _mm256_set1_epi64x(tables.reciprocalBias);
    const __m256i maxLevel = _mm256_set1_epi32(tables.maxLevel);
    const int32_t dc = block[0];
    uint64_t nonZero = 0;
    for (int i = 0; i < 64; i += 8) {
        __m256i* p = reinterpret_cast<__m256i*>(block + i);
        const __m256i f = _mm256_loadu_si256(p);
        __m256i m = _mm256_abs_epi32(f);
        m = _mm256_sub_epi32(m, _mm256_srli_epi32(m, 31));
        m = _mm256_add_epi32(m, _mm256_load_si256(reinterpret_cast<const __m256i*>(tables.magnitudeOffset + i)));
        const __m256i r = _mm256_load_si256(reinterpret_cast<const __m256i*>(tables.multiplier + i));
        const __m256i even = _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epu32(m, r), bias), 21);
        const __m256i odd = _mm256_srli_epi64(
            _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(m, 32), _mm256_srli_epi64(r, 32)), bias), 21);
        const __m256i level =
            _mm256_sign_epi32(_mm256_min_epu32(_mm256_or_si256(even, _mm256_slli_epi64(odd, 32)), maxLevel), f);
        _mm256_storeu_si256(p, level);
        const uint32_t zeros = static_cast<uint32_t>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(level, _mm256_setzero_si256()))));
        nonZero |= uint64_t{~zeros & 0xFFu} << i;
    }
    block[0] = dc;
    return (nonZero & ~uint64_t{1}) | uint64_t{dc != 0};
}

void DequantiseBlock(int32_t block[64], const QuantiserTables& tables) {
    const __m256 low = _mm256_set1_ps(static_cast<float>(kMinCoefficient));
    const __m256 high = _mm256_set1_ps(static_cast<float>(kMaxCoefficient));
    __m256i sum = _mm256_setzero_si256();
    for (int i = 0; i < 64; i += 8) {
        __m256i* p = reinterpret_cast<__m256i*>(block + i);
        const __m256 value =
            _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_loadu_si256(p)), _mm256_loadu_ps(tables.dequantScale + i));
        const __m256i saturated = _mm256_cvttps_epi32(_mm256_max_ps(_mm256_min_ps(value, high), low));
        sum = _mm256_add_epi32(sum, saturated);
        _mm256_storeu_si256(p, saturated);
    }
    __m128i total = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    total = _mm_add_epi32(total, _mm_shuffle_epi32(total, _MM_SHUFFLE(1, 0, 3, 2)));
    total = _mm_add_epi32(total, _mm_shuffle_epi32(total, _MM_SHUFFLE(2, 3, 0, 1)));
    ApplyMismatchControl(block, static_cast<uint32_t>(_mm_cvtsi128_si32(total)));
}

}  // namespace
#endif

void FillAvx2Kernels([[maybe_unused]] KernelTable& table) {
#if defined(VARDELK_HAVE_AVX2)
    table.forwardDct = ForwardDctVector<dct::FilterWeights>;
    table.inverseDct = InverseDctVector;
    table.quantise = QuantiseBlock;
    table.quantiseSymmetric = QuantiseSymmetricBlock;
    table.quantiseReciprocal = QuantiseReciprocalBlock;
    table.dequantise = DequantiseBlock;
    table.reconstructFlat = ReconstructFlatBlockVector;
    table.gather = {GatherWholeProgressive, GatherWholeInterlaced};
    table.scatter = {ScatterWholeProgressive, ScatterWholeInterlaced};
    table.gatherPlanar = {GatherPlanarProgressiveWhole, GatherPlanarInterlacedWhole};
    table.scatterPlanar = {ScatterPlanarProgressiveWhole, ScatterPlanarInterlacedWhole};
#endif
}

}  // namespace kernels
}  // namespace vardelk
