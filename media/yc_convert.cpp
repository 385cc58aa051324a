#include "media/yc_convert.h"

#include <algorithm>
#include <vector>

#include "codec/cpu.h"
#include "media/kernel_table.h"

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
uint8_t SubsampledChroma(const Pixel* pixels, int32_t stride, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                         int16_t Pixel::*component) {
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

void Y4mToYcReference(const Y4mFormat& format, const Y4mFrame& frame, Pixel* pixels, int32_t stride) {
    const int32_t stepX = ChromaStepX(format.chroma);
    const int32_t stepY = ChromaStepY(format.chroma);
    const int32_t chromaWidth = ChromaWidth(format);
    const bool mono = format.chroma == ChromaFormat::kMono;
    for (int32_t y = 0; y < format.height; ++y) {
        const uint8_t* luma = frame.y.data() + size_t(y) * size_t(format.width);
        const size_t chromaRow = size_t(y / stepY) * size_t(chromaWidth);
        Pixel* out = pixels + size_t(y) * size_t(stride);
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

void YcToY4mReference(const Y4mFormat& format, const Pixel* pixels, int32_t stride, Y4mFrame& frame) {
    frame.Allocate(format);
    for (int32_t y = 0; y < format.height; ++y) {
        const Pixel* in = pixels + size_t(y) * size_t(stride);
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
            frame.cb[c] = SubsampledChroma(pixels, stride, x0, y0, x1, y1, &Pixel::cb);
            frame.cr[c] = SubsampledChroma(pixels, stride, x0, y0, x1, y1, &Pixel::cr);
        }
    }
}

void Y4mToYc(const Y4mFormat& format, const Y4mFrame& frame, Pixel* pixels, int32_t stride, uint32_t cpuFlags) {
    const uint8_t* const planes[3] = {frame.y.data(), frame.cb.data(), frame.cr.data()};
    media::KernelTableFor(cpuFlags).toYc(format, planes, pixels, stride);
}
void YcToY4m(const Y4mFormat& format, const Pixel* pixels, int32_t stride, Y4mFrame& frame, uint32_t cpuFlags) {
    frame.Allocate(format);
    uint8_t* const planes[3] = {frame.y.data(), frame.cb.data(), frame.cr.data()};
    media::KernelTableFor(cpuFlags).toY4m(format, pixels, stride, planes);
}

}  // namespace vardelk
