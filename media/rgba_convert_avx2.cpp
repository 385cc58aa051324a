// The AVX2 family of media/rgba_convert.h's conversions, compiled with AVX2
// enabled (this file only) and filled only into tables whose flags allow
// it: rgba_convert_body.h's arithmetic written out in vector lanes, the
// pixels after the last whole vector of a row through the body itself.
//
// Forward, eight pixels a vector: the sums of the products come from
// multiply-adds of 16-bit byte pairs into 32-bit lanes and the quotients
// from a biased float estimate settled exactly by the remainder's sign
// (Quotients); a luma remainder of 0 sends the row to the body's fix of
// exact halves. The chroma of a 2x2 square takes the upper row's even pixel
// and the lower row's in neighbouring lanes, so that a horizontal add gives
// their sum.
//
// Inverse, sixteen pixels a vector in 16-bit lanes: u = 255 Y + 190 and its
// quotient and remainder by 219 (a high multiply), the chroma terms
// gathered from the tables once for both rows and compared with the
// remainder, the components clamped by the saturating pack.
#include "media/rgba_convert.h"

#if defined(VARDELK_HAVE_AVX2)
#include <immintrin.h>

#include <cstring>
#endif

namespace vardelk {

#if defined(VARDELK_HAVE_AVX2)
namespace {
#include "media/rgba_convert_body.h"

__m256i Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
void Store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

// Both 16-bit halves of each 32-bit lane: low, high.
__m256i Pair(int16_t low, int16_t high) {
    return _mm256_set1_epi32(int32_t(uint32_t(uint16_t(low)) | uint32_t(uint16_t(high)) << 16));
}

// Eight RGBA pixels as 16-bit pairs in 32-bit lanes: (R, B) and (G, A).
struct Channels {
    __m256i redBlue, greenAlpha;
};
Channels Split(__m256i pixels) {
    const __m256i bytes = _mm256_set1_epi32(0x00ff00ff);
    return {_mm256_and_si256(pixels, bytes), _mm256_and_si256(_mm256_srli_epi32(pixels, 8), bytes)};
}

// floor(x / d) in each lane for 0 <= x < 2^27 and d >= 2^16, given x + c
// for a small bias c with c / d above the float estimate's error (3 roundings
// of at most 2^-24 of a quotient below 256) and below 1 - that error: the
// estimate of (x + c) / d then truncates to the quotient or one more, which
// the sign of the remainder x - q d = (x + c - q d) - c settles. The
// remainder before the settling, plus c, goes to `rest`.
__m256i Quotients(__m256i biased, int32_t d, float inverse, int32_t c, __m256i& rest) {
    const __m256i q = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(biased), _mm256_set1_ps(inverse)));
    rest = _mm256_sub_epi32(biased, _mm256_mullo_epi32(q, _mm256_set1_epi32(d)));
    return _mm256_add_epi32(q, _mm256_cmpgt_epi32(_mm256_set1_epi32(c), rest));
}

