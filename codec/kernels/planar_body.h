// Body of the vector gather and scatter between 8-bit planes and whole
// macroblocks; partial macroblocks at the picture's right and bottom edges
// go to the plain operations (codec/macroblock_planar.cpp), whose values
// these are.
//
// Compiled once per instruction set (kernels_sse2.cpp, kernels_avx2.cpp):
// the includer provides <emmintrin.h> and codec/planar.h, and includes this
// file inside an unnamed namespace of its own.

inline bool IsWholeMacroblock(int32_t remainingWidth, int32_t remainingHeight) {
    return remainingWidth >= 16 && remainingHeight >= 16;
}

inline __m128i Load(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void StoreLanes(int32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Sixteen luma bytes into two block rows of eight samples.
inline void WidenLuma(const uint8_t* row, int32_t* left, int32_t* right) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    const __m128i low = _mm_unpacklo_epi8(bytes, zero), high = _mm_unpackhi_epi8(bytes, zero);
    StoreLanes(left, _mm_unpacklo_epi16(low, zero));
    StoreLanes(left + 4, _mm_unpackhi_epi16(low, zero));
    StoreLanes(right, _mm_unpacklo_epi16(high, zero));
    StoreLanes(right + 4, _mm_unpackhi_epi16(high, zero));
}

// Eight chroma bytes less 128 as two 32-bit halves.
struct ChromaLanes {
    __m128i low, high;
};
inline ChromaLanes WidenChroma(const uint8_t* row) {
    const __m128i words =
        _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row)), _mm_setzero_si128()),
                      _mm_set1_epi16(128));
    return ChromaLanes{_mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16),
                       _mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16)};
}

// Two block rows of eight samples into sixteen luma bytes: the saturating
// packs clamp to 0..255 as LumaOut does.
inline void NarrowLuma(const int32_t* left, const int32_t* right, uint8_t* row) {
    const __m128i a = _mm_packs_epi32(Load(left), Load(left + 4));
    const __m128i b = _mm_packs_epi32(Load(right), Load(right + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm_packus_epi16(a, b));
}

// Eight chroma values (low, high halves) plus 128 into eight bytes, clamped.
inline void NarrowChroma(__m128i low, __m128i high, uint8_t* row) {
    const __m128i bias = _mm_set1_epi32(128);
    const __m128i words = _mm_packs_epi32(_mm_add_epi32(low, bias), _mm_add_epi32(high, bias));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row), _mm_packus_epi16(words, words));
}

inline const uint8_t* RowOf(const uint8_t* plane, int32_t row, int32_t stride) {
    return plane + ptrdiff_t{row} * stride;
}
inline uint8_t* RowOf(uint8_t* plane, int32_t row, int32_t stride) { return plane + ptrdiff_t{row} * stride; }

void GatherPlanarProgressiveWhole(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                  int32_t remainingHeight) {
    if (!IsWholeMacroblock(remainingWidth, remainingHeight)) {
        vardelk::GatherPlanarProgressive(source, buffer, remainingWidth, remainingHeight);
        return;
    }
    for (int32_t m = 0; m < 16; ++m) {
        const int top = (m / 8) * 2;
        WidenLuma(RowOf(source.y, m, source.lumaStride), buffer.Block(top) + (m % 8) * 8,
                  buffer.Block(top + 1) + (m % 8) * 8);
    }
    for (int32_t i = 0; i < 8; ++i) {
        const ChromaLanes cb = WidenChroma(RowOf(source.cb, i, source.chromaStride));
        const ChromaLanes cr = WidenChroma(RowOf(source.cr, i, source.chromaStride));
        StoreLanes(buffer.Block(kCbBlock) + 8 * i, cb.low);
        StoreLanes(buffer.Block(kCbBlock) + 8 * i + 4, cb.high);
        StoreLanes(buffer.Block(kCrBlock) + 8 * i, cr.low);
        StoreLanes(buffer.Block(kCrBlock) + 8 * i + 4, cr.high);
    }
}

