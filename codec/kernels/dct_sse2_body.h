// The SSE2 transforms, exactly equal to forward_dct.cpp and inverse_dct.cpp.
// Compiled in kernels_sse2.cpp inside an unnamed namespace; the includer
// provides <emmintrin.h>, codec/dct_constants.h, codec/forward_dct.h and
// codec/inverse_dct.h. Each pass works on the two halves of every row (four
// lanes each) in turn.
#include "codec/kernels/dct_vector_common.h"

inline __m128i Dot2(__m128i p0, __m128i p1, __m128i c0, __m128i c1) {
    return _mm_add_epi32(_mm_madd_epi16(p0, c0), _mm_madd_epi16(p1, c1));
}
inline __m128i Dot4(__m128i p0, __m128i p1, __m128i p2, __m128i p3, __m128i c0, __m128i c1, __m128i c2, __m128i c3) {
    return _mm_add_epi32(Dot2(p0, p1, c0, c1), Dot2(p2, p3, c2, c3));
}
// Word pairs of a and b from the low (h = 0) or high (h = 1) half.
inline __m128i Interleave(int h, __m128i a, __m128i b) {
    return h == 0 ? _mm_unpacklo_epi16(a, b) : _mm_unpackhi_epi16(a, b);
}

// Forward transform. Pass one runs along each row (the rows sit in lanes
// after a transpose); pass two along each column.
//
// The plain row pass stores outputs 0 and 4 times 16. Here they stay
// unscaled, which keeps them within 16 bits for every sample range; pass
// two is linear, so on those two columns it sees its usual sums divided by
// 16 and the final shifts lose 4: (A + 2^19) >> 20 becomes (A + 2^15) >> 16
// and (A + 64) >> 7 becomes (A + 4) >> 3. Columns 0 and 4 are lane 0 of the
// two halves, so one lane mask picks the shortened shift. The accurate
// transform keeps 3 more fraction bits: (A + 2^16) >> 17 and (A + 8) >> 4,
// on lane 0 (A + 2^12) >> 13 and A itself.
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
    __m128i magnitude = _mm_setzero_si128();
    const auto narrow = [&magnitude](__m128i low, __m128i high) {
        low = RowDescale<W>(low);
        high = RowDescale<W>(high);
        magnitude = AccumulateMagnitude(AccumulateMagnitude(magnitude, low), high);
        return _mm_packs_epi32(low, high);
    };
    const __m128i pe[2] = {Interleave(0, e2, e3), Interleave(1, e2, e3)};
    const __m128i p01[2] = {Interleave(0, d0, d1), Interleave(1, d0, d1)};
    const __m128i p23[2] = {Interleave(0, d2, d3), Interleave(1, d2, d3)};
    const __m128i even2 = Pair(W::kEven2[0], W::kEven2[1]), even6 = Pair(W::kEven6[0], W::kEven6[1]);
    rows[2] = narrow(_mm_madd_epi16(pe[0], even2), _mm_madd_epi16(pe[1], even2));
    rows[6] = narrow(_mm_madd_epi16(pe[0], even6), _mm_madd_epi16(pe[1], even6));
    for (int k = 0; k < 4; ++k) {
        const __m128i w01 = Pair(W::kOdd[k][0], W::kOdd[k][1]), w23 = Pair(W::kOdd[k][2], W::kOdd[k][3]);
        rows[2 * k + 1] = narrow(Dot2(p01[0], p23[0], w01, w23), Dot2(p01[1], p23[1], w01, w23));
    }
    if (!FitsInt16(magnitude)) {
        PlainForwardDct<W>(block);
        return;
    }

    Transpose8x8(rows);  // rows[y] holds row y's eight pass-one outputs
    constexpr int kFraction = W::kOutputFractionBits;
    constexpr int kPlainShift = 3 - kFraction, kScaledShift = 16 - kFraction;
    constexpr int32_t kPlainLaneBias = kPlainShift > 0 ? 1 << (kPlainShift - 1) : 0;
    const __m128i firstLane = _mm_set_epi32(0, 0, 0, -1);
    const __m128i plainBias = _mm_set_epi32(64 >> kFraction, 64 >> kFraction, 64 >> kFraction, kPlainLaneBias);
    const __m128i scaledBias =
        _mm_set_epi32(1 << (19 - kFraction), 1 << (19 - kFraction), 1 << (19 - kFraction), 1 << (kScaledShift - 1));
    for (int h = 0; h < 2; ++h) {
        const __m128i p07 = Interleave(h, rows[0], rows[7]), p16 = Interleave(h, rows[1], rows[6]);
        const __m128i p25 = Interleave(h, rows[2], rows[5]), p34 = Interleave(h, rows[3], rows[4]);
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) {
            const __m128i sum = Dot4(p07, p16, p25, p34, ColumnPair<W>(k, 0), ColumnPair<W>(k, 1), ColumnPair<W>(k, 2),
                                     ColumnPair<W>(k, 3));
            // Shift by 3 or 16 (less the fraction kept), then by 4 more
            // except in lane 0 (columns 0 and 4).
            const __m128i t = k % 4 == 0 ? _mm_srai_epi32(_mm_add_epi32(sum, plainBias), kPlainShift)
                                         : _mm_srai_epi32(_mm_add_epi32(sum, scaledBias), kScaledShift);
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(block + 8 * k + 4 * h),
                _mm_or_si128(_mm_and_si128(firstLane, t), _mm_andnot_si128(firstLane, _mm_srai_epi32(t, 4))));
        }
    }
}

