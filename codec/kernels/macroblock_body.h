// Body of the vector gather and scatter of whole macroblocks with fixed loop bounds, row by
// row through the frame; partial macroblocks at the picture's right and
// bottom edges go to the plain operations, which handle the clipping.
// The values written are those of macroblock_progressive.cpp and
// macroblock_interlaced.cpp; only the order of the reads and writes differs.
//
// Compiled once per instruction set (kernels_sse2.cpp, kernels_avx2.cpp):
// the includer provides <emmintrin.h>, codec/macroblock_progressive.h,
// codec/macroblock_interlaced.h and codec/sample_scale.h, and includes this
// file inside an unnamed namespace of its own.

constexpr int32_t kWhole = 16;

bool IsWhole(int32_t remainingWidth, int32_t remainingHeight) {
    return remainingWidth >= kWhole && remainingHeight >= kWhole;
}

// Eight pixels are 24 words, y cb cr repeating, in three registers a, b, c.
// Word k of the register holds component (k mod 3) of pixel k / 3 in a,
// and the same counted from 8 and 16 in b and c. Taking the words k mod 3 = 0
// of a, 1 of b and 2 of c (the masks below) gathers the eight lumas in the
// order y0 y3 y6 y1 y4 y7 y2 y5, word k holding pixel 3k mod 8; the other
// two mask rotations gather cb (u5 u0 u3 u6 u1 u4 u7 u2) and cr
// (v2 v5 v0 v3 v6 v1 v4 v7) alike. Scattering runs the same in reverse.
// Turning y0 y3 y6 y1 y4 y7 y2 y5 into natural order swaps words 2 and 6
// (across the halves: a blend with the halves exchanged) and then words
// 1 and 3 within each half; the same two steps, which are their own
// inverses, in the other order take natural order back.
//
// A gather needs cb and cr of the even pixels only: the odd words of the cb
// gather (u0 u6 u4 u2) and the even words of the cr one (v2 v0 v6 v4). One
// gather collects both, words 1, 2, 7 from a, 0, 5, 6 from b and 3, 4 from c:
// v2 u0 v0 u6 v6 u4 v4 u2.
struct WordMasks {
    __m128i third0, third1, third2, words26, evenChromaA, evenChromaB, evenChromaC;
};

inline WordMasks Masks() {
    return WordMasks{_mm_set_epi16(0, -1, 0, 0, -1, 0, 0, -1), _mm_set_epi16(-1, 0, 0, -1, 0, 0, -1, 0),
                     _mm_set_epi16(0, 0, -1, 0, 0, -1, 0, 0),  _mm_set_epi16(0, -1, 0, 0, 0, -1, 0, 0),
                     _mm_set_epi16(-1, 0, 0, 0, 0, -1, -1, 0), _mm_set_epi16(0, -1, -1, 0, 0, 0, 0, -1),
                     _mm_set_epi16(0, 0, 0, -1, -1, 0, 0, 0)};
}

constexpr int kSwapWords13 = _MM_SHUFFLE(1, 2, 3, 0);

inline __m128i Select3(__m128i a, __m128i b, __m128i c, __m128i ma, __m128i mb, __m128i mc) {
    return _mm_or_si128(_mm_or_si128(_mm_and_si128(a, ma), _mm_and_si128(b, mb)), _mm_and_si128(c, mc));
}

inline __m128i SwapWords26(__m128i v, const WordMasks& m) {
    const __m128i exchanged = _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2));
    return _mm_xor_si128(v, _mm_and_si128(_mm_xor_si128(v, exchanged), m.words26));
}

inline __m128i SwapWords13(__m128i v) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, kSwapWords13), kSwapWords13);
}

// Eight pixels split up: the lumas in order, and the colour differences of
// the even pixels 0, 2, 4, 6 as 32-bit lanes, cb in the order 0 6 4 2 (the
// odd words of the cb gather) and cr in the order 2 0 6 4 (its even words).
struct EightPixels {
    __m128i luma, cbEven, crEven;
};

inline EightPixels Split(const Pixel* pixels, const WordMasks& m) {
    const __m128i* p = reinterpret_cast<const __m128i*>(pixels);
    const __m128i a = _mm_loadu_si128(p), b = _mm_loadu_si128(p + 1), c = _mm_loadu_si128(p + 2);
    const __m128i y = Select3(a, b, c, m.third0, m.third1, m.third2);
    const __m128i chroma = Select3(a, b, c, m.evenChromaA, m.evenChromaB, m.evenChromaC);
    return EightPixels{SwapWords13(SwapWords26(y, m)), _mm_srai_epi32(chroma, 16),
                       _mm_srai_epi32(_mm_slli_epi32(chroma, 16), 16)};
}

// cb and cr lanes of Split back into pixel order 0 2 4 6.
inline __m128i CbInOrder(__m128i v) { return _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 2, 3, 0)); }
inline __m128i CrInOrder(__m128i v) { return _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)); }

