// Body of the vector forward and inverse DCT, exactly equal to
// forward_dct.cpp and inverse_dct.cpp. It is compiled twice: in
// dct_sse2.cpp for the SSE2 baseline and in dct_avx2.cpp with AVX2 enabled,
// where the same intrinsics take the three-operand VEX form and the
// register copies of the two-operand form disappear. The includer provides
// <emmintrin.h>, codec/forward_dct.h and codec/inverse_dct.h, and includes
// this file inside an unnamed namespace of its own.
//
// The plain kernels run the butterfly factorisation; multiplying it out
// gives each output as one integer dot product of the eight inputs, and
// integer arithmetic does not care which of the two forms is evaluated. With
// the twelve 13-bit factors the products come to (odd outputs, in terms of
// the differences d0..d3 of the forward butterflies, or of y1, y3, y5, y7
// in the inverse):
//
//   out1 = 11362 a + 9632 b + 6436 c + 2260 d     (12298-7372+9632-3196 = 11362 ...)
//   out3 =  9632 a - 2261 b - 11363 c - 6437 d
//   out5 =  6436 a - 11363 b + 2260 c + 9632 d
//   out7 =  2260 a - 6437 b + 9632 c - 11363 d
//
// and for the even part 4433 e2 + 10702 e3 and 4433 e3 - 10703 e2. Every
// coefficient fits 16 bits, so pmaddwd forms two products and their sum in
// 32 bits at once. Each row or column of the block is a register of eight
// 16-bit values; a transpose turns rows into lanes so that one register
// operation serves eight rows.
//
// Range. With 16-bit inputs of magnitude at most 32767 no dot product
// exceeds 32767 x 61209 < 2^31 - 2^19, so sums and rounding offsets are
// exact in 32 bits. The first pass's inputs (samples, coefficients) are
// within 2^11, so its outputs are exact; those outputs must fit 16 bits to
// enter the second pass, which holds for every block of ordinary pictures.
// A block whose first-pass values do not fit is handed to the plain kernel.

// Two 16-bit factors for pmaddwd: lo x first + hi x second in each lane.
inline __m128i Pair(int16_t first, int16_t second) {
    return _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(second)) << 16 |
                                               static_cast<uint16_t>(first)));
}

inline void Transpose8x8(__m128i r[8]) {
    const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

// One 32-bit dot product of four interleaved input pairs, for four lanes.
inline __m128i Dot4(__m128i p0, __m128i p1, __m128i p2, __m128i p3, __m128i c0, __m128i c1, __m128i c2,
                    __m128i c3) {
    return _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(p0, c0), _mm_madd_epi16(p1, c1)),
                         _mm_add_epi32(_mm_madd_epi16(p2, c2), _mm_madd_epi16(p3, c3)));
}
inline __m128i Dot2(__m128i p0, __m128i p1, __m128i c0, __m128i c1) {
    return _mm_add_epi32(_mm_madd_epi16(p0, c0), _mm_madd_epi16(p1, c1));
}

