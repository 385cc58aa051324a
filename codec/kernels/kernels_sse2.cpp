// The SSE2 family: the transforms (dct_sse2_body.h, and ffmpeg's in
// dct_fixed16_sse2_body.h, which the AVX2 family takes too), the flat-block
// reconstruction and the gathers and scatters (bodies shared with the AVX2
// family) and the quantisers, each exactly equal to its plain entry. A
// build without SSE2 fills nothing from here. A wasm build with the SSE2
// intrinsics runs them as wasm SIMD, except the quantisers: they convert
// floats to integers and clamp floats, which wasm SIMD does not do the x86
// way, and emulated there they are slower than the plain loops.
#include "codec/kernels/kernel_table.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstddef>

#include "codec/dct_constants.h"
#include "codec/dct_fixed16.h"
#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"
#include "codec/kernels/flat_block.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/planar.h"
#include "codec/quantise.h"
#include "codec/sample_scale.h"
#endif

#if defined(__SSE2__) && !defined(__wasm__)
#define VARDELK_SSE2_QUANTISER 1
#endif

namespace vardelk {
namespace kernels {

#if defined(__SSE2__)
namespace {
#include "codec/kernels/dct_fixed16_sse2_body.h"
#include "codec/kernels/dct_sse2_body.h"
#include "codec/kernels/flat_block_body.h"
#include "codec/kernels/macroblock_body.h"
#include "codec/kernels/planar_body.h"
}  // namespace
#endif

#if defined(VARDELK_SSE2_QUANTISER)
namespace {

// Why the float and double arithmetic below equals the integer rules:
// quantiser_tables.cpp.

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

// The 64-bit products of the even and the odd lanes (pmuludq), shifted back
// to 32 bits and interleaved again. Magnitudes below 2^31 plus offsets
// below 2^15, as unsigned lanes, times multipliers below 2^21 stay below
// 2^53, so the shifted value fits 32 unsigned bits; anything past 2047 is
// clamped. The magnitude 2^31 of -2^31 would carry into the next lane: it
// is taken as 2^31 - 1, which clamps alike.
uint64_t QuantiseReciprocalBlock(int32_t block[64], const QuantiserTables& tables) {
    const __m128i bias = _mm_set1_epi64x(tables.reciprocalBias);
    const __m128i maxLevel = _mm_set1_epi32(tables.maxLevel);
    const int32_t dc = block[0];
    uint64_t nonZero = 0;
    for (int i = 0; i < 64; i += 4) {
        __m128i* p = reinterpret_cast<__m128i*>(block + i);
        const __m128i f = _mm_loadu_si128(p);
        const __m128i sign = _mm_srai_epi32(f, 31);
        __m128i m = _mm_sub_epi32(_mm_xor_si128(f, sign), sign);
        m = _mm_sub_epi32(m, _mm_srli_epi32(m, 31));
        m = _mm_add_epi32(m, _mm_load_si128(reinterpret_cast<const __m128i*>(tables.magnitudeOffset + i)));
        const __m128i r = _mm_load_si128(reinterpret_cast<const __m128i*>(tables.multiplier + i));
        const __m128i even = _mm_srli_epi64(_mm_add_epi64(_mm_mul_epu32(m, r), bias), 21);
        const __m128i odd =
            _mm_srli_epi64(_mm_add_epi64(_mm_mul_epu32(_mm_srli_epi64(m, 32), _mm_srli_epi64(r, 32)), bias), 21);
        __m128i level = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
        const __m128i over =
            _mm_xor_si128(_mm_cmpeq_epi32(_mm_srli_epi32(level, 11), _mm_setzero_si128()), _mm_set1_epi32(-1));
        level = _mm_or_si128(_mm_and_si128(over, maxLevel), _mm_andnot_si128(over, level));
        level = _mm_sub_epi32(_mm_xor_si128(level, sign), sign);
        _mm_storeu_si128(p, level);
        const uint32_t zeros =
            static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(level, _mm_setzero_si128()))));
        nonZero |= uint64_t{~zeros & 0xFu} << i;
    }
    block[0] = dc;
    return (nonZero & ~uint64_t{1}) | uint64_t{dc != 0};
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

}  // namespace
#endif

void FillSse2Kernels([[maybe_unused]] KernelTable& table) {
#if defined(__SSE2__)
    table.forwardDct = ForwardDctVector<dct::FilterWeights>;
    table.forwardDctAccurate = ForwardDctFixed16Vector;
    table.inverseDct = InverseDctVector;
    table.reconstructFlat = ReconstructFlatBlockVector;
    table.gather = {GatherWholeProgressive, GatherWholeInterlaced};
    table.scatter = {ScatterWholeProgressive, ScatterWholeInterlaced};
    table.gatherPlanar = {GatherPlanarProgressiveWhole, GatherPlanarInterlacedWhole};
    table.scatterPlanar = {ScatterPlanarProgressiveWhole, ScatterPlanarInterlacedWhole};
#endif
#if defined(VARDELK_SSE2_QUANTISER)
    table.quantise = QuantiseBlock;
    table.quantiseSymmetric = QuantiseSymmetricBlock;
    table.quantiseReciprocal = QuantiseReciprocalBlock;
    table.dequantise = DequantiseBlock;
#endif
}

}  // namespace kernels
}  // namespace vardelk