void ScatterPlanarProgressiveWhole(const MacroblockBuffer& buffer, const PlanarOutput& destination,
                                   int32_t remainingWidth, int32_t remainingHeight) {
    if (!IsWholeMacroblock(remainingWidth, remainingHeight)) {
        vardelk::ScatterPlanarProgressive(buffer, destination, remainingWidth, remainingHeight);
        return;
    }
    for (int32_t m = 0; m < 16; ++m) {
        const int top = (m / 8) * 2;
        NarrowLuma(buffer.Block(top) + (m % 8) * 8, buffer.Block(top + 1) + (m % 8) * 8,
                   RowOf(destination.y, m, destination.lumaStride));
    }
    for (int32_t i = 0; i < 8; ++i) {
        const int32_t* cb = buffer.Block(kCbBlock) + 8 * i;
        const int32_t* cr = buffer.Block(kCrBlock) + 8 * i;
        NarrowChroma(Load(cb), Load(cb + 4), RowOf(destination.cb, i, destination.chromaStride));
        NarrowChroma(Load(cr), Load(cr + 4), RowOf(destination.cr, i, destination.chromaStride));
    }
}

// Field chroma of a whole macroblock: plane rows 2g and 2g + 1 (a, b, at
// x16) give the top-field row (3 a + b + 2) >> 6 and the bottom-field row
// (a + 3 b + 2) >> 6.
inline void GatherFieldChromaWhole(const uint8_t* plane, int32_t stride, int32_t* block) {
    const __m128i two = _mm_set1_epi32(2);
    const auto field = [&](__m128i near, __m128i far) {
        return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(_mm_add_epi32(near, near), _mm_add_epi32(near, far)), two),
                              6);
    };
    for (int32_t g = 0; g < 4; ++g) {
        const ChromaLanes a = WidenChroma(RowOf(plane, 2 * g, stride));
        const ChromaLanes b = WidenChroma(RowOf(plane, 2 * g + 1, stride));
        const __m128i aLow = _mm_slli_epi32(a.low, 4), aHigh = _mm_slli_epi32(a.high, 4);
        const __m128i bLow = _mm_slli_epi32(b.low, 4), bHigh = _mm_slli_epi32(b.high, 4);
        StoreLanes(block + 16 * g, field(aLow, bLow));
        StoreLanes(block + 16 * g + 4, field(aHigh, bHigh));
        StoreLanes(block + 16 * g + 8, field(bLow, aLow));
        StoreLanes(block + 16 * g + 12, field(bHigh, aHigh));
    }
}

void GatherPlanarInterlacedWhole(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                 int32_t remainingHeight) {
    if (!IsWholeMacroblock(remainingWidth, remainingHeight)) {
        vardelk::GatherPlanarInterlaced(source, buffer, remainingWidth, remainingHeight);
        return;
    }
    for (int32_t m = 0; m < 16; ++m) {
        const int field = (m % 2) * 2;
        WidenLuma(RowOf(source.y, m, source.lumaStride), buffer.Block(field) + (m / 2) * 8,
                  buffer.Block(field + 1) + (m / 2) * 8);
    }
    GatherFieldChromaWhole(source.cb, source.chromaStride, buffer.Block(kCbBlock));
    GatherFieldChromaWhole(source.cr, source.chromaStride, buffer.Block(kCrBlock));
}

// Plane rows 2g and 2g + 1 both cover one pixel row of each field: the
// rounded-up mean of block rows 2g and 2g + 1.
inline void ScatterFieldChromaWhole(const int32_t* block, uint8_t* plane, int32_t stride) {
    const __m128i one = _mm_set1_epi32(1);
    for (int32_t g = 0; g < 4; ++g) {
        const int32_t* top = block + 16 * g;
        const __m128i low = _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(Load(top), Load(top + 8)), one), 1);
        const __m128i high = _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(Load(top + 4), Load(top + 12)), one), 1);
        NarrowChroma(low, high, RowOf(plane, 2 * g, stride));
        NarrowChroma(low, high, RowOf(plane, 2 * g + 1, stride));
    }
}

void ScatterPlanarInterlacedWhole(const MacroblockBuffer& buffer, const PlanarOutput& destination,
                                  int32_t remainingWidth, int32_t remainingHeight) {
    if (!IsWholeMacroblock(remainingWidth, remainingHeight)) {
        vardelk::ScatterPlanarInterlaced(buffer, destination, remainingWidth, remainingHeight);
        return;
    }
    for (int32_t m = 0; m < 16; ++m) {
        const int field = (m % 2) * 2;
        NarrowLuma(buffer.Block(field) + (m / 2) * 8, buffer.Block(field + 1) + (m / 2) * 8,
                   RowOf(destination.y, m, destination.lumaStride));
    }
    ScatterFieldChromaWhole(buffer.Block(kCbBlock), destination.cb, destination.chromaStride);
    ScatterFieldChromaWhole(buffer.Block(kCrBlock), destination.cr, destination.chromaStride);
}