#if defined(__AVX2__)
// 256-bit forms for the AVX2 build: Both puts the unpacklo pairs in the low
// half and the unpackhi pairs in the high half, so that one register covers
// what the two halves of the 128-bit code cover.
inline __m256i Both(__m128i a, __m128i b) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi16(a, b)), _mm_unpackhi_epi16(a, b), 1);
}
inline __m256i Pair8(int16_t first, int16_t second) { return _mm256_broadcastsi128_si256(Pair(first, second)); }
inline __m256i Dot2x8(__m256i p0, __m256i p1, __m256i c0, __m256i c1) {
    return _mm256_add_epi32(_mm256_madd_epi16(p0, c0), _mm256_madd_epi16(p1, c1));
}
inline __m256i Dot4x8(__m256i p0, __m256i p1, __m256i p2, __m256i p3, __m256i c0, __m256i c1, __m256i c2,
                      __m256i c3) {
    return _mm256_add_epi32(Dot2x8(p0, p1, c0, c1), Dot2x8(p2, p3, c2, c3));
}
// Eight 32-bit lanes to eight 16-bit ones (saturating; see the range checks).
inline __m128i Narrow(__m256i v) {
    return _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// The inverse kernel on eight lanes: z[k] is output k for each lane.
inline void InverseKernel8(const __m128i in[8], __m256i z[8]) {
    const __m256i p04 = Both(in[0], in[4]), p26 = Both(in[2], in[6]);
    const __m256i p13 = Both(in[1], in[3]), p57 = Both(in[5], in[7]);
    const __m256i b0 = _mm256_madd_epi16(p04, Pair8(8192, 8192));
    const __m256i b1 = _mm256_madd_epi16(p04, Pair8(8192, -8192));
    const __m256i b2 = _mm256_madd_epi16(p26, Pair8(4433, -10703));
    const __m256i b3 = _mm256_madd_epi16(p26, Pair8(10702, 4433));
    const __m256i f0 = _mm256_add_epi32(b0, b3), f3 = _mm256_sub_epi32(b0, b3);
    const __m256i f1 = _mm256_add_epi32(b1, b2), f2 = _mm256_sub_epi32(b1, b2);
    const __m256i g3 = Dot2x8(p13, p57, Pair8(11362, 9632), Pair8(6436, 2260));
    const __m256i g2 = Dot2x8(p13, p57, Pair8(9632, -2261), Pair8(-11363, -6437));
    const __m256i g1 = Dot2x8(p13, p57, Pair8(6436, -11363), Pair8(2260, 9632));
    const __m256i g0 = Dot2x8(p13, p57, Pair8(2260, -6437), Pair8(9632, -11363));
    z[0] = _mm256_add_epi32(f0, g3);
    z[7] = _mm256_sub_epi32(f0, g3);
    z[1] = _mm256_add_epi32(f1, g2);
    z[6] = _mm256_sub_epi32(f1, g2);
    z[2] = _mm256_add_epi32(f2, g1);
    z[5] = _mm256_sub_epi32(f2, g1);
    z[3] = _mm256_add_epi32(f3, g0);
    z[4] = _mm256_sub_epi32(f3, g0);
}
#endif

// Folds v into a running OR of "magnitude bits": for v >= 0 it adds v, for
// v < 0 it adds -v - 1. The accumulated value has no bit at or above 15
// exactly when every v fitted in a signed 16-bit value.
inline __m128i AccumulateMagnitude(__m128i acc, __m128i v) {
    return _mm_or_si128(acc, _mm_xor_si128(v, _mm_srai_epi32(v, 31)));
}
inline bool FitsInt16(__m128i acc) {
    return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_srai_epi32(acc, 15), _mm_setzero_si128())) == 0xFFFF;
}
#if defined(__AVX2__)
inline __m256i AccumulateMagnitude8(__m256i acc, __m256i v) {
    return _mm256_or_si256(acc, _mm256_xor_si256(v, _mm256_srai_epi32(v, 31)));
}
inline bool FitsInt16(__m256i acc) {
    return FitsInt16(_mm_or_si128(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1)));
}
#endif

inline __m128i LoadRow16(const int32_t* row) {
    return _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4)));
}

// Stores eight 16-bit values as eight 32-bit ones.
inline void StoreRow32(int32_t* row, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4), _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
}

// Forward transform. Pass one runs along each row (the rows sit in lanes
// after a transpose); pass two along each column.
//
// The plain row pass stores outputs 0 and 4 times 16. Here they stay
// unscaled, which keeps them within 16 bits for every sample range; pass
// two is linear, so on those two columns it sees its usual sums divided by
// 16 and the final shifts lose 4: (A + 2^19) >> 20 becomes (A + 2^15) >> 16
// and (A + 64) >> 7 becomes (A + 4) >> 3. Columns 0 and 4 are lane 0 of the
// two halves, so one lane mask picks the shortened shift.
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
#if defined(__AVX2__)
    __m256i magnitude = _mm256_setzero_si256();
    {
        const __m256i pe = Both(e2, e3), p01 = Both(d0, d1), p23 = Both(d2, d3);
        const auto narrow = [&magnitude](__m256i sum) {
            const __m256i v = _mm256_srai_epi32(sum, 9);
            magnitude = AccumulateMagnitude8(magnitude, v);
            return Narrow(v);
        };
        rows[2] = narrow(_mm256_madd_epi16(pe, Pair8(4433, 10702)));
        rows[6] = narrow(_mm256_madd_epi16(pe, Pair8(-10703, 4433)));
        rows[1] = narrow(Dot2x8(p01, p23, Pair8(11362, 9632), Pair8(6436, 2260)));
        rows[3] = narrow(Dot2x8(p01, p23, Pair8(9632, -2261), Pair8(-11363, -6437)));
        rows[5] = narrow(Dot2x8(p01, p23, Pair8(6436, -11363), Pair8(2260, 9632)));
        rows[7] = narrow(Dot2x8(p01, p23, Pair8(2260, -6437), Pair8(9632, -11363)));
    }
