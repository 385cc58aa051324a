#include "media/yc_convert.h"

#include <algorithm>
#include <vector>

namespace vardelk {
namespace {

// Horizontal and vertical chroma subsampling factors.
int32_t ChromaStepX(ChromaFormat chroma) {
    return (chroma == ChromaFormat::k420 || chroma == ChromaFormat::k422) ? 2 : 1;
}
int32_t ChromaStepY(ChromaFormat chroma) { return chroma == ChromaFormat::k420 ? 2 : 1; }

// Division rounding to nearest, halves up, for any sign of the numerator.
int32_t RoundedDivide(int32_t numerator, int32_t denominator) {
    const int32_t shifted = 2 * numerator + denominator;
    const int32_t twice = 2 * denominator;
    int32_t quotient = shifted / twice;
    if (shifted % twice != 0 && shifted < 0) --quotient;  // floor, not truncation
    return quotient;
}

uint8_t ClampSample(int32_t value) { return uint8_t(std::clamp(value, 0, 255)); }

// Mean of one chroma component over the pixels a subsampled sample covers.
uint8_t SubsampledChroma(const YcPixel* pixels, int32_t stride, int32_t x0, int32_t y0, int32_t x1,
                         int32_t y1, int16_t YcPixel::*component) {
    int32_t sum = 0;
    for (int32_t y = y0; y < y1; ++y) {
        for (int32_t x = x0; x < x1; ++x) sum += pixels[y * stride + x].*component;
    }
    const int32_t count = (x1 - x0) * (y1 - y0);
    return ClampSample(RoundedDivide(sum, count * 16) + 128);
}

}  // namespace

uint8_t YcToSample(int32_t value) { return ClampSample(RoundedDivide(value, 16)); }
uint8_t YcToChromaSample(int32_t value) { return ClampSample(RoundedDivide(value, 16) + 128); }

void Y4mToYcReference(const Y4mFormat& format, const Y4mFrame& frame, YcPixel* pixels, int32_t stride) {
    const int32_t stepX = ChromaStepX(format.chroma);
    const int32_t stepY = ChromaStepY(format.chroma);
    const int32_t chromaWidth = ChromaWidth(format);
    const bool mono = format.chroma == ChromaFormat::kMono;
    for (int32_t y = 0; y < format.height; ++y) {
        const uint8_t* luma = frame.y.data() + size_t(y) * size_t(format.width);
        const size_t chromaRow = size_t(y / stepY) * size_t(chromaWidth);
        YcPixel* out = pixels + size_t(y) * size_t(stride);
        for (int32_t x = 0; x < format.width; ++x) {
            out[x].y = int16_t(luma[x] * 16);
            if (mono) {
                out[x].cb = 0;
                out[x].cr = 0;
                continue;
            }
            const size_t c = chromaRow + size_t(x / stepX);
            out[x].cb = int16_t((frame.cb[c] - 128) * 16);
            out[x].cr = int16_t((frame.cr[c] - 128) * 16);
        }
    }
}

void YcToY4mReference(const Y4mFormat& format, const YcPixel* pixels, int32_t stride, Y4mFrame& frame) {
    frame.Allocate(format);
    for (int32_t y = 0; y < format.height; ++y) {
        const YcPixel* in = pixels + size_t(y) * size_t(stride);
        uint8_t* luma = frame.y.data() + size_t(y) * size_t(format.width);
        for (int32_t x = 0; x < format.width; ++x) luma[x] = YcToSample(in[x].y);
    }
    if (format.chroma == ChromaFormat::kMono) return;
    const int32_t stepX = ChromaStepX(format.chroma);
    const int32_t stepY = ChromaStepY(format.chroma);
    const int32_t chromaWidth = ChromaWidth(format);
    const int32_t chromaHeight = ChromaHeight(format);
    for (int32_t cy = 0; cy < chromaHeight; ++cy) {
        const int32_t y0 = cy * stepY;
        const int32_t y1 = std::min(y0 + stepY, format.height);
        for (int32_t cx = 0; cx < chromaWidth; ++cx) {
            const int32_t x0 = cx * stepX;
            const int32_t x1 = std::min(x0 + stepX, format.width);
            const size_t c = size_t(cy) * size_t(chromaWidth) + size_t(cx);
            frame.cb[c] = SubsampledChroma(pixels, stride, x0, y0, x1, y1, &YcPixel::cb);
            frame.cr[c] = SubsampledChroma(pixels, stride, x0, y0, x1, y1, &YcPixel::cr);
        }
    }
}

// The fast conversions. Every divisor of the way back is 16 times the number
// of pixels a sample covers (1, 2 or 4), a power of two, so the rounded
// division floor((2 s + 16 n) / (32 n)) is the shift (s + 8 n) >> log2(16 n)
// (arithmetic shifts round toward minus infinity, as the floor does). The
// loops have fixed shapes per chroma layout; the odd last column or row of
// a subsampled picture is handled after them.
namespace {

inline uint8_t Clamp255(int32_t v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Sum of `count` pixels' component -> 8-bit chroma sample; count 1, 2 or 4.
template <int kShift>
inline uint8_t ChromaFromSum(int32_t sum) {
    return Clamp255(((sum + (1 << (kShift - 1))) >> kShift) + 128);
}

void LumaRowBack(const YcPixel* in, uint8_t* out, int32_t width) {
    for (int32_t x = 0; x < width; ++x) out[x] = Clamp255((in[x].y + 8) >> 4);
}

// One chroma row of a horizontally halved layout from one or two pixel rows.
void HalvedChromaRowBack(const YcPixel* upper, const YcPixel* lower, int32_t width, uint8_t* cb, uint8_t* cr) {
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

void FullChromaRowBack(const YcPixel* in, int32_t width, uint8_t* cb, uint8_t* cr) {
    for (int32_t x = 0; x < width; ++x) {
        cb[x] = ChromaFromSum<4>(in[x].cb);
        cr[x] = ChromaFromSum<4>(in[x].cr);
    }
}

inline int16_t LumaIn(uint8_t v) { return int16_t(v * 16); }
inline int16_t ChromaIn(uint8_t v) { return int16_t((v - 128) * 16); }

}  // namespace

void Y4mToYc(const Y4mFormat& format, const Y4mFrame& frame, YcPixel* pixels, int32_t stride) {
    const int32_t width = format.width;
    const int32_t chromaWidth = ChromaWidth(format);
    for (int32_t y = 0; y < format.height; ++y) {
        const uint8_t* luma = frame.y.data() + size_t(y) * size_t(width);
        YcPixel* out = pixels + size_t(y) * size_t(stride);
        switch (format.chroma) {
            case ChromaFormat::kMono:
                for (int32_t x = 0; x < width; ++x) out[x] = YcPixel{LumaIn(luma[x]), 0, 0};
                break;
            case ChromaFormat::k444: {
                const uint8_t* cb = frame.cb.data() + size_t(y) * size_t(chromaWidth);
                const uint8_t* cr = frame.cr.data() + size_t(y) * size_t(chromaWidth);
                for (int32_t x = 0; x < width; ++x) out[x] = YcPixel{LumaIn(luma[x]), ChromaIn(cb[x]), ChromaIn(cr[x])};
                break;
            }
            case ChromaFormat::k420:
            case ChromaFormat::k422: {
                const int32_t chromaY = format.chroma == ChromaFormat::k420 ? y / 2 : y;
                const uint8_t* cb = frame.cb.data() + size_t(chromaY) * size_t(chromaWidth);
                const uint8_t* cr = frame.cr.data() + size_t(chromaY) * size_t(chromaWidth);
                const int32_t pairs = width / 2;
                for (int32_t c = 0; c < pairs; ++c) {
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

void YcToY4m(const Y4mFormat& format, const YcPixel* pixels, int32_t stride, Y4mFrame& frame) {
    frame.Allocate(format);
    const int32_t width = format.width;
    const int32_t height = format.height;
    const auto row = [&](int32_t y) { return pixels + size_t(y) * size_t(stride); };
    for (int32_t y = 0; y < height; ++y) LumaRowBack(row(y), frame.y.data() + size_t(y) * size_t(width), width);
    const int32_t chromaWidth = ChromaWidth(format);
    const auto chromaRow = [&](std::vector<uint8_t>& plane, int32_t cy) {
        return plane.data() + size_t(cy) * size_t(chromaWidth);
    };
    switch (format.chroma) {
        case ChromaFormat::kMono: return;
        case ChromaFormat::k444:
            for (int32_t y = 0; y < height; ++y) FullChromaRowBack(row(y), width, chromaRow(frame.cb, y), chromaRow(frame.cr, y));
            return;
        case ChromaFormat::k422:
            for (int32_t y = 0; y < height; ++y)
                HalvedChromaRowBack(row(y), nullptr, width, chromaRow(frame.cb, y), chromaRow(frame.cr, y));
            return;
        case ChromaFormat::k420:
            for (int32_t cy = 0; cy < ChromaHeight(format); ++cy) {
                const int32_t y0 = 2 * cy;
                HalvedChromaRowBack(row(y0), y0 + 1 < height ? row(y0 + 1) : nullptr, width, chromaRow(frame.cb, cy),
                                    chromaRow(frame.cr, cy));
            }
            return;
    }
}

}  // namespace vardelk