// The body's luma of eight pixels, exact halves (a remainder of 0) marked
// in `halves`. The sum 73 (299 R + 587 G + 114 B) comes from (R, G) and
// (B, G) pairs, 73 x 587 G split between them.
__m256i Luma(__m256i pixels, __m256i& halves) {
    constexpr int32_t kBias = 10;
    const __m256i redGreen =
        _mm256_shuffle_epi8(pixels, _mm256_setr_epi8(0, -1, 1, -1, 4, -1, 5, -1, 8, -1, 9, -1, 12, -1, 13, -1, 0, -1, 1,
                                                     -1, 4, -1, 5, -1, 8, -1, 9, -1, 12, -1, 13, -1));
    const __m256i blueGreen =
        _mm256_shuffle_epi8(pixels, _mm256_setr_epi8(2, -1, 1, -1, 6, -1, 5, -1, 10, -1, 9, -1, 14, -1, 13, -1, 2, -1,
                                                     1, -1, 6, -1, 5, -1, 10, -1, 9, -1, 14, -1, 13, -1));
    const __m256i x = _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(redGreen, Pair(73 * 299, 21425)),
                                                        _mm256_madd_epi16(blueGreen, Pair(73 * 114, 73 * 587 - 21425))),
                                       _mm256_set1_epi32(1402500 + kBias));
    __m256i rest;
    const __m256i q = Quotients(x, 85000, 1.0f / 85000, kBias, rest);
    // A remainder of 0: x + c - q d is c (the estimate right) or c - d.
    halves = _mm256_or_si256(halves, _mm256_or_si256(_mm256_cmpeq_epi32(rest, _mm256_set1_epi32(kBias)),
                                                     _mm256_cmpeq_epi32(rest, _mm256_set1_epi32(kBias - 85000))));
    return q;
}
__m256i Blue(Channels c) {
    constexpr int32_t kBias = 25;
    const __m256i sum =
        _mm256_add_epi32(_mm256_madd_epi16(c.redBlue, Pair(-299, 886)), _mm256_madd_epi16(c.greenAlpha, Pair(-587, 0)));
    const __m256i times112 = _mm256_sub_epi32(_mm256_slli_epi32(sum, 7), _mm256_slli_epi32(sum, 4));
    __m256i rest;
    return Quotients(_mm256_add_epi32(times112, _mm256_set1_epi32(29032005 + kBias)), 225930, 1.0f / 225930, kBias,
                     rest);
}
__m256i Red(Channels c) {
    constexpr int32_t kBias = 40;
    const __m256i sum =
        _mm256_add_epi32(_mm256_madd_epi16(c.redBlue, Pair(701, -114)), _mm256_madd_epi16(c.greenAlpha, Pair(-587, 0)));
    const __m256i times224 = _mm256_sub_epi32(_mm256_slli_epi32(sum, 8), _mm256_slli_epi32(sum, 5));
    __m256i rest;
    return Quotients(_mm256_add_epi32(times224, _mm256_set1_epi32(45940035 + kBias)), 357510, 1.0f / 357510, kBias,
                     rest);
}

bool Any(__m256i mask) { return _mm256_movemask_epi8(mask) != 0; }

// Four vectors of 32-bit lanes a, b, c, d (each below 256) as bytes in order:
// a's eight, then b's, c's and d's.
__m256i Bytes(__m256i a, __m256i b, __m256i c, __m256i d) {
    // The packs work within 128-bit lanes: four-byte groups a0-3 b0-3 c0-3
    // d0-3 | a4-7 b4-7 c4-7 d4-7, put in order by one permute.
    const __m256i packed = _mm256_packus_epi16(_mm256_packus_epi32(a, b), _mm256_packus_epi32(c, d));
    return _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

void RgbaToPlanesAvx2(const uint8_t* rgba, size_t count, uint8_t* y, uint8_t* cb, uint8_t* cr) {
    __m256i halves = _mm256_setzero_si256();
    size_t i = 0;
    for (; count - i >= 8; i += 8) {
        const __m256i pixels = Load(rgba + i * 4);
        const Channels c = Split(pixels);
        const __m256i bytes = Bytes(Luma(pixels, halves), Blue(c), Red(c), _mm256_setzero_si256());
        Store8(y + i, _mm256_castsi256_si128(bytes));
        Store8(cb + i, _mm_unpackhi_epi64(_mm256_castsi256_si128(bytes), _mm256_castsi256_si128(bytes)));
        Store8(cr + i, _mm256_extracti128_si256(bytes, 1));
    }
    if (Any(halves)) FixLumaHalves(rgba, i, y);
    if (i < count) RgbaToPlanesBody(rgba + i * 4, count - i, y + i, cb + i, cr + i);
}

void RgbaRowsTo420Avx2(const uint8_t* upper, const uint8_t* lower, size_t width, uint8_t* yUpper, uint8_t* yLower,
                       uint8_t* cb, uint8_t* cr) {
    __m256i upperHalves = _mm256_setzero_si256(), lowerHalves = _mm256_setzero_si256();
    size_t i = 0;
    for (; width - i >= 16; i += 16) {
        const __m256i upperA = Load(upper + i * 4), upperB = Load(upper + i * 4 + 32);
        const __m256i lowerA = Load(lower + i * 4), lowerB = Load(lower + i * 4 + 32);
        const __m256i luma = Bytes(Luma(upperA, upperHalves), Luma(upperB, upperHalves), Luma(lowerA, lowerHalves),
                                   Luma(lowerB, lowerHalves));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(yUpper + i), _mm256_castsi256_si128(luma));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(yLower + i), _mm256_extracti128_si256(luma, 1));

        // Even pixels of the two rows side by side: u0 l0 u2 l2 ... u6 l6.
        const Channels a = Split(_mm256_blend_epi32(upperA, _mm256_slli_epi64(lowerA, 32), 0xaa));
        const Channels b = Split(_mm256_blend_epi32(upperB, _mm256_slli_epi64(lowerB, 32), 0xaa));
        // The sums of neighbours, columns 0 1 4 5 | 2 3 6 7, halved.
        const __m256i blue = _mm256_srli_epi32(_mm256_hadd_epi32(Blue(a), Blue(b)), 1);
        const __m256i red = _mm256_srli_epi32(_mm256_hadd_epi32(Red(a), Red(b)), 1);
        // Bytes blue 0 1 4 5 2 3 6 7, red likewise, in the low half.
        const __m128i chroma = _mm256_castsi256_si128(Bytes(blue, red, blue, red));
        const __m128i ordered =
            _mm_shuffle_epi8(chroma, _mm_setr_epi8(0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15));
        Store8(cb + i / 2, ordered);
        Store8(cr + i / 2, _mm_unpackhi_epi64(ordered, ordered));
    }
    if (Any(upperHalves)) FixLumaHalves(upper, i, yUpper);
    if (Any(lowerHalves)) FixLumaHalves(lower, i, yLower);
    if (i < width)
        RgbaRowsTo420Body(upper + i * 4, lower + i * 4, width - i, yUpper + i, yLower + i, cb + i / 2, cr + i / 2);
}