#else
    __m128i magnitude = _mm_setzero_si128();
    {
        const __m128i pe[2] = {_mm_unpacklo_epi16(e2, e3), _mm_unpackhi_epi16(e2, e3)};
        const __m128i p01[2] = {_mm_unpacklo_epi16(d0, d1), _mm_unpackhi_epi16(d0, d1)};
        const __m128i p23[2] = {_mm_unpacklo_epi16(d2, d3), _mm_unpackhi_epi16(d2, d3)};
        __m128i out[8][2];
        for (int h = 0; h < 2; ++h) {
            out[2][h] = _mm_madd_epi16(pe[h], Pair(4433, 10702));
            out[6][h] = _mm_madd_epi16(pe[h], Pair(-10703, 4433));
            out[1][h] = Dot2(p01[h], p23[h], Pair(11362, 9632), Pair(6436, 2260));
            out[3][h] = Dot2(p01[h], p23[h], Pair(9632, -2261), Pair(-11363, -6437));
            out[5][h] = Dot2(p01[h], p23[h], Pair(6436, -11363), Pair(2260, 9632));
            out[7][h] = Dot2(p01[h], p23[h], Pair(2260, -6437), Pair(9632, -11363));
        }
        for (int k : {1, 2, 3, 5, 6, 7}) {
            const __m128i lo = _mm_srai_epi32(out[k][0], 9), hi = _mm_srai_epi32(out[k][1], 9);
            magnitude = AccumulateMagnitude(AccumulateMagnitude(magnitude, lo), hi);
            rows[k] = _mm_packs_epi32(lo, hi);
        }
    }
#endif
    if (!FitsInt16(magnitude)) {
        vardelk::ForwardDct(block);
        return;
    }

    Transpose8x8(rows);  // rows[y] holds row y's eight pass-one outputs
#if defined(__AVX2__)
    // Both halves at once in 256-bit registers (columns 0..3 low, 4..7
    // high), and the two shifts as one per-lane shift: 3 or 16 in lane 0 of
    // each half (columns 0 and 4), 4 more in the others.
    {
        const auto both = Both;
        const auto pair = Pair8;
        const auto dot4 = Dot4x8;
        const __m256i p07 = both(rows[0], rows[7]), p16 = both(rows[1], rows[6]);
        const __m256i p25 = both(rows[2], rows[5]), p34 = both(rows[3], rows[4]);
        const __m256i plainBias = _mm256_set_epi32(64, 64, 64, 4, 64, 64, 64, 4);
        const __m256i plainShift = _mm256_set_epi32(7, 7, 7, 3, 7, 7, 7, 3);
        const __m256i scaledBias =
            _mm256_set_epi32(1 << 19, 1 << 19, 1 << 19, 1 << 15, 1 << 19, 1 << 19, 1 << 19, 1 << 15);
        const __m256i scaledShift = _mm256_set_epi32(20, 20, 20, 16, 20, 20, 20, 16);
        const auto store = [block](int k, __m256i sum, __m256i bias, __m256i shift) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 8 * k),
                                _mm256_srav_epi32(_mm256_add_epi32(sum, bias), shift));
        };
        const __m256i plus = pair(1, 1), minus = pair(-1, -1);
        store(0, dot4(p07, p16, p25, p34, plus, plus, plus, plus), plainBias, plainShift);
        store(4, dot4(p07, p16, p25, p34, plus, minus, minus, plus), plainBias, plainShift);
        store(2, dot4(p07, p16, p25, p34, pair(10702, 10702), pair(4433, 4433), pair(-4433, -4433),
                      pair(-10702, -10702)),
              scaledBias, scaledShift);
        store(6, dot4(p07, p16, p25, p34, pair(4433, 4433), pair(-10703, -10703), pair(10703, 10703),
                      pair(-4433, -4433)),
              scaledBias, scaledShift);
        store(1, dot4(p07, p16, p25, p34, pair(11362, -11362), pair(9632, -9632), pair(6436, -6436),
                      pair(2260, -2260)),
              scaledBias, scaledShift);
        store(3, dot4(p07, p16, p25, p34, pair(9632, -9632), pair(-2261, 2261), pair(-11363, 11363),
                      pair(-6437, 6437)),
              scaledBias, scaledShift);
        store(5, dot4(p07, p16, p25, p34, pair(6436, -6436), pair(-11363, 11363), pair(2260, -2260),
                      pair(9632, -9632)),
              scaledBias, scaledShift);
        store(7, dot4(p07, p16, p25, p34, pair(2260, -2260), pair(-6437, 6437), pair(9632, -9632),
                      pair(-11363, 11363)),
              scaledBias, scaledShift);
    }
