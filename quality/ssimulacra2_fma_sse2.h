// FusedMultiplyAdd (ssimulacra2_fma.h) four lanes at a time with SSE2, for
// the SSE2 kernels and, through them, the lab's wasm SIMD build.
//
// The operands come widened: four float lanes as two pairs of doubles
// (Wide), exact. The product of two floats is exact in double and the sum
// with c rounds once there; narrowing to float is the plain function's
// arithmetic, lane by lane. The plain function does more in two cases, and
// so does this one, whenever any lane meets them:
// - the double sum lies halfway between two floats: its 29 low bits are
//   0x10000000, all within the low 32-bit word of the double, so one 32-bit
//   compare of the four low words finds them. Such lanes are corrected in
//   lanes as the plain function corrects them (Nudge): sums exact in
//   double are often halfway, so this is not rare;
// - the sum is below 2^-100 in magnitude (the plain function then calls
//   std::fma): such a sum rounds to a float of at most 2^-100, which is
//   what is tested. This is rare: all four lanes are redone by
//   FusedMultiplyAdd itself.
// Every lane therefore equals the plain function bit for bit. Include only
// where __SSE2__ is defined.
#pragma once

#include <emmintrin.h>

#include "quality/ssimulacra2_fma.h"

namespace vardelk {
namespace ssimulacra2 {

// Four float lanes as two pairs of doubles: lanes 0 and 1, lanes 2 and 3.
struct Wide {
    __m128d low, high;
};

inline Wide Widen(__m128 v) { return {_mm_cvtps_pd(v), _mm_cvtps_pd(_mm_movehl_ps(v, v))}; }
inline Wide Widen(float v) { return {_mm_set1_pd(double(v)), _mm_set1_pd(double(v))}; }
// Exact for lanes that hold floats.
inline __m128 Narrow(const Wide& v) { return _mm_movelh_ps(_mm_cvtpd_ps(v.low), _mm_cvtpd_ps(v.high)); }

// a * b + c through FusedMultiplyAdd, lane by lane.
[[gnu::noinline, gnu::cold]] inline __m128 RedoFusedMultiplyAdd(const Wide& a, const Wide& b, const Wide& c) {
    alignas(16) float va[4], vb[4], vc[4], out[4];
    _mm_store_ps(va, Narrow(a));
    _mm_store_ps(vb, Narrow(b));
    _mm_store_ps(vc, Narrow(c));
    for (int i = 0; i < 4; ++i) out[i] = FusedMultiplyAdd(va[i], vb[i], vc[i]);
    return _mm_load_ps(out);
}

// A pair of sums of which some lie halfway between two floats (`halfway`,
// a 64-bit mask per lane): where the sum was inexact, it moves one double
// step towards the exact value, from the sum's rounding error worked out as
// the plain function does. Sums exact in double are often halfway (as where
// the cube root's Newton step nearly cancels its product and addend); for
// them the error is 0 and nothing moves.
inline __m128d Nudge(__m128d sum, __m128d product, __m128d c, __m128d halfway) {
    const __m128d cPart = _mm_sub_pd(sum, product);
    const __m128d error = _mm_add_pd(_mm_sub_pd(product, _mm_sub_pd(sum, cPart)), _mm_sub_pd(c, cPart));
    const __m128d zero = _mm_setzero_pd();
    const __m128d move = _mm_andnot_pd(_mm_cmpeq_pd(error, zero), halfway);
    const __m128d down = _mm_xor_pd(_mm_cmpgt_pd(error, zero), _mm_cmpgt_pd(sum, zero));
    // All ones is -1: subtracting it is a step away from zero, adding it a
    // step towards zero.
    const __m128i bits = _mm_sub_epi64(_mm_castpd_si128(sum), _mm_castpd_si128(_mm_andnot_pd(down, move)));
    return _mm_castsi128_pd(_mm_add_epi64(bits, _mm_castpd_si128(_mm_and_pd(down, move))));
}

inline __m128 FusedMultiplyAdd4(const Wide& a, const Wide& b, const Wide& c) {
    const __m128d productLow = _mm_mul_pd(a.low, b.low), productHigh = _mm_mul_pd(a.high, b.high);
    __m128d low = _mm_add_pd(productLow, c.low), high = _mm_add_pd(productHigh, c.high);
    const __m128 result = _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
    const __m128i lowWords =
        _mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(low), _mm_castpd_ps(high), _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i halfway =
        _mm_cmpeq_epi32(_mm_and_si128(lowWords, _mm_set1_epi32(0x1FFFFFFF)), _mm_set1_epi32(0x10000000));
    const __m128 tiny = _mm_cmple_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), result), _mm_set1_ps(0x1p-100f));
    if (_mm_movemask_ps(_mm_or_ps(_mm_castsi128_ps(halfway), tiny)) == 0) return result;
    if (_mm_movemask_ps(tiny) != 0) return RedoFusedMultiplyAdd(a, b, c);
    low = Nudge(low, productLow, c.low, _mm_castsi128_pd(_mm_shuffle_epi32(halfway, _MM_SHUFFLE(1, 1, 0, 0))));
    high = Nudge(high, productHigh, c.high, _mm_castsi128_pd(_mm_shuffle_epi32(halfway, _MM_SHUFFLE(3, 3, 2, 2))));
    return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
}

}  // namespace ssimulacra2
}  // namespace vardelk
