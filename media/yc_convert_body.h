// Body of the fast conversions, compiled twice: in yc_convert.cpp for the
// baseline and in yc_convert_avx2.cpp with AVX2, where the compiler turns
// the interleaving of the 6-byte pixels into byte shuffles. The includer
// provides media/yc_convert.h, <cstring>, <emmintrin.h> where SSE2 is
// present, and an unnamed namespace. The planes come
// as plain pointers (luma, Cb, Cr; the chroma ones unused for mono) so that
// no library template is instantiated in the AVX2 build.
//
// Every divisor of the way back is 16 times the number
// of pixels a sample covers (1, 2 or 4), a power of two, so the rounded
// division floor((2 s + 16 n) / (32 n)) is the shift (s + 8 n) >> log2(16 n)
// (arithmetic shifts round toward minus infinity, as the floor does). The
// loops have fixed shapes per chroma layout; the odd last column or row of
// a subsampled picture is handled after them.
inline uint8_t Clamp255(int32_t v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Sum of `count` pixels' component -> 8-bit chroma sample; count 1, 2 or 4.
template <int kShift>
inline uint8_t ChromaFromSum(int32_t sum) {
    return Clamp255(((sum + (1 << (kShift - 1))) >> kShift) + 128);
}

inline void LumaRowBack(const YcPixel* in, uint8_t* out, int32_t width) {
    for (int32_t x = 0; x < width; ++x) out[x] = Clamp255((in[x].y + 8) >> 4);
}

// One chroma row of a horizontally halved layout from one or two pixel rows.
inline void HalvedChromaRowBack(const YcPixel* upper, const YcPixel* lower, int32_t width, uint8_t* cb, uint8_t* cr) {
    const int32_t pairs = width / 2;
    if (lower != nullptr) {
        for (int32_t c = 0; c < pairs; ++c) {
            const YcPixel* a = upper + 2 * c;
            const YcPixel* b = lower + 2 * c;
            cb[c] = ChromaFromSum<6>(a[0].cb + a[1].cb + b[0].cb + b[1].cb);
            cr[c] = ChromaFromSum<6>(a[0].cr + a[1].cr + b[0].cr + b[1].cr);
        }
        if (width % 2 != 0) {
            cb[pairs] = ChromaFromSum<5>(upper[width - 1].cb + lower[width - 1].cb);
            cr[pairs] = ChromaFromSum<5>(upper[width - 1].cr + lower[width - 1].cr);
        }
        return;
    }
    for (int32_t c = 0; c < pairs; ++c) {
        const YcPixel* a = upper + 2 * c;
        cb[c] = ChromaFromSum<5>(a[0].cb + a[1].cb);
        cr[c] = ChromaFromSum<5>(a[0].cr + a[1].cr);
    }
    if (width % 2 != 0) {
        cb[pairs] = ChromaFromSum<4>(upper[width - 1].cb);
        cr[pairs] = ChromaFromSum<4>(upper[width - 1].cr);
    }
}

inline void FullChromaRowBack(const YcPixel* in, int32_t width, uint8_t* cb, uint8_t* cr) {
    for (int32_t x = 0; x < width; ++x) {
        cb[x] = ChromaFromSum<4>(in[x].cb);
        cr[x] = ChromaFromSum<4>(in[x].cr);
    }
}

inline int16_t LumaIn(uint8_t v) { return int16_t(v * 16); }
inline int16_t ChromaIn(uint8_t v) { return int16_t((v - 128) * 16); }

#if defined(__SSE2__)
// Four pixel pairs of a horizontally halved row at a time. A pair is the six
// components y0 b r y1 b r, that is the three 32-bit words A = (y0, b),
// C = (r, y1) and D = (b, r) (low half first); each word is built in the
// lanes of one register for four pairs, and the three registers are
// interleaved word by word into the 48 output bytes. Returns the pairs done.
inline int32_t HalvedChromaRowIn(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int32_t pairs,
                                 YcPixel* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_set1_epi32(0xFFFF);
    const __m128i offset = _mm_set1_epi16(128);
    int32_t c = 0;
    for (; c + 4 <= pairs; c += 4) {
        int32_t b4, r4;
        std::memcpy(&b4, cb + c, 4);
        std::memcpy(&r4, cr + c, 4);
        const __m128i y = _mm_slli_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma + 2 * c)), zero), 4);
        // (v - 128) x 16 in the low half of each 32-bit lane.
        const __m128i b = _mm_unpacklo_epi16(
            _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(b4), zero), offset), 4), zero);
        const __m128i r = _mm_unpacklo_epi16(
            _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(r4), zero), offset), 4), zero);
        const __m128i a = _mm_or_si128(_mm_and_si128(y, low), _mm_slli_epi32(b, 16));  // A0..A3
        const __m128i m = _mm_or_si128(_mm_andnot_si128(low, y), r);                     // C0..C3
        const __m128i d = _mm_or_si128(b, _mm_slli_epi32(r, 16));                       // D0..D3
        const __m128i am = _mm_unpacklo_epi32(a, m);                                    // A0 C0 A1 C1
        const __m128i da = _mm_unpacklo_epi32(d, _mm_srli_si128(a, 4));                 // D0 A1 D1 A2
        const __m128i md = _mm_unpacklo_epi32(_mm_srli_si128(m, 4), _mm_srli_si128(d, 4));  // C1 D1 C2 D2
        const __m128i amHigh = _mm_unpackhi_epi32(a, m);                                // A2 C2 A3 C3
        const __m128i daHigh = _mm_unpackhi_epi32(d, _mm_srli_si128(a, 4));             // D2 A3 D3 0
        const __m128i mdHigh = _mm_unpackhi_epi32(m, d);                                // C2 D2 C3 D3
        __m128i* o = reinterpret_cast<__m128i*>(out + 2 * c);
        _mm_storeu_si128(o, _mm_unpacklo_epi64(am, da));                              // A0 C0 D0 A1
        _mm_storeu_si128(o + 1, _mm_unpacklo_epi64(md, amHigh));                      // C1 D1 A2 C2
        _mm_storeu_si128(o + 2, _mm_unpacklo_epi64(daHigh, _mm_srli_si128(mdHigh, 8)));  // D2 A3 C3 D3
    }
    return c;
}
#endif

