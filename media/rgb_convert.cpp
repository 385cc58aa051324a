#include "media/rgb_convert.h"

#include <algorithm>

namespace vardelk {
namespace {

// Rounds half away from zero and clamps to 0..255: lround and a clamp, for
// a fraction of the cost. value - trunc(value) is exact, so the halfway test
// sees the true fraction; a value at or below 0 truncates to at most 0 with
// a fraction below one half, so it comes out 0. The clamp works on the
// integer, so no branch depends on the picture. Every value here lies
// within a few hundred of 0.
uint8_t ToSample(double value) {
    const int32_t whole = int32_t(value);
    return uint8_t(std::clamp(whole + int32_t(value - whole >= 0.5), 0, 255));
}

// BT.601 studio-range forward and inverse conversion factors.
constexpr double kYScale = 219.0 / 255.0;
constexpr double kCScale = 224.0 / 255.0;
constexpr double kKr = 0.299;
constexpr double kKb = 0.114;
constexpr double kKg = 1.0 - kKr - kKb;

// The inverse conversion:
//   l = (Y - 16) / kYScale,  b = (Cb - 128) / kCScale x 2(1 - Kb),  r likewise with Cr and Kr,
//   R = l + r,  B = l + b,  G = (l - Kr R - Kb B) / Kg,
// each rounded by ToSample. l, b and r depend on one sample each and are
// tabled per sample value; R and B depend on two samples and are tabled
// whole, so a pixel computes only G. Built once, on first use.
struct InverseTables {
    double lumaOf[256], blueOf[256], redOf[256];
    uint8_t red[256 * 256], blue[256 * 256];  // at Y x 256 + Cr, Y x 256 + Cb

    InverseTables() {
        for (int32_t v = 0; v < 256; ++v) {
            lumaOf[v] = (v - 16.0) / kYScale;
            blueOf[v] = (v - 128.0) / kCScale * 2.0 * (1.0 - kKb);
            redOf[v] = (v - 128.0) / kCScale * 2.0 * (1.0 - kKr);
        }
        for (int32_t y = 0; y < 256; ++y) {
            for (int32_t c = 0; c < 256; ++c) {
                red[y * 256 + c] = ToSample(lumaOf[y] + redOf[c]);
                blue[y * 256 + c] = ToSample(lumaOf[y] + blueOf[c]);
            }
        }
    }
};

// Pixels are kPixelBytes apart: RGB, or RGB and an opaque alpha. Mono
// frames convert as if every chroma sample were 128 (no colour).
template <int32_t kPixelBytes>
void FrameToPixels(const Y4mFormat& format, const Y4mFrame& frame, uint8_t* out) {
    static const InverseTables t;
    const int32_t chromaWidth = ChromaWidth(format);
    const bool halfWidth = format.chroma == ChromaFormat::k420 || format.chroma == ChromaFormat::k422;
    const int32_t shiftX = halfWidth ? 1 : 0;  // chroma column = x >> shiftX
    const int32_t shiftY = format.chroma == ChromaFormat::k420 ? 1 : 0;
    const bool mono = format.chroma == ChromaFormat::kMono;
    for (int32_t y = 0; y < format.height; ++y) {
        const uint8_t* lumaRow = frame.y.data() + size_t(y) * size_t(format.width);
        const size_t chromaRow = size_t(y >> shiftY) * size_t(chromaWidth);
        const uint8_t* cbRow = mono ? nullptr : frame.cb.data() + chromaRow;
        const uint8_t* crRow = mono ? nullptr : frame.cr.data() + chromaRow;
        for (int32_t x = 0; x < format.width; ++x, out += kPixelBytes) {
            const int32_t l = lumaRow[x];
            const int32_t b = mono ? 128 : cbRow[x >> shiftX];
            const int32_t r = mono ? 128 : crRow[x >> shiftX];
            const double luma = t.lumaOf[l], cb = t.blueOf[b], cr = t.redOf[r];
            out[0] = t.red[l * 256 + r];
            out[2] = t.blue[l * 256 + b];
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
