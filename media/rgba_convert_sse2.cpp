// The SSE2 family of media/rgba_convert.h's conversions, for x86 without
// AVX2: the AVX2 family's arithmetic (rgba_convert_avx2.cpp) in 128-bit
// vectors with SSE2's instructions only, the pixels after the last whole
// vector of a row through rgba_convert_body.h. Four pixels a vector
// forward; back, eight pixels a vector, the chroma terms looked up into a
// buffer first (SSE2 has no gathers).
#include "media/rgba_convert.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#endif

namespace vardelk {

#if defined(__SSE2__)
namespace {
#include "media/rgba_convert_body.h"

__m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
void Store4(uint8_t* p, __m128i v) {
    const int32_t low = _mm_cvtsi128_si32(v);
    std::memcpy(p, &low, 4);
}
void Store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

__m128i Pair(int16_t low, int16_t high) {
    return _mm_set1_epi32(int32_t(uint32_t(uint16_t(low)) | uint32_t(uint16_t(high)) << 16));
}

// Four RGBA pixels as 16-bit pairs in 32-bit lanes: (R, B) and (G, A).
struct Channels {
    __m128i redBlue, greenAlpha;
};
Channels Split(__m128i pixels) {
    const __m128i bytes = _mm_set1_epi32(0x00ff00ff);
    return {_mm_and_si128(pixels, bytes), _mm_and_si128(_mm_srli_epi32(pixels, 8), bytes)};
}

// q d for 0 <= q < 2^15 and d = m << shift (m < 2^15) or, for the chroma,
// m times 10 or 30: a multiply-add of q's low half (its high half is 0).
template <int32_t kDivisor>
__m128i TimesDivisor(__m128i q) {
    if constexpr (kDivisor == 85000) {
        return _mm_slli_epi32(_mm_madd_epi16(q, _mm_set1_epi32(10625)), 3);
    } else if constexpr (kDivisor == 225930) {
        const __m128i m = _mm_madd_epi16(q, _mm_set1_epi32(22593));
        return _mm_add_epi32(_mm_slli_epi32(m, 3), _mm_slli_epi32(m, 1));
    } else {
        static_assert(kDivisor == 357510);
        const __m128i m = _mm_madd_epi16(q, _mm_set1_epi32(11917));
        return _mm_sub_epi32(_mm_slli_epi32(m, 5), _mm_slli_epi32(m, 1));
    }
}

// As the AVX2 family's Quotients: x + c in, the quotient or one more from
// the float estimate, settled by the sign of x + c - q d against c.
template <int32_t kDivisor>
__m128i Quotients(__m128i biased, float inverse, int32_t c, __m128i& rest) {
    const __m128i q = _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(biased), _mm_set1_ps(inverse)));
    rest = _mm_sub_epi32(biased, TimesDivisor<kDivisor>(q));
    return _mm_add_epi32(q, _mm_cmpgt_epi32(_mm_set1_epi32(c), rest));
}

__m128i Luma(Channels c, __m128i& halves) {
    constexpr int32_t kBias = 10;
    const __m128i sum =
        _mm_add_epi32(_mm_madd_epi16(c.redBlue, Pair(299, 114)), _mm_madd_epi16(c.greenAlpha, Pair(587, 0)));
    // 73 = 64 + 8 + 1.
    const __m128i times73 = _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(sum, 6), _mm_slli_epi32(sum, 3)), sum);
    __m128i rest;
    const __m128i q =
        Quotients<85000>(_mm_add_epi32(times73, _mm_set1_epi32(1402500 + kBias)), 1.0f / 85000, kBias, rest);
    halves = _mm_or_si128(halves, _mm_or_si128(_mm_cmpeq_epi32(rest, _mm_set1_epi32(kBias)),
                                               _mm_cmpeq_epi32(rest, _mm_set1_epi32(kBias - 85000))));
    return q;
}
__m128i Blue(Channels c) {
    constexpr int32_t kBias = 25;
    const __m128i sum =
        _mm_add_epi32(_mm_madd_epi16(c.redBlue, Pair(-299, 886)), _mm_madd_epi16(c.greenAlpha, Pair(-587, 0)));
    const __m128i times112 = _mm_sub_epi32(_mm_slli_epi32(sum, 7), _mm_slli_epi32(sum, 4));
    __m128i rest;
    return Quotients<225930>(_mm_add_epi32(times112, _mm_set1_epi32(29032005 + kBias)), 1.0f / 225930, kBias, rest);
}
__m128i Red(Channels c) {
    constexpr int32_t kBias = 40;
    const __m128i sum =
        _mm_add_epi32(_mm_madd_epi16(c.redBlue, Pair(701, -114)), _mm_madd_epi16(c.greenAlpha, Pair(-587, 0)));
    const __m128i times224 = _mm_sub_epi32(_mm_slli_epi32(sum, 8), _mm_slli_epi32(sum, 5));
    __m128i rest;
    return Quotients<357510>(_mm_add_epi32(times224, _mm_set1_epi32(45940035 + kBias)), 1.0f / 357510, kBias, rest);
}