#else
    const __m128i firstLane = _mm_set_epi32(0, 0, 0, -1);
    const __m128i plainBias = _mm_set_epi32(64, 64, 64, 4);
    const __m128i scaledBias = _mm_set_epi32(1 << 19, 1 << 19, 1 << 19, 1 << 15);
    for (int h = 0; h < 2; ++h) {
        const auto half = [h](__m128i a, __m128i b) {
            return h == 0 ? _mm_unpacklo_epi16(a, b) : _mm_unpackhi_epi16(a, b);
        };
        const __m128i p07 = half(rows[0], rows[7]), p16 = half(rows[1], rows[6]);
        const __m128i p25 = half(rows[2], rows[5]), p34 = half(rows[3], rows[4]);
        // Shift by 3 or 16, then by 4 more except in lane 0 (columns 0 and 4).
        const auto finish = [&](__m128i sum, __m128i bias, int shift) {
            const __m128i t = shift == 3 ? _mm_srai_epi32(_mm_add_epi32(sum, bias), 3)
                                         : _mm_srai_epi32(_mm_add_epi32(sum, bias), 16);
            return _mm_or_si128(_mm_and_si128(firstLane, t), _mm_andnot_si128(firstLane, _mm_srai_epi32(t, 4)));
        };
        const __m128i plus = Pair(1, 1), minus = Pair(-1, -1);
        __m128i out[8];
        out[0] = finish(Dot4(p07, p16, p25, p34, plus, plus, plus, plus), plainBias, 3);
        out[4] = finish(Dot4(p07, p16, p25, p34, plus, minus, minus, plus), plainBias, 3);
        out[2] = finish(Dot4(p07, p16, p25, p34, Pair(10702, 10702), Pair(4433, 4433), Pair(-4433, -4433),
                             Pair(-10702, -10702)),
                        scaledBias, 16);
        out[6] = finish(Dot4(p07, p16, p25, p34, Pair(4433, 4433), Pair(-10703, -10703), Pair(10703, 10703),
                             Pair(-4433, -4433)),
                        scaledBias, 16);
        out[1] = finish(Dot4(p07, p16, p25, p34, Pair(11362, -11362), Pair(9632, -9632), Pair(6436, -6436),
                             Pair(2260, -2260)),
                        scaledBias, 16);
        out[3] = finish(Dot4(p07, p16, p25, p34, Pair(9632, -9632), Pair(-2261, 2261), Pair(-11363, 11363),
                             Pair(-6437, 6437)),
                        scaledBias, 16);
        out[5] = finish(Dot4(p07, p16, p25, p34, Pair(6436, -6436), Pair(-11363, 11363), Pair(2260, -2260),
                             Pair(9632, -9632)),
                        scaledBias, 16);
        out[7] = finish(Dot4(p07, p16, p25, p34, Pair(2260, -2260), Pair(-6437, 6437), Pair(9632, -9632),
                             Pair(-11363, 11363)),
                        scaledBias, 16);
        for (int k = 0; k < 8; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * k + 4 * h), out[k]);
    }
#endif
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

