// Body of the conversions, compiled once per CPU family
// (kernels_plain.cpp, kernels_sse2.cpp, kernels_avx2.cpp): the AVX2
// build lets the compiler turn the interleaving of the 6-byte pixels into
// byte shuffles. The includer provides media/kernel_table.h, <cstring>, an
// unnamed namespace and HalvedChromaRowIn(luma, cb, cr, pairs, out), which
// converts the leading pairs of a horizontally halved row and returns how
// many it did (yc_convert_sse2_body.h, or none). The planes come as plain
// pointers (luma, Cb, Cr; the chroma ones unused for mono) so that no
// library template is instantiated in the AVX2 build.
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

inline void LumaRowBack(const Pixel* in, uint8_t* out, int32_t width) {
    for (int32_t x = 0; x < width; ++x) out[x] = Clamp255((in[x].y + 8) >> 4);
}

// One chroma row of a horizontally halved layout from one or two pixel rows.
inline void HalvedChromaRowBack(const Pixel* upper, const Pixel* lower, int32_t width, uint8_t* cb, uint8_t* cr) {
    const int32_t pairs = width / 2;
    if (lower != nullptr) {
        for (int32_t c = 0; c < pairs; ++c) {
            const Pixel* a = upper + 2 * c;
            const Pixel* b = lower + 2 * c;
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
        const Pixel* a = upper + 2 * c;
        cb[c] = ChromaFromSum<5>(a[0].cb + a[1].cb);
        cr[c] = ChromaFromSum<5>(a[0].cr + a[1].cr);
    }
    if (width % 2 != 0) {
        cb[pairs] = ChromaFromSum<4>(upper[width - 1].cb);
        cr[pairs] = ChromaFromSum<4>(upper[width - 1].cr);
    }
}

inline void FullChromaRowBack(const Pixel* in, int32_t width, uint8_t* cb, uint8_t* cr) {
    for (int32_t x = 0; x < width; ++x) {
        cb[x] = ChromaFromSum<4>(in[x].cb);
        cr[x] = ChromaFromSum<4>(in[x].cr);
    }
}

inline int16_t LumaIn(uint8_t v) { return int16_t(v * 16); }
inline int16_t ChromaIn(uint8_t v) { return int16_t((v - 128) * 16); }

void Y4mToYcBody(const Y4mFormat& format, const uint8_t* const planes[3], Pixel* pixels, int32_t stride) {
    const int32_t width = format.width;
    const int32_t chromaWidth = ChromaWidth(format);
    for (int32_t y = 0; y < format.height; ++y) {
        const uint8_t* luma = planes[0] + size_t(y) * size_t(width);
        Pixel* out = pixels + size_t(y) * size_t(stride);
        switch (format.chroma) {
            case ChromaFormat::kMono:
                for (int32_t x = 0; x < width; ++x) out[x] = Pixel{LumaIn(luma[x]), 0, 0};
                break;
            case ChromaFormat::k444: {
                const uint8_t* cb = planes[1] + size_t(y) * size_t(chromaWidth);
                const uint8_t* cr = planes[2] + size_t(y) * size_t(chromaWidth);
                for (int32_t x = 0; x < width; ++x) out[x] = Pixel{LumaIn(luma[x]), ChromaIn(cb[x]), ChromaIn(cr[x])};
                break;
            }
            case ChromaFormat::k420:
            case ChromaFormat::k422: {
                const int32_t chromaY = format.chroma == ChromaFormat::k420 ? y / 2 : y;
                const uint8_t* cb = planes[1] + size_t(chromaY) * size_t(chromaWidth);
                const uint8_t* cr = planes[2] + size_t(chromaY) * size_t(chromaWidth);
                const int32_t pairs = width / 2;
                int32_t c = HalvedChromaRowIn(luma, cb, cr, pairs, out);
                for (; c < pairs; ++c) {
                    const int16_t b = ChromaIn(cb[c]), r = ChromaIn(cr[c]);
                    out[2 * c] = Pixel{LumaIn(luma[2 * c]), b, r};
                    out[2 * c + 1] = Pixel{LumaIn(luma[2 * c + 1]), b, r};
                }
                if (width % 2 != 0)
                    out[width - 1] = Pixel{LumaIn(luma[width - 1]), ChromaIn(cb[pairs]), ChromaIn(cr[pairs])};
                break;
            }
        }
    }
}

void YcToY4mBody(const Y4mFormat& format, const Pixel* pixels, int32_t stride, uint8_t* const planes[3]) {
    const int32_t width = format.width;
    const int32_t height = format.height;
    const auto row = [&](int32_t y) { return pixels + size_t(y) * size_t(stride); };
    for (int32_t y = 0; y < height; ++y) LumaRowBack(row(y), planes[0] + size_t(y) * size_t(width), width);
    const int32_t chromaWidth = ChromaWidth(format);
    const auto chromaRow = [&](uint8_t* plane, int32_t cy) { return plane + size_t(cy) * size_t(chromaWidth); };
    switch (format.chroma) {
        case ChromaFormat::kMono:
            return;
        case ChromaFormat::k444:
            for (int32_t y = 0; y < height; ++y)
                FullChromaRowBack(row(y), width, chromaRow(planes[1], y), chromaRow(planes[2], y));
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