bool Any(__m128i mask) { return _mm_movemask_epi8(mask) != 0; }

// Four vectors of 32-bit lanes (each below 256) as bytes: a's four, then
// b's, c's and d's.
__m128i Bytes(__m128i a, __m128i b, __m128i c, __m128i d) {
    return _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
}

void RgbaToPlanesSse2(const uint8_t* rgba, size_t count, uint8_t* y, uint8_t* cb, uint8_t* cr) {
    __m128i halves = _mm_setzero_si128();
    size_t i = 0;
    for (; count - i >= 4; i += 4) {
        const Channels c = Split(Load(rgba + i * 4));
        const __m128i bytes = Bytes(Luma(c, halves), Blue(c), Red(c), _mm_setzero_si128());
        Store4(y + i, bytes);
        Store4(cb + i, _mm_srli_si128(bytes, 4));
        Store4(cr + i, _mm_srli_si128(bytes, 8));
    }
    if (Any(halves)) FixLumaHalves(rgba, i, y);
    if (i < count) RgbaToPlanesBody(rgba + i * 4, count - i, y + i, cb + i, cr + i);
}

// Pixels 0 and 2 of the upper four and of the lower four: u0 l0 u2 l2.
__m128i EvenPixels(__m128i upper, __m128i lower) {
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(upper, _MM_SHUFFLE(3, 1, 2, 0)),
                              _mm_shuffle_epi32(lower, _MM_SHUFFLE(3, 1, 2, 0)));
}
// The sums of neighbouring lanes: a0 + a1, a2 + a3, b0 + b1, b2 + b3.
__m128i PairSums(__m128i a, __m128i b) {
    const __m128 x = _mm_castsi128_ps(a), y = _mm_castsi128_ps(b);
    return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(x, y, _MM_SHUFFLE(2, 0, 2, 0))),
                         _mm_castps_si128(_mm_shuffle_ps(x, y, _MM_SHUFFLE(3, 1, 3, 1))));
}

void RgbaRowsTo420Sse2(const uint8_t* upper, const uint8_t* lower, size_t width, uint8_t* yUpper, uint8_t* yLower,
                       uint8_t* cb, uint8_t* cr) {
    __m128i upperHalves = _mm_setzero_si128(), lowerHalves = _mm_setzero_si128();
    size_t i = 0;
    for (; width - i >= 8; i += 8) {
        const __m128i upperA = Load(upper + i * 4), upperB = Load(upper + i * 4 + 16);
        const __m128i lowerA = Load(lower + i * 4), lowerB = Load(lower + i * 4 + 16);
        const __m128i luma = Bytes(Luma(Split(upperA), upperHalves), Luma(Split(upperB), upperHalves),
                                   Luma(Split(lowerA), lowerHalves), Luma(Split(lowerB), lowerHalves));
        Store8(yUpper + i, luma);
        Store8(yLower + i, _mm_unpackhi_epi64(luma, luma));
        const Channels a = Split(EvenPixels(upperA, lowerA)), b = Split(EvenPixels(upperB, lowerB));
        const __m128i blue = _mm_srli_epi32(PairSums(Blue(a), Blue(b)), 1);
        const __m128i red = _mm_srli_epi32(PairSums(Red(a), Red(b)), 1);
        const __m128i chroma = Bytes(blue, red, blue, red);
        Store4(cb + i / 2, chroma);
        Store4(cr + i / 2, _mm_srli_si128(chroma, 4));
    }
    if (Any(upperHalves)) FixLumaHalves(upper, i, yUpper);
    if (Any(lowerHalves)) FixLumaHalves(lower, i, yLower);
    if (i < width)
        RgbaRowsTo420Body(upper + i * 4, lower + i * 4, width - i, yUpper + i, yLower + i, cb + i / 2, cr + i / 2);
}

// The terms of one component for eight pixels in 16-bit lanes.
struct Terms {
    __m128i base, threshold;
};
// Four looked-up terms (base | t << 16), each for two neighbouring pixels.
Terms TwiceEach(const uint32_t* terms) {
    const __m128i t = _mm_load_si128(reinterpret_cast<const __m128i*>(terms));
    return {_mm_shufflehi_epi16(_mm_shufflelo_epi16(t, _MM_SHUFFLE(2, 2, 0, 0)), _MM_SHUFFLE(2, 2, 0, 0)),
            _mm_shufflehi_epi16(_mm_shufflelo_epi16(t, _MM_SHUFFLE(3, 3, 1, 1)), _MM_SHUFFLE(3, 3, 1, 1))};
}
// Eight looked-up terms, one a pixel.
Terms EachOnce(const uint32_t* terms) {
    // Bases to the low four words, thresholds to the high.
    auto split = [](__m128i t) {
        const __m128i words =
            _mm_shufflehi_epi16(_mm_shufflelo_epi16(t, _MM_SHUFFLE(3, 1, 2, 0)), _MM_SHUFFLE(3, 1, 2, 0));
        return _mm_shuffle_epi32(words, _MM_SHUFFLE(3, 1, 2, 0));
    };
    const __m128i a = split(_mm_load_si128(reinterpret_cast<const __m128i*>(terms)));
    const __m128i b = split(_mm_load_si128(reinterpret_cast<const __m128i*>(terms + 4)));
    return {_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b)};
}

