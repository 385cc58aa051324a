#include "media/rgb_convert.h"

#include <algorithm>
#include <cmath>

namespace vardelk {
namespace {

uint8_t ToSample(double value) { return uint8_t(std::clamp(std::lround(value), 0L, 255L)); }

// BT.601 studio-range forward and inverse conversion factors.
constexpr double kYScale = 219.0 / 255.0;
constexpr double kCScale = 224.0 / 255.0;
constexpr double kKr = 0.299;
constexpr double kKb = 0.114;
constexpr double kKg = 1.0 - kKr - kKb;

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
    const int32_t chromaWidth = ChromaWidth(format);
    const bool halfWidth = format.chroma == ChromaFormat::k420 || format.chroma == ChromaFormat::k422;
    const int32_t stepX = halfWidth ? 2 : 1;
    const int32_t stepY = format.chroma == ChromaFormat::k420 ? 2 : 1;
    for (int32_t y = 0; y < format.height; ++y) {
        for (int32_t x = 0; x < format.width; ++x) {
            const double luma = (frame.y[size_t(y) * size_t(format.width) + size_t(x)] - 16.0) / kYScale;
            double cb = 0.0, cr = 0.0;
            if (format.chroma != ChromaFormat::kMono) {
                const size_t c = size_t(y / stepY) * size_t(chromaWidth) + size_t(x / stepX);
                cb = (frame.cb[c] - 128.0) / kCScale * 2.0 * (1.0 - kKb);
                cr = (frame.cr[c] - 128.0) / kCScale * 2.0 * (1.0 - kKr);
            }
            uint8_t* out = image.At(x, y);
            out[0] = ToSample(luma + cr);
            out[2] = ToSample(luma + cb);
            out[1] = ToSample((luma - kKr * (luma + cr) - kKb * (luma + cb)) / kKg);
        }
    }
}

}  // namespace vardelk