// Eight components into a block row as samples (component >> 4): each
// word doubled into a 32-bit lane and shifted down by 16 + 4.
inline void StoreSamples(int32_t* row, __m128i components) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm_srai_epi32(_mm_unpacklo_epi16(components, components), 20));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4),
                     _mm_srai_epi32(_mm_unpackhi_epi16(components, components), 20));
}

inline __m128i Store(int32_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    return v;
}

// Four samples as host components (ToComponent: the low 16 bits of x16),
// sign-extended in 32-bit lanes so that a saturating pack keeps them.
inline __m128i Components(const int32_t* samples) {
    return _mm_srai_epi32(_mm_slli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples)), 20), 16);
}

// The cb and cr words of eight pixels from the four entries of each that
// cover them in pairs (entry e covers pixels 2e and 2e + 1), in the word
// orders of Split.
struct ChromaWords {
    __m128i u, v;
};

inline ChromaWords Chroma(const int32_t* cb, const int32_t* cr) {
    const __m128i cb4 = Components(cb), cr4 = Components(cr);
    return ChromaWords{_mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_packs_epi32(cb4, cb4), _MM_SHUFFLE(3, 1, 0, 2)),
                                           _MM_SHUFFLE(1, 3, 2, 0)),
                       _mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_packs_epi32(cr4, cr4), _MM_SHUFFLE(1, 0, 2, 1)),
                                           _MM_SHUFFLE(3, 2, 0, 3))};
}

// Eight pixels from eight luma samples and their chroma words.
inline void Merge(const int32_t* luma, const ChromaWords& chroma, Pixel* pixels, const WordMasks& m) {
    const __m128i y = SwapWords26(SwapWords13(_mm_packs_epi32(Components(luma), Components(luma + 4))), m);
    __m128i* p = reinterpret_cast<__m128i*>(pixels);
    _mm_storeu_si128(p, Select3(y, chroma.u, chroma.v, m.third0, m.third1, m.third2));
    _mm_storeu_si128(p + 1, Select3(y, chroma.u, chroma.v, m.third1, m.third2, m.third0));
    _mm_storeu_si128(p + 2, Select3(y, chroma.u, chroma.v, m.third2, m.third0, m.third1));
}

// Two frame rows that share one row of each chroma block, each from its two
// luma block rows (left, right); every chroma entry covers two neighbouring
// pixels.
inline void ScatterRowPair(const int32_t* left0, const int32_t* right0, Pixel* row0, const int32_t* left1,
                           const int32_t* right1, Pixel* row1, const int32_t* cb, const int32_t* cr) {
    const WordMasks m = Masks();
    const ChromaWords leftChroma = Chroma(cb, cr);
    Merge(left0, leftChroma, row0, m);
    Merge(left1, leftChroma, row1, m);
    const ChromaWords rightChroma = Chroma(cb + 4, cr + 4);
    Merge(right0, rightChroma, row0 + 8, m);
    Merge(right1, rightChroma, row1 + 8, m);
}

void GatherWholeProgressive(const Pixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                            int32_t remainingHeight, int32_t stride) {
    if (!IsWhole(remainingWidth, remainingHeight)) {
        vardelk::GatherMacroblockProgressive(source, buffer, remainingWidth, remainingHeight, stride);
        return;
    }
    int32_t* cb = buffer.Block(kCbBlock);
    int32_t* cr = buffer.Block(kCrBlock);
    // Row pairs: each gives two luma block rows and one chroma row,
    // (upper + lower) >> 5 at the even pixels.
    const WordMasks masks = Masks();
    for (int32_t i = 0; i < 8; ++i) {
        const Pixel* upper = PixelAt(source, 2 * i, 0, stride);
        const Pixel* lower = upper + stride;
        const int top = i < 4 ? 0 : 2;
        const int32_t lumaRow = (2 * i) % 8 * 8;
        for (int h = 0; h < 2; ++h) {
            const EightPixels u = Split(upper + 8 * h, masks);
            const EightPixels l = Split(lower + 8 * h, masks);
            StoreSamples(buffer.Block(top + h) + lumaRow, u.luma);
            StoreSamples(buffer.Block(top + h) + lumaRow + 8, l.luma);
            Store(cb + i * 8 + 4 * h, CbInOrder(_mm_srai_epi32(_mm_add_epi32(u.cbEven, l.cbEven), 5)));
            Store(cr + i * 8 + 4 * h, CrInOrder(_mm_srai_epi32(_mm_add_epi32(u.crEven, l.crEven), 5)));
        }
    }
}