// Eight pixels of luma y with their terms into RGBA, each with the alpha of
// the pixel at `alpha` (which may be `rgba` itself).
void EightPixels(const uint8_t* y, const Terms& red, const Terms& green, const Terms& blue, const uint8_t* alpha,
                 uint8_t* rgba) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i luma = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)), zero);
    const __m128i u = _mm_add_epi16(_mm_mullo_epi16(luma, _mm_set1_epi16(255)), _mm_set1_epi16(190));
    const __m128i q = _mm_srli_epi16(_mm_mulhi_epu16(u, _mm_set1_epi16(int16_t(38305 - 65536))), 7);
    const __m128i r = _mm_sub_epi16(u, _mm_mullo_epi16(q, _mm_set1_epi16(219)));
    const __m128i q1 = _mm_add_epi16(q, _mm_set1_epi16(1));
    auto component = [&](const Terms& terms) {
        return _mm_add_epi16(_mm_add_epi16(q1, terms.base), _mm_cmpgt_epi16(terms.threshold, r));
    };
    const __m128i redGreen = _mm_packus_epi16(component(red), component(green));
    const __m128i blueZero = _mm_packus_epi16(component(blue), zero);
    const __m128i redBlue = _mm_unpacklo_epi8(redGreen, blueZero);
    const __m128i greenZero = _mm_unpackhi_epi8(redGreen, blueZero);
    const __m128i alphaMask = _mm_set1_epi32(int32_t(0xff000000u));
    const __m128i alphaFirst = _mm_and_si128(Load(alpha), alphaMask);
    const __m128i alphaSecond = _mm_and_si128(Load(alpha + 16), alphaMask);
    Store(rgba, _mm_or_si128(_mm_unpacklo_epi8(redBlue, greenZero), alphaFirst));
    Store(rgba + 16, _mm_or_si128(_mm_unpackhi_epi8(redBlue, greenZero), alphaSecond));
}

constexpr size_t kChunk = 128;

void PlanesToRgbaSse2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, size_t count, uint8_t* rgba) {
    const ChromaTermTables& t = ChromaTerms();
    alignas(16) uint32_t red[kChunk], green[kChunk], blue[kChunk];
    size_t i = 0;
    while (count - i >= 8) {
        const size_t n = std::min((count - i) / 8 * 8, kChunk);
        for (size_t k = 0; k < n; ++k) {
            const uint8_t u = cb[i + k], v = cr[i + k];
            red[k] = t.red[v];
            green[k] = t.green[size_t(u) << 8 | v];
            blue[k] = t.blue[u];
        }
        for (size_t k = 0; k < n; k += 8, i += 8)
            EightPixels(y + i, EachOnce(red + k), EachOnce(green + k), EachOnce(blue + k), rgba + i * 4, rgba + i * 4);
    }
    if (i < count) PlanesToRgbaBody(y + i, cb + i, cr + i, count - i, rgba + i * 4);
}

void Rows420ToRgbaSse2(const uint8_t* yUpper, const uint8_t* yLower, const uint8_t* cb, const uint8_t* cr, size_t width,
                       const uint8_t* alphaUpper, const uint8_t* alphaLower, uint8_t* upper, uint8_t* lower) {
    const ChromaTermTables& t = ChromaTerms();
    alignas(16) uint32_t red[kChunk], green[kChunk], blue[kChunk];
    size_t i = 0;
    while (width - i >= 8) {
        const size_t n = std::min((width - i) / 8 * 4, kChunk);  // chroma samples
        for (size_t k = 0; k < n; ++k) {
            const uint8_t u = cb[i / 2 + k], v = cr[i / 2 + k];
            red[k] = t.red[v];
            green[k] = t.green[size_t(u) << 8 | v];
            blue[k] = t.blue[u];
        }
        for (size_t k = 0; k < n; k += 4, i += 8) {
            const Terms r = TwiceEach(red + k), g = TwiceEach(green + k), b = TwiceEach(blue + k);
            EightPixels(yUpper + i, r, g, b, alphaUpper + i * 4, upper + i * 4);
            if (yLower != nullptr) EightPixels(yLower + i, r, g, b, alphaLower + i * 4, lower + i * 4);
        }
    }
    Rows420ToRgbaFrom(i, yUpper, yLower, cb, cr, width, alphaUpper, alphaLower, upper, lower);
}

}  // namespace
#endif

void FillSse2Kernels([[maybe_unused]] RgbaConversions& table) {
#if defined(__SSE2__)
    table = RgbaConversions{RgbaToPlanesSse2, PlanesToRgbaSse2, RgbaRowsTo420Sse2, Rows420ToRgbaSse2};
#endif
}

}  // namespace vardelk
