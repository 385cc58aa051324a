// The AVX2 transforms, exactly equal to forward_dct.cpp and inverse_dct.cpp:
// the arithmetic of dct_sse2_body.h with both halves of every row in one
// 256-bit register. Compiled in kernels_avx2.cpp inside an unnamed
// namespace; the includer provides <immintrin.h>, codec/dct_constants.h,
// codec/forward_dct.h and codec/inverse_dct.h.
#include "codec/kernels/dct_vector_common.h"

// The word pairs of a and b, the unpacklo ones in the low half and the
// unpackhi ones in the high half: one register covers what the two halves
// of the 128-bit code cover.
inline __m256i Both(__m128i a, __m128i b) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi16(a, b)), _mm_unpackhi_epi16(a, b), 1);
}
inline __m256i Pair8(int32_t first, int32_t second) { return _mm256_broadcastsi128_si256(Pair(first, second)); }
inline __m256i Dot2(__m256i p0, __m256i p1, __m256i c0, __m256i c1) {
    return _mm256_add_epi32(_mm256_madd_epi16(p0, c0), _mm256_madd_epi16(p1, c1));
}
inline __m256i Dot4(__m256i p0, __m256i p1, __m256i p2, __m256i p3, __m256i c0, __m256i c1, __m256i c2, __m256i c3) {
    return _mm256_add_epi32(Dot2(p0, p1, c0, c1), Dot2(p2, p3, c2, c3));
}
// Eight 32-bit lanes to eight 16-bit ones (saturating; see the range checks).
inline __m128i Narrow(__m256i v) { return _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)); }

inline __m256i AccumulateMagnitude(__m256i acc, __m256i v) {
    return _mm256_or_si256(acc, _mm256_xor_si256(v, _mm256_srai_epi32(v, 31)));
}
inline bool FitsInt16(__m256i acc) {
    return FitsInt16(_mm_or_si128(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1)));
}

// Forward transform; see dct_sse2_body.h for the unscaled outputs 0 and 4
// of pass one and the shortened shifts they take in pass two.
template <typename W>
inline void ForwardDctVector(int32_t block[64]) {
    __m128i x[8];
    for (int i = 0; i < 8; ++i) x[i] = LoadRow16(block + 8 * i);
    Transpose8x8(x);  // x[c] holds column c of every row

    const __m128i s0 = _mm_add_epi16(x[0], x[7]), s1 = _mm_add_epi16(x[1], x[6]);
    const __m128i s2 = _mm_add_epi16(x[2], x[5]), s3 = _mm_add_epi16(x[3], x[4]);
    const __m128i d0 = _mm_sub_epi16(x[0], x[7]), d1 = _mm_sub_epi16(x[1], x[6]);
    const __m128i d2 = _mm_sub_epi16(x[2], x[5]), d3 = _mm_sub_epi16(x[3], x[4]);
    const __m128i e0 = _mm_add_epi16(s0, s3), e3 = _mm_sub_epi16(s0, s3);
    const __m128i e1 = _mm_add_epi16(s1, s2), e2 = _mm_sub_epi16(s1, s2);

    __m128i rows[8];  // rows[k] = pass-one output k of each row, 16-bit
    rows[0] = _mm_add_epi16(e0, e1);
    rows[4] = _mm_sub_epi16(e0, e1);
    __m256i magnitude = _mm256_setzero_si256();
    const auto narrow = [&magnitude](__m256i sum) {
        __m256i v = sum;
        if constexpr (W::kRowRounding != 0) v = _mm256_add_epi32(v, _mm256_set1_epi32(W::kRowRounding));
        v = _mm256_srai_epi32(v, 9);
        magnitude = AccumulateMagnitude(magnitude, v);
        return Narrow(v);
    };
    const __m256i pe = Both(e2, e3), p01 = Both(d0, d1), p23 = Both(d2, d3);
    rows[2] = narrow(_mm256_madd_epi16(pe, Pair8(W::kEven2[0], W::kEven2[1])));
    rows[6] = narrow(_mm256_madd_epi16(pe, Pair8(W::kEven6[0], W::kEven6[1])));
    for (int k = 0; k < 4; ++k)
        rows[2 * k + 1] =
            narrow(Dot2(p01, p23, Pair8(W::kOdd[k][0], W::kOdd[k][1]), Pair8(W::kOdd[k][2], W::kOdd[k][3])));
    if (!FitsInt16(magnitude)) {
        PlainForwardDct<W>(block);
        return;
    }

    Transpose8x8(rows);  // rows[y] holds row y's eight pass-one outputs
    // Columns 0..3 in the low half, 4..7 in the high half, and the two
    // shifts as one per-lane shift: 3 or 16 in lane 0 of each half (columns
    // 0 and 4), 4 more in the others.
    const __m256i p07 = Both(rows[0], rows[7]), p16 = Both(rows[1], rows[6]);
    const __m256i p25 = Both(rows[2], rows[5]), p34 = Both(rows[3], rows[4]);
    constexpr int kFraction = W::kOutputFractionBits;
    constexpr int32_t kP = 7 - kFraction, kPl = 3 - kFraction, kS = 20 - kFraction, kSl = 16 - kFraction;
    constexpr int32_t kPb = 1 << (kP - 1), kPlb = kPl > 0 ? 1 << (kPl - 1) : 0, kSb = 1 << (kS - 1),
                      kSlb = 1 << (kSl - 1);
    const __m256i plainBias = _mm256_set_epi32(kPb, kPb, kPb, kPlb, kPb, kPb, kPb, kPlb);
    const __m256i plainShift = _mm256_set_epi32(kP, kP, kP, kPl, kP, kP, kP, kPl);
    const __m256i scaledBias = _mm256_set_epi32(kSb, kSb, kSb, kSlb, kSb, kSb, kSb, kSlb);
    const __m256i scaledShift = _mm256_set_epi32(kS, kS, kS, kSl, kS, kS, kS, kSl);
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) {
        const auto pair = [k](int j) { return _mm256_broadcastsi128_si256(ColumnPair<W>(k, j)); };
        const __m256i sum = Dot4(p07, p16, p25, p34, pair(0), pair(1), pair(2), pair(3));
        const bool plainSum = k % 4 == 0;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 8 * k),
                            _mm256_srav_epi32(_mm256_add_epi32(sum, plainSum ? plainBias : scaledBias),
                                              plainSum ? plainShift : scaledShift));
    }
}