void Y4mToYcBody(const Y4mFormat& format, const uint8_t* const planes[3], YcPixel* pixels, int32_t stride) {
    const int32_t width = format.width;
    const int32_t chromaWidth = ChromaWidth(format);
    for (int32_t y = 0; y < format.height; ++y) {
        const uint8_t* luma = planes[0] + size_t(y) * size_t(width);
        YcPixel* out = pixels + size_t(y) * size_t(stride);
        switch (format.chroma) {
            case ChromaFormat::kMono:
                for (int32_t x = 0; x < width; ++x) out[x] = YcPixel{LumaIn(luma[x]), 0, 0};
                break;
            case ChromaFormat::k444: {
                const uint8_t* cb = planes[1] + size_t(y) * size_t(chromaWidth);
                const uint8_t* cr = planes[2] + size_t(y) * size_t(chromaWidth);
                for (int32_t x = 0; x < width; ++x) out[x] = YcPixel{LumaIn(luma[x]), ChromaIn(cb[x]), ChromaIn(cr[x])};
                break;
            }
            case ChromaFormat::k420:
            case ChromaFormat::k422: {
                const int32_t chromaY = format.chroma == ChromaFormat::k420 ? y / 2 : y;
                const uint8_t* cb = planes[1] + size_t(chromaY) * size_t(chromaWidth);
                const uint8_t* cr = planes[2] + size_t(chromaY) * size_t(chromaWidth);
                const int32_t pairs = width / 2;
                int32_t c = 0;
#if defined(__SSE2__)
                c = HalvedChromaRowIn(luma, cb, cr, pairs, out);
#endif
                for (; c < pairs; ++c) {
                    const int16_t b = ChromaIn(cb[c]), r = ChromaIn(cr[c]);
                    out[2 * c] = YcPixel{LumaIn(luma[2 * c]), b, r};
                    out[2 * c + 1] = YcPixel{LumaIn(luma[2 * c + 1]), b, r};
                }
                if (width % 2 != 0)
                    out[width - 1] = YcPixel{LumaIn(luma[width - 1]), ChromaIn(cb[pairs]), ChromaIn(cr[pairs])};
                break;
            }
        }
    }
}

void YcToY4mBody(const Y4mFormat& format, const YcPixel* pixels, int32_t stride, uint8_t* const planes[3]) {
    const int32_t width = format.width;
    const int32_t height = format.height;
    const auto row = [&](int32_t y) { return pixels + size_t(y) * size_t(stride); };
    for (int32_t y = 0; y < height; ++y) LumaRowBack(row(y), planes[0] + size_t(y) * size_t(width), width);
    const int32_t chromaWidth = ChromaWidth(format);
    const auto chromaRow = [&](uint8_t* plane, int32_t cy) { return plane + size_t(cy) * size_t(chromaWidth); };
    switch (format.chroma) {
        case ChromaFormat::kMono: return;
        case ChromaFormat::k444:
            for (int32_t y = 0; y < height; ++y) FullChromaRowBack(row(y), width, chromaRow(planes[1], y), chromaRow(planes[2], y));
            return;
        case ChromaFormat::k422:
            for (int32_t y = 0; y < height; ++y)
                HalvedChromaRowBack(row(y), nullptr, width, chromaRow(planes[1], y), chromaRow(planes[2], y));
            return;
        case ChromaFormat::k420:
            for (int32_t cy = 0; cy < ChromaHeight(format); ++cy) {
                const int32_t y0 = 2 * cy;
                HalvedChromaRowBack(row(y0), y0 + 1 < height ? row(y0 + 1) : nullptr, width, chromaRow(planes[1], cy),
                                    chromaRow(planes[2], cy));
            }
            return;
    }
}
