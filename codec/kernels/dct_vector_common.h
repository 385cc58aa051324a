// The 128-bit pieces shared by the SSE2 and AVX2 transform bodies
// (dct_sse2_body.h, dct_avx2_body.h). The includer provides <emmintrin.h>
// and includes this file inside an unnamed namespace of its own, so that
// each instruction set gets its own copies.
//
// The plain kernels run the butterfly factorisation; the vector code
// evaluates each output as one dot product of the butterflies' sums or
// differences with the weights of dct_constants.h (kEven2, kEven6, kOdd),
// which integer arithmetic does not tell apart. Every weight fits 16 bits,
// so pmaddwd forms two products and their sum in 32 bits at once. Each row
// or column of the block is a register of eight 16-bit values; a transpose
// turns rows into lanes so that one register operation serves eight rows.
//
// Range. With 16-bit inputs of magnitude at most 32767 no dot product
// exceeds 32767 x 61209 < 2^31 - 2^19, so sums and rounding offsets are
// exact in 32 bits. The first pass's inputs (samples, coefficients) are
// within 2^11, so its outputs are exact; those outputs must fit 16 bits to
// enter the second pass, which holds for every block of ordinary pictures.
// A block whose first-pass values do not fit is handed to the plain kernel.

// Two 16-bit factors for pmaddwd, lo x first + hi x second, packed in one
// 32-bit lane.
constexpr int32_t PackPair(int32_t first, int32_t second) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(second)) << 16 |
                                static_cast<uint16_t>(first));
}
inline __m128i Pair(int32_t first, int32_t second) { return _mm_set1_epi32(PackPair(first, second)); }

// The weights of pass two's output k on the input pairs (x0, x7), (x1, x6),
// (x2, x5), (x3, x4): the weight of the sum xj + x(7-j) taken twice for the
// even outputs, of the difference xj - x(7-j) with both signs for the odd
// ones.
// W: the transform's weights (dct::FilterWeights or dct::AccurateWeights).
template <typename W>
constexpr int32_t ColumnWeight(int k, int j) {
    if (k == 0) return 1;
    if (k == 4) return j == 0 || j == 3 ? 1 : -1;
    if (k == 2) return j == 0 ? W::kEven2[1] : j == 1 ? W::kEven2[0] : j == 2 ? -W::kEven2[0] : -W::kEven2[1];
    if (k == 6) return j == 0 ? W::kEven6[1] : j == 1 ? W::kEven6[0] : j == 2 ? -W::kEven6[0] : -W::kEven6[1];
    return W::kOdd[(k - 1) / 2][j];
}
struct ColumnPairs {
    int32_t packed[8][4];
};
template <typename W>
constexpr ColumnPairs MakeColumnPairs() {
    ColumnPairs t{};
    for (int k = 0; k < 8; ++k)
        for (int j = 0; j < 4; ++j) {
            const int32_t w = ColumnWeight<W>(k, j);
            t.packed[k][j] = PackPair(w, k % 2 == 0 ? w : -w);
        }
    return t;
}
template <typename W>
inline constexpr ColumnPairs kColumnPairs = MakeColumnPairs<W>();
template <typename W>
inline __m128i ColumnPair(int k, int j) {
    return _mm_set1_epi32(kColumnPairs<W>.packed[k][j]);
}

// The plain transform a vector one falls back to.
template <typename W>
inline void PlainForwardDct(int32_t block[64]) {
    if constexpr (W::kOutputFractionBits == 0)
        vardelk::ForwardDct(block);
    else
        vardelk::ForwardDctAccurate(block);
}

// Pass one's outputs 1, 2, 3, 5, 6, 7 are 32-bit sums shifted right by 9:
// truncated, or rounded for a transform that rounds.
template <typename W>
inline __m128i RowDescale(__m128i v) {
    if constexpr (W::kRowRounding != 0) v = _mm_add_epi32(v, _mm_set1_epi32(W::kRowRounding));
    return _mm_srai_epi32(v, 9);
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

// Folds v into a running OR of "magnitude bits": for v >= 0 it adds v, for
// v < 0 it adds -v - 1. The accumulated value has no bit at or above 15
// exactly when every v fitted in a signed 16-bit value.
inline __m128i AccumulateMagnitude(__m128i acc, __m128i v) {
    return _mm_or_si128(acc, _mm_xor_si128(v, _mm_srai_epi32(v, 31)));
}
inline bool FitsInt16(__m128i acc) {
    return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_srai_epi32(acc, 15), _mm_setzero_si128())) == 0xFFFF;
}

inline __m128i LoadRow16(const int32_t* row) {
    return _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4)));
}

// Stores eight 16-bit values as eight 32-bit ones.
inline void StoreRow32(int32_t* row, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4), _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
}