// The inverse kernel on eight lanes: z[k] is output k for each lane.
inline void InverseKernel(const __m128i in[8], __m256i z[8]) {
    const __m256i p04 = Both(in[0], in[4]), p26 = Both(in[2], in[6]);
    const __m256i p13 = Both(in[1], in[3]), p57 = Both(in[5], in[7]);
    const __m256i b0 = _mm256_madd_epi16(p04, Pair8(dct::kOne, dct::kOne));
    const __m256i b1 = _mm256_madd_epi16(p04, Pair8(dct::kOne, -dct::kOne));
    const __m256i b2 = _mm256_madd_epi16(p26, Pair8(dct::kEven2[0], dct::kEven6[0]));
    const __m256i b3 = _mm256_madd_epi16(p26, Pair8(dct::kEven2[1], dct::kEven6[1]));
    const __m256i f[4] = {_mm256_add_epi32(b0, b3), _mm256_add_epi32(b1, b2), _mm256_sub_epi32(b1, b2),
                          _mm256_sub_epi32(b0, b3)};
    for (int k = 0; k < 4; ++k) {
        // Row k of the odd weights gives g(3-k), which joins f(k).
        const __m256i g =
            Dot2(p13, p57, Pair8(dct::kOdd[k][0], dct::kOdd[k][1]), Pair8(dct::kOdd[k][2], dct::kOdd[k][3]));
        z[k] = _mm256_add_epi32(f[k], g);
        z[7 - k] = _mm256_sub_epi32(f[k], g);
    }
}

// Inverse transform; see dct_sse2_body.h. Pass two saturates and stores
// 32-bit values directly.
inline void InverseDctVector(int32_t block[64]) {
    __m128i y[8];
    for (int i = 0; i < 8; ++i) y[i] = LoadRow16(block + 8 * i);
    Transpose8x8(y);  // y[u] holds frequency u of every row

    __m128i work[8];
    __m256i magnitude = _mm256_setzero_si256();
    {
        __m256i z[8];
        InverseKernel(y, z);
        for (int k = 0; k < 8; ++k) {
            const __m256i v = _mm256_srai_epi32(z[k], 9);
            magnitude = AccumulateMagnitude(magnitude, v);
            work[k] = Narrow(v);
        }
    }
    if (!FitsInt16(magnitude)) {
        vardelk::InverseDct(block);
        return;
    }

    Transpose8x8(work);  // work[v] holds row v of the workspace
    __m256i z[8];
    InverseKernel(work, z);
    const __m256i bias = _mm256_set1_epi32(1 << 19);
    const __m256i lowest = _mm256_set1_epi32(kMinSample), highest = _mm256_set1_epi32(kMaxSample);
    for (int k = 0; k < 8; ++k) {
        const __m256i v = _mm256_srai_epi32(_mm256_add_epi32(z[k], bias), 20);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 8 * k),
                            _mm256_max_epi32(_mm256_min_epi32(v, highest), lowest));
    }
}