#if !defined(__AVX2__)
    const auto kernel = [](const __m128i in[8], int h, __m128i z[8]) {
        const auto half = [h](__m128i a, __m128i b) {
            return h == 0 ? _mm_unpacklo_epi16(a, b) : _mm_unpackhi_epi16(a, b);
        };
        const __m128i p04 = half(in[0], in[4]), p26 = half(in[2], in[6]);
        const __m128i p13 = half(in[1], in[3]), p57 = half(in[5], in[7]);
        const __m128i b0 = _mm_madd_epi16(p04, Pair(8192, 8192));
        const __m128i b1 = _mm_madd_epi16(p04, Pair(8192, -8192));
        const __m128i b2 = _mm_madd_epi16(p26, Pair(4433, -10703));
        const __m128i b3 = _mm_madd_epi16(p26, Pair(10702, 4433));
        const __m128i f0 = _mm_add_epi32(b0, b3), f3 = _mm_sub_epi32(b0, b3);
        const __m128i f1 = _mm_add_epi32(b1, b2), f2 = _mm_sub_epi32(b1, b2);
        const __m128i g3 = Dot2(p13, p57, Pair(11362, 9632), Pair(6436, 2260));
        const __m128i g2 = Dot2(p13, p57, Pair(9632, -2261), Pair(-11363, -6437));
        const __m128i g1 = Dot2(p13, p57, Pair(6436, -11363), Pair(2260, 9632));
        const __m128i g0 = Dot2(p13, p57, Pair(2260, -6437), Pair(9632, -11363));
        z[0] = _mm_add_epi32(f0, g3);
        z[7] = _mm_sub_epi32(f0, g3);
        z[1] = _mm_add_epi32(f1, g2);
        z[6] = _mm_sub_epi32(f1, g2);
        z[2] = _mm_add_epi32(f2, g1);
        z[5] = _mm_sub_epi32(f2, g1);
        z[3] = _mm_add_epi32(f3, g0);
        z[4] = _mm_sub_epi32(f3, g0);
    };
#endif

    __m128i work[8];
#if defined(__AVX2__)
    __m256i magnitude = _mm256_setzero_si256();
    {
        __m256i z[8];
        InverseKernel8(y, z);
        for (int k = 0; k < 8; ++k) {
            const __m256i v = _mm256_srai_epi32(z[k], 9);
            magnitude = AccumulateMagnitude8(magnitude, v);
            work[k] = Narrow(v);
        }
    }
#else
    __m128i magnitude = _mm_setzero_si128();
    {
        __m128i lo[8], hi[8];
        kernel(y, 0, lo);
        kernel(y, 1, hi);
        for (int k = 0; k < 8; ++k) {
            lo[k] = _mm_srai_epi32(lo[k], 9);
            hi[k] = _mm_srai_epi32(hi[k], 9);
            magnitude = AccumulateMagnitude(AccumulateMagnitude(magnitude, lo[k]), hi[k]);
            work[k] = _mm_packs_epi32(lo[k], hi[k]);
        }
    }
#endif
    if (!FitsInt16(magnitude)) {
        vardelk::InverseDct(block);
        return;
    }

    Transpose8x8(work);  // work[v] holds row v of the workspace
#if defined(__AVX2__)
    // Both halves at once in 256-bit registers, saturated and stored as
    // 32-bit values directly.
    {
        __m256i z[8];
        InverseKernel8(work, z);
        const __m256i bias = _mm256_set1_epi32(1 << 19);
        const __m256i low = _mm256_set1_epi32(kMinSample), high = _mm256_set1_epi32(kMaxSample);
        for (int k = 0; k < 8; ++k) {
            const __m256i v = _mm256_srai_epi32(_mm256_add_epi32(z[k], bias), 20);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 8 * k),
                                _mm256_max_epi32(_mm256_min_epi32(v, high), low));
        }
    }
#else
    __m128i lo[8], hi[8];
    kernel(work, 0, lo);
    kernel(work, 1, hi);
    const __m128i bias = _mm_set1_epi32(1 << 19);
    const __m128i low = _mm_set1_epi16(kMinSample), high = _mm_set1_epi16(kMaxSample);
    for (int k = 0; k < 8; ++k) {
        // |Z| < 2^31 - 2^19, so the shifted values lie within 16 bits and
        // the saturating pack changes nothing before the clamp.
        const __m128i v = _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(lo[k], bias), 20),
                                          _mm_srai_epi32(_mm_add_epi32(hi[k], bias), 20));
        StoreRow32(block + 8 * k, _mm_max_epi16(_mm_min_epi16(v, high), low));
    }
#endif
}
