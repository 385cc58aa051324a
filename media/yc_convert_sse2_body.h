// The SSE2 conversion of a horizontally halved row into YC pixels, for the
// SSE2 and AVX2 builds of yc_convert_body.h. The includer provides
// <emmintrin.h>, <cstring> and an unnamed namespace.

// Four pixel pairs of a horizontally halved row at a time. A pair is the six
// components y0 b r y1 b r, that is the three 32-bit words A = (y0, b),
// C = (r, y1) and D = (b, r) (low half first); each word is built in the
// lanes of one register for four pairs, and the three registers are
// interleaved word by word into the 48 output bytes. Returns the pairs done.
inline int32_t HalvedChromaRowIn(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int32_t pairs, Pixel* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_set1_epi32(0xFFFF);
    const __m128i offset = _mm_set1_epi16(128);
    int32_t c = 0;
    for (; c + 4 <= pairs; c += 4) {
        int32_t b4, r4;
        std::memcpy(&b4, cb + c, 4);
        std::memcpy(&r4, cr + c, 4);
        const __m128i y =
            _mm_slli_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma + 2 * c)), zero), 4);
        // (v - 128) x 16 in the low half of each 32-bit lane.
        const __m128i b = _mm_unpacklo_epi16(
            _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(b4), zero), offset), 4), zero);
        const __m128i r = _mm_unpacklo_epi16(
            _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(r4), zero), offset), 4), zero);
        const __m128i a = _mm_or_si128(_mm_and_si128(y, low), _mm_slli_epi32(b, 16));       // A0..A3
        const __m128i m = _mm_or_si128(_mm_andnot_si128(low, y), r);                        // C0..C3
        const __m128i d = _mm_or_si128(b, _mm_slli_epi32(r, 16));                           // D0..D3
        const __m128i am = _mm_unpacklo_epi32(a, m);                                        // A0 C0 A1 C1
        const __m128i da = _mm_unpacklo_epi32(d, _mm_srli_si128(a, 4));                     // D0 A1 D1 A2
        const __m128i md = _mm_unpacklo_epi32(_mm_srli_si128(m, 4), _mm_srli_si128(d, 4));  // C1 D1 C2 D2
        const __m128i amHigh = _mm_unpackhi_epi32(a, m);                                    // A2 C2 A3 C3
        const __m128i daHigh = _mm_unpackhi_epi32(d, _mm_srli_si128(a, 4));                 // D2 A3 D3 0
        const __m128i mdHigh = _mm_unpackhi_epi32(m, d);                                    // C2 D2 C3 D3
        __m128i* o = reinterpret_cast<__m128i*>(out + 2 * c);
        _mm_storeu_si128(o, _mm_unpacklo_epi64(am, da));                                 // A0 C0 D0 A1
        _mm_storeu_si128(o + 1, _mm_unpacklo_epi64(md, amHigh));                         // C1 D1 A2 C2
        _mm_storeu_si128(o + 2, _mm_unpacklo_epi64(daHigh, _mm_srli_si128(mdHigh, 8)));  // D2 A3 C3 D3
    }
    return c;
}