// The terms of one component for sixteen pixels in 16-bit lanes: the base
// to add and the threshold the remainder must reach for one more.
struct Terms {
    __m256i base, threshold;
};

// Eight gathered terms (base | t << 16), each for two neighbouring pixels.
Terms TwiceEach(__m256i terms) {
    return {_mm256_shuffle_epi8(terms, _mm256_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13, 0, 1, 0, 1,
                                                        4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13)),
            _mm256_shuffle_epi8(terms, _mm256_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15, 2, 3, 2,
                                                        3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15))};
}
// Sixteen gathered terms, of pixels 0-7 and 8-15.
Terms EachOnce(__m256i first, __m256i second) {
    // Bases to the low 8 bytes of each 128-bit lane, thresholds to the high.
    const __m256i split = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15, 0, 1, 4, 5, 8, 9, 12,
                                           13, 2, 3, 6, 7, 10, 11, 14, 15);
    // Then bases 0-7 | thresholds 0-7.
    const __m256i a = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(first, split), 0xd8);
    const __m256i b = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(second, split), 0xd8);
    return {_mm256_permute2x128_si256(a, b, 0x20), _mm256_permute2x128_si256(a, b, 0x31)};
}

__m256i Gather(const uint32_t* table, __m256i index) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4);
}
// Eight chroma samples as 32-bit lanes.
__m256i Widen(const uint8_t* samples) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples)));
}

