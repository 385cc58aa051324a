// ffmpeg's 16-bit transform in SSE2, exactly equal to ForwardDctFixed16 for
// every input (its plain form models these very instructions: saturating
// word sums, wrapping word shifts, high halves of word products, wrapping
// 32-bit dot products). Compiled in kernels_sse2.cpp inside an unnamed
// namespace; the includer provides <emmintrin.h> and codec/dct_fixed16.h.
//
// The column pass needs no transpose: each row of the block is a register,
// its eight lanes the eight columns. The row pass then takes each row on
// its own: sums and differences of mirrored lanes, eight dot products with
// the row set's weights, and their horizontal sums.

// Eight samples as saturated words, and eight words back as 32-bit values.
inline __m128i Fixed16Load(const int32_t* row) {
    return _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4)));
}
inline void Fixed16Store(int32_t* row, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4), _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
}

inline __m128i Fixed16Odd(__m128i v) { return _mm_or_si128(v, _mm_set1_epi16(1)); }

// The four dot products' lanes summed into one value each, in order.
inline __m128i SumLanes4(__m128i m0, __m128i m1, __m128i m2, __m128i m3) {
    const __m128i t01 = _mm_add_epi32(_mm_unpacklo_epi32(m0, m1), _mm_unpackhi_epi32(m0, m1));
    const __m128i t23 = _mm_add_epi32(_mm_unpacklo_epi32(m2, m3), _mm_unpackhi_epi32(m2, m3));
    return _mm_add_epi32(_mm_unpacklo_epi64(t01, t23), _mm_unpackhi_epi64(t01, t23));
}

inline __m128i Fixed16Row(__m128i x, int set) {
    using namespace dct::fixed16;
    __m128i mirrored = _mm_shuffle_epi32(x, _MM_SHUFFLE(1, 0, 3, 2));
    mirrored = _mm_shufflehi_epi16(_mm_shufflelo_epi16(mirrored, _MM_SHUFFLE(0, 1, 2, 3)), _MM_SHUFFLE(0, 1, 2, 3));
    const __m128i sd = _mm_unpacklo_epi64(_mm_adds_epi16(x, mirrored), _mm_subs_epi16(x, mirrored));
    __m128i m[8];
    for (int k = 0; k < 8; ++k)
        m[k] = _mm_madd_epi16(sd, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRowWeights.w[set][k])));
    const __m128i rounding = _mm_set1_epi32(1 << (kRowShift - 1));
    const __m128i low = _mm_srai_epi32(_mm_add_epi32(SumLanes4(m[0], m[1], m[2], m[3]), rounding), kRowShift);
    const __m128i high = _mm_srai_epi32(_mm_add_epi32(SumLanes4(m[4], m[5], m[6], m[7]), rounding), kRowShift);
    return _mm_packs_epi32(low, high);
}

inline void ForwardDctFixed16Vector(int32_t block[64]) {
    using namespace dct::fixed16;
    __m128i r[8];
    for (int i = 0; i < 8; ++i) r[i] = Fixed16Load(block + 8 * i);
    const auto shifted = [](__m128i v, int bits) { return _mm_sll_epi16(v, _mm_cvtsi32_si128(bits)); };
    const __m128i tan1 = _mm_set1_epi16(kTan1), tan2 = _mm_set1_epi16(kTan2);
    const __m128i tan3 = _mm_set1_epi16(kTan3), cos4 = _mm_set1_epi16(kCos4);

    const __m128i a = shifted(_mm_adds_epi16(r[1], r[6]), 3), b = shifted(_mm_adds_epi16(r[2], r[5]), 3);
    const __m128i c = shifted(_mm_adds_epi16(r[0], r[7]), 3), d = shifted(_mm_adds_epi16(r[3], r[4]), 3);
    const __m128i sumAb = _mm_adds_epi16(a, b), sumCd = _mm_adds_epi16(c, d);
    const __m128i diffAb = _mm_subs_epi16(a, b), diffCd = _mm_subs_epi16(c, d);
    __m128i out[8];
    out[0] = _mm_adds_epi16(sumCd, sumAb);
    out[4] = _mm_subs_epi16(sumCd, sumAb);
    out[2] = Fixed16Odd(_mm_adds_epi16(_mm_mulhi_epi16(tan2, diffAb), diffCd));
    out[6] = Fixed16Odd(_mm_subs_epi16(_mm_mulhi_epi16(tan2, diffCd), diffAb));

    const __m128i e = shifted(_mm_subs_epi16(r[1], r[6]), 4), f = shifted(_mm_subs_epi16(r[2], r[5]), 4);
    const __m128i p = Fixed16Odd(_mm_mulhi_epi16(cos4, _mm_adds_epi16(e, f)));
    const __m128i q = _mm_mulhi_epi16(cos4, _mm_subs_epi16(e, f));
    const __m128i g = shifted(_mm_subs_epi16(r[3], r[4]), 3), h = shifted(_mm_subs_epi16(r[0], r[7]), 3);
    const __m128i u = _mm_adds_epi16(g, q), v = _mm_subs_epi16(g, q);
    const __m128i hp = _mm_adds_epi16(h, p), hm = _mm_subs_epi16(h, p);
    out[1] = Fixed16Odd(_mm_adds_epi16(_mm_mulhi_epi16(tan1, u), hp));
    out[7] = _mm_subs_epi16(_mm_mulhi_epi16(tan1, hp), u);
    out[5] = _mm_adds_epi16(_mm_adds_epi16(_mm_mulhi_epi16(tan3, hm), hm), v);
    out[3] = _mm_subs_epi16(hm, _mm_adds_epi16(_mm_mulhi_epi16(tan3, v), v));

    for (int y = 0; y < 8; ++y) Fixed16Store(block + 8 * y, Fixed16Row(out[y], kRowSetOf[y]));
}
