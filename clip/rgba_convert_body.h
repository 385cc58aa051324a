// The loops of clip/rgba_convert.h, compiled once per build (included by
// rgba_convert.cpp and rgba_convert_avx2.cpp inside their own namespaces).
// Every constant and operation order is media/rgb_convert.cpp's, so the
// samples are its samples.

constexpr double kYScale = 219.0 / 255.0;
constexpr double kCScale = 224.0 / 255.0;
constexpr double kKr = 0.299;
constexpr double kKb = 0.114;
constexpr double kKg = 1.0 - kKr - kKb;

// Rounds half away from zero and clamps to 0..255, as media's ToSample.
inline int32_t ToSample(double value) {
    const int32_t whole = int32_t(value);
    const int32_t rounded = whole + int32_t(value - whole >= 0.5);
    return rounded < 0 ? 0 : (rounded > 255 ? 255 : rounded);
}

inline void RgbaToPlanesBody(const uint8_t* __restrict rgba, size_t count, uint8_t* __restrict y,
                             uint8_t* __restrict cb, uint8_t* __restrict cr) {
    constexpr double kToCb = 1.0 / (2.0 * (1.0 - kKb));
    constexpr double kToCr = 1.0 / (2.0 * (1.0 - kKr));
    for (size_t i = 0; i < count; ++i) {
        const double r = rgba[i * 4], g = rgba[i * 4 + 1], b = rgba[i * 4 + 2];
        const double luma = kKr * r + kKg * g + kKb * b;
        y[i] = uint8_t(ToSample(16.0 + kYScale * luma));
        cb[i] = uint8_t(ToSample(128.0 + kCScale * (b - luma) * kToCb));
        cr[i] = uint8_t(ToSample(128.0 + kCScale * (r - luma) * kToCr));
    }
}

inline void PlanesToRgbaBody(const uint8_t* __restrict y, const uint8_t* __restrict cb, const uint8_t* __restrict cr,
                             size_t count, uint8_t* __restrict rgba) {
    constexpr double kFromY = 1.0 / kYScale;
    constexpr double kFromCb = 1.0 / kCScale * 2.0 * (1.0 - kKb);
    constexpr double kFromCr = 1.0 / kCScale * 2.0 * (1.0 - kKr);
    constexpr double kFromG = 1.0 / kKg;
    for (size_t i = 0; i < count; ++i) {
        const double luma = (y[i] - 16.0) * kFromY;
        const double blue = (cb[i] - 128.0) * kFromCb;
        const double red = (cr[i] - 128.0) * kFromCr;
        rgba[i * 4] = uint8_t(ToSample(luma + red));
        rgba[i * 4 + 1] = uint8_t(ToSample((luma - kKr * (luma + red) - kKb * (luma + blue)) * kFromG));
        rgba[i * 4 + 2] = uint8_t(ToSample(luma + blue));
    }
}