// Sixteen pixels of luma y with their terms into RGBA, each with the alpha
// of the pixel at `alpha` (which may be `rgba` itself).
void SixteenPixels(const uint8_t* y, const Terms& red, const Terms& green, const Terms& blue, const uint8_t* alpha,
                   uint8_t* rgba) {
    const __m256i luma = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)));
    const __m256i u = _mm256_add_epi16(_mm256_mullo_epi16(luma, _mm256_set1_epi16(255)), _mm256_set1_epi16(190));
    const __m256i q = _mm256_srli_epi16(_mm256_mulhi_epu16(u, _mm256_set1_epi16(int16_t(38305 - 65536))), 7);
    const __m256i r = _mm256_sub_epi16(u, _mm256_mullo_epi16(q, _mm256_set1_epi16(219)));
    // q + base + (r >= t), as q + base + 1 - (t > r).
    const __m256i q1 = _mm256_add_epi16(q, _mm256_set1_epi16(1));
    auto component = [&](const Terms& terms) {
        return _mm256_add_epi16(_mm256_add_epi16(q1, terms.base), _mm256_cmpgt_epi16(terms.threshold, r));
    };
    const __m256i zero = _mm256_setzero_si256();
    // Per 128-bit lane: R0-7 G0-7 and B0-7 0, clamped to 0..255 by the packs.
    const __m256i redGreen = _mm256_packus_epi16(component(red), component(green));
    const __m256i blueZero = _mm256_packus_epi16(component(blue), zero);
    const __m256i redBlue = _mm256_unpacklo_epi8(redGreen, blueZero);
    const __m256i greenZero = _mm256_unpackhi_epi8(redGreen, blueZero);
    // Pixels 0-3 | 8-11 and 4-7 | 12-15.
    const __m256i low = _mm256_unpacklo_epi8(redBlue, greenZero);
    const __m256i high = _mm256_unpackhi_epi8(redBlue, greenZero);
    const __m256i alphaMask = _mm256_set1_epi32(int32_t(0xff000000u));
    const __m256i alphaFirst = _mm256_and_si256(Load(alpha), alphaMask);
    const __m256i alphaSecond = _mm256_and_si256(Load(alpha + 32), alphaMask);
    Store(rgba, _mm256_or_si256(_mm256_permute2x128_si256(low, high, 0x20), alphaFirst));
    Store(rgba + 32, _mm256_or_si256(_mm256_permute2x128_si256(low, high, 0x31), alphaSecond));
}

void PlanesToRgbaAvx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, size_t count, uint8_t* rgba) {
    const ChromaTermTables& t = ChromaTerms();
    size_t i = 0;
    for (; count - i >= 16; i += 16) {
        const __m256i u0 = Widen(cb + i), u1 = Widen(cb + i + 8), v0 = Widen(cr + i), v1 = Widen(cr + i + 8);
        const Terms red = EachOnce(Gather(t.red, v0), Gather(t.red, v1));
        const Terms blue = EachOnce(Gather(t.blue, u0), Gather(t.blue, u1));
        const Terms green = EachOnce(Gather(t.green, _mm256_or_si256(_mm256_slli_epi32(u0, 8), v0)),
                                     Gather(t.green, _mm256_or_si256(_mm256_slli_epi32(u1, 8), v1)));
        SixteenPixels(y + i, red, green, blue, rgba + i * 4, rgba + i * 4);
    }
    if (i < count) PlanesToRgbaBody(y + i, cb + i, cr + i, count - i, rgba + i * 4);
}

void Rows420ToRgbaAvx2(const uint8_t* yUpper, const uint8_t* yLower, const uint8_t* cb, const uint8_t* cr, size_t width,
                       const uint8_t* alphaUpper, const uint8_t* alphaLower, uint8_t* upper, uint8_t* lower) {
    const ChromaTermTables& t = ChromaTerms();
    size_t i = 0;
    for (; width - i >= 16; i += 16) {
        const __m256i u = Widen(cb + i / 2), v = Widen(cr + i / 2);
        const Terms red = TwiceEach(Gather(t.red, v));
        const Terms blue = TwiceEach(Gather(t.blue, u));
        const Terms green = TwiceEach(Gather(t.green, _mm256_or_si256(_mm256_slli_epi32(u, 8), v)));
        SixteenPixels(yUpper + i, red, green, blue, alphaUpper + i * 4, upper + i * 4);
        if (yLower != nullptr) SixteenPixels(yLower + i, red, green, blue, alphaLower + i * 4, lower + i * 4);
    }
    Rows420ToRgbaFrom(i, yUpper, yLower, cb, cr, width, alphaUpper, alphaLower, upper, lower);
}

}  // namespace
#endif

void FillAvx2Kernels([[maybe_unused]] RgbaConversions& table) {
#if defined(VARDELK_HAVE_AVX2)
    table = RgbaConversions{RgbaToPlanesAvx2, PlanesToRgbaAvx2, RgbaRowsTo420Avx2, Rows420ToRgbaAvx2};
#endif
}

}  // namespace vardelk