void ScatterWholeProgressive(const MacroblockBuffer& buffer, Pixel* destination, int32_t remainingWidth,
                             int32_t remainingHeight, int32_t stride) {
    if (!IsWhole(remainingWidth, remainingHeight)) {
        vardelk::ScatterMacroblockProgressive(buffer, destination, remainingWidth, remainingHeight, stride);
        return;
    }
    // Chroma row c covers frame rows 2c and 2c + 1.
    for (int32_t c = 0; c < 8; ++c) {
        const int top = c < 4 ? 0 : 2;
        const int32_t lumaRow = (2 * c) % 8 * 8;
        const int32_t* left = buffer.Block(top) + lumaRow;
        const int32_t* right = buffer.Block(top + 1) + lumaRow;
        Pixel* row = PixelAt(destination, 2 * c, 0, stride);
        ScatterRowPair(left, right, row, left + 8, right + 8, row + stride, buffer.Block(kCbBlock) + 8 * c,
                       buffer.Block(kCrBlock) + 8 * c);
    }
}

// Field order: even rows go to Y0/Y1, odd rows to Y2/Y3, row m to block
// row m / 2. Each group of four rows gives a top-field chroma row,
// (3 x row 4g + row 4g+2 + 2) >> 6, and a bottom-field one,
// (row 4g+1 + 3 x row 4g+3 + 2) >> 6, from the even pixel columns.
void GatherWholeInterlaced(const Pixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                           int32_t remainingHeight, int32_t stride) {
    if (!IsWhole(remainingWidth, remainingHeight)) {
        vardelk::GatherMacroblockInterlaced(source, buffer, remainingWidth, remainingHeight, stride);
        return;
    }
    int32_t* cb = buffer.Block(kCbBlock);
    int32_t* cr = buffer.Block(kCrBlock);
    const WordMasks masks = Masks();
    const __m128i two = _mm_set1_epi32(2);
    const auto thrice = [](__m128i v) { return _mm_add_epi32(v, _mm_add_epi32(v, v)); };
    for (int32_t g = 0; g < 4; ++g) {
        const Pixel* t0 = PixelAt(source, 4 * g, 0, stride);
        const Pixel* b0 = t0 + stride;
        const Pixel* t1 = b0 + stride;
        const Pixel* b1 = t1 + stride;
        for (int h = 0; h < 2; ++h) {
            const EightPixels top0 = Split(t0 + 8 * h, masks), bottom0 = Split(b0 + 8 * h, masks);
            const EightPixels top1 = Split(t1 + 8 * h, masks), bottom1 = Split(b1 + 8 * h, masks);
            // Rows 4g and 4g + 2 are block rows 2g and 2g + 1 of the top
            // field (Y0/Y1), rows 4g + 1 and 4g + 3 those of the bottom one.
            StoreSamples(buffer.Block(h) + 16 * g, top0.luma);
            StoreSamples(buffer.Block(h) + 16 * g + 8, top1.luma);
            StoreSamples(buffer.Block(2 + h) + 16 * g, bottom0.luma);
            StoreSamples(buffer.Block(2 + h) + 16 * g + 8, bottom1.luma);
            const auto top = [&](__m128i a, __m128i b) {
                return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(thrice(a), b), two), 6);
            };
            const auto bottom = [&](__m128i a, __m128i b) {
                return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(a, thrice(b)), two), 6);
            };
            Store(cb + 16 * g + 4 * h, CbInOrder(top(top0.cbEven, top1.cbEven)));
            Store(cb + 16 * g + 8 + 4 * h, CbInOrder(bottom(bottom0.cbEven, bottom1.cbEven)));
            Store(cr + 16 * g + 4 * h, CrInOrder(top(top0.crEven, top1.crEven)));
            Store(cr + 16 * g + 8 + 4 * h, CrInOrder(bottom(bottom0.crEven, bottom1.crEven)));
        }
    }
}

void ScatterWholeInterlaced(const MacroblockBuffer& buffer, Pixel* destination, int32_t remainingWidth,
                            int32_t remainingHeight, int32_t stride) {
    if (!IsWhole(remainingWidth, remainingHeight)) {
        vardelk::ScatterMacroblockInterlaced(buffer, destination, remainingWidth, remainingHeight, stride);
        return;
    }
    // Chroma row c covers frame rows m = 4 (c / 2) + c % 2 and m + 2, of
    // the field c % 2, at luma block rows m / 2 and m / 2 + 1.
    for (int32_t c = 0; c < 8; ++c) {
        const int32_t m = 4 * (c / 2) + c % 2;
        const int field = (c % 2) * 2;
        const int32_t* left = buffer.Block(field) + (m / 2) * 8;
        const int32_t* right = buffer.Block(field + 1) + (m / 2) * 8;
        Pixel* row = PixelAt(destination, m, 0, stride);
        ScatterRowPair(left, right, row, left + 8, right + 8, row + 2 * static_cast<ptrdiff_t>(stride),
                       buffer.Block(kCbBlock) + 8 * c, buffer.Block(kCrBlock) + 8 * c);
    }
}