// The inverse kernel on the four lanes of half h: z[k] is output k.
inline void InverseKernel(const __m128i in[8], int h, __m128i z[8]) {
    const __m128i p04 = Interleave(h, in[0], in[4]), p26 = Interleave(h, in[2], in[6]);
    const __m128i p13 = Interleave(h, in[1], in[3]), p57 = Interleave(h, in[5], in[7]);
    const __m128i b0 = _mm_madd_epi16(p04, Pair(dct::kOne, dct::kOne));
    const __m128i b1 = _mm_madd_epi16(p04, Pair(dct::kOne, -dct::kOne));
    const __m128i b2 = _mm_madd_epi16(p26, Pair(dct::kEven2[0], dct::kEven6[0]));
    const __m128i b3 = _mm_madd_epi16(p26, Pair(dct::kEven2[1], dct::kEven6[1]));
    const __m128i f[4] = {_mm_add_epi32(b0, b3), _mm_add_epi32(b1, b2), _mm_sub_epi32(b1, b2), _mm_sub_epi32(b0, b3)};
    for (int k = 0; k < 4; ++k) {
        // Row k of the odd weights gives g(3-k), which joins f(k).
        const __m128i g =
            Dot2(p13, p57, Pair(dct::kOdd[k][0], dct::kOdd[k][1]), Pair(dct::kOdd[k][2], dct::kOdd[k][3]));
        z[k] = _mm_add_epi32(f[k], g);
        z[7 - k] = _mm_sub_epi32(f[k], g);
    }
}

// Inverse transform: pass one along each row of coefficients into 16-bit
// values (Z >> 9), pass two along each column with rounding
// ((Z + 2^19) >> 20) and saturation to -256..255. The plain kernel's
// shortcut for rows and columns without AC terms gives the same values as
// the full kernel, so the vector code needs none.
inline void InverseDctVector(int32_t block[64]) {
    __m128i y[8];
    for (int i = 0; i < 8; ++i) y[i] = LoadRow16(block + 8 * i);
    Transpose8x8(y);  // y[u] holds frequency u of every row

    __m128i work[8];
    __m128i magnitude = _mm_setzero_si128();
    {
        __m128i low[8], high[8];
        InverseKernel(y, 0, low);
        InverseKernel(y, 1, high);
        for (int k = 0; k < 8; ++k) {
            low[k] = _mm_srai_epi32(low[k], 9);
            high[k] = _mm_srai_epi32(high[k], 9);
            magnitude = AccumulateMagnitude(AccumulateMagnitude(magnitude, low[k]), high[k]);
            work[k] = _mm_packs_epi32(low[k], high[k]);
        }
    }
    if (!FitsInt16(magnitude)) {
        vardelk::InverseDct(block);
        return;
    }

    Transpose8x8(work);  // work[v] holds row v of the workspace
    __m128i low[8], high[8];
    InverseKernel(work, 0, low);
    InverseKernel(work, 1, high);
    const __m128i bias = _mm_set1_epi32(1 << 19);
    const __m128i lowest = _mm_set1_epi16(kMinSample), highest = _mm_set1_epi16(kMaxSample);
    for (int k = 0; k < 8; ++k) {
        // |Z| < 2^31 - 2^19, so the shifted values lie within 16 bits and
        // the saturating pack changes nothing before the clamp.
        const __m128i v = _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(low[k], bias), 20),
                                          _mm_srai_epi32(_mm_add_epi32(high[k], bias), 20));
        StoreRow32(block + 8 * k, _mm_max_epi16(_mm_min_epi16(v, highest), lowest));
    }
}
