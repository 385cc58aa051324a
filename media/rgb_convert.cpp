#include "media/rgb_convert.h"

#include <algorithm>
#include <cmath>

namespace vardelk {
namespace {

// Rounds half away from zero and clamps to 0..255: lround and a clamp, for
// a fraction of the cost. value - trunc(value) is exact, so the halfway test
// sees the true fraction.
uint8_t ToSample(double value) {
    if (!(value > 0.0)) return 0;
    if (value >= 255.0) return 255;
    const int32_t whole = int32_t(value);
    return uint8_t(whole + (value - whole >= 0.5 ? 1 : 0));
}

// BT.601 studio-range forward and inverse conversion factors.
constexpr double kYScale = 219.0 / 255.0;
constexpr double kCScale = 224.0 / 255.0;
constexpr double kKr = 0.299;
constexpr double kKb = 0.114;
constexpr double kKg = 1.0 - kKr - kKb;

// The three terms of the inverse conversion depend on one sample each, so
// they are worked out once per sample value; each output sample then costs
// the same additions and rounding as computing everything per pixel. Pixels
// are kPixelBytes apart: RGB, or RGB and an opaque alpha.
template <int32_t kPixelBytes>
void FrameToPixels(const Y4mFormat& format, const Y4mFrame& frame, uint8_t* out) {
    double lumaOf[256], blueOf[256], redOf[256];
    for (int32_t v = 0; v < 256; ++v) {
        lumaOf[v] = (v - 16.0) / kYScale;
        blueOf[v] = (v - 128.0) / kCScale * 2.0 * (1.0 - kKb);
        redOf[v] = (v - 128.0) / kCScale * 2.0 * (1.0 - kKr);
    }
    const int32_t chromaWidth = ChromaWidth(format);
    const bool halfWidth = format.chroma == ChromaFormat::k420 || format.chroma == ChromaFormat::k422;
    const int32_t stepX = halfWidth ? 2 : 1;
    const int32_t stepY = format.chroma == ChromaFormat::k420 ? 2 : 1;
    const bool mono = format.chroma == ChromaFormat::kMono;
    for (int32_t y = 0; y < format.height; ++y) {
        const uint8_t* lumaRow = frame.y.data() + size_t(y) * size_t(format.width);
        const size_t chromaRow = size_t(y / stepY) * size_t(chromaWidth);
        for (int32_t x = 0; x < format.width; ++x, out += kPixelBytes) {
            const double luma = lumaOf[lumaRow[x]];
            const double cb = mono ? 0.0 : blueOf[frame.cb[chromaRow + size_t(x / stepX)]];
            const double cr = mono ? 0.0 : redOf[frame.cr[chromaRow + size_t(x / stepX)]];
            out[0] = ToSample(luma + cr);
            out[2] = ToSample(luma + cb);
            out[1] = ToSample((luma - kKr * (luma + cr) - kKb * (luma + cb)) / kKg);
            if constexpr (kPixelBytes == 4) out[3] = 255;
        }
    }
}

}  // namespace

Y4mFormat FormatForRgb(int32_t width, int32_t height) {
    Y4mFormat format;
    format.width = width;
    format.height = height;
    format.chroma = ChromaFormat::k444;
    format.chromaTag = "444";
    format.aspectNum = 1;
    format.aspectDen = 1;
    return format;
}

void RgbToFrame(const RgbImage& image, Y4mFrame& frame) {
    frame.Allocate(FormatForRgb(image.width, image.height));
    for (size_t i = 0; i < frame.y.size(); ++i) {
        const double r = image.rgb[i * 3], g = image.rgb[i * 3 + 1], b = image.rgb[i * 3 + 2];
        const double luma = kKr * r + kKg * g + kKb * b;
        frame.y[i] = ToSample(16.0 + kYScale * luma);
        frame.cb[i] = ToSample(128.0 + kCScale * (b - luma) / (2.0 * (1.0 - kKb)));
        frame.cr[i] = ToSample(128.0 + kCScale * (r - luma) / (2.0 * (1.0 - kKr)));
    }
}

void FrameToRgb(const Y4mFormat& format, const Y4mFrame& frame, RgbImage& image) {
    if (image.width != format.width || image.height != format.height) image.Resize(format.width, format.height);
    FrameToPixels<3>(format, frame, image.rgb.data());
}

void FrameToRgba(const Y4mFormat& format, const Y4mFrame& frame, uint8_t* rgba) {
    FrameToPixels<4>(format, frame, rgba);
}

}  // namespace vardelk
