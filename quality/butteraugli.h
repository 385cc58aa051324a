// The Butteraugli distance of a distorted picture from its original, as the
// JPEG XL tools' `butteraugli_main` (libjxl 0.7) prints it: the largest
// per-pixel distance (the max norm) and the 3-norm of the per-pixel map.
// About 1 is a distortion at the edge of being seen, larger is worse; 0 for
// identical pictures.
//
// How a pair is measured (the program's defaults: a display of 80 nits,
// high-frequency asymmetry 0.8, no extra weight on X):
// - 8-bit samples are sRGB-coded; they become linear light in 0..1 (the
//   sRGB curve of quality/srgb_table.h) and are scaled by the
//   intensity target.
// - Opsin dynamics: three cone mixtures of the pixel, each scaled by the
//   sensitivity that a log-like gamma gives the same mixture of the picture
//   blurred by a 5x5 Gaussian (sigma 1.2, mirrored edges); X = m0 - m1,
//   Y = m0 + m1, B = m2.
// - Four frequency bands per channel from Gaussians of sigma 7.16 (low),
//   3.22 (middle) and 1.56 (high against ultra-high), each truncated at
//   2.25 sigma and renormalised over the samples inside the picture; the
//   bands of X and Y are reshaped around zero, X's high band damped where Y
//   changes, B keeps only its low and middle bands.
// - Per pixel, errors of the bands: Malta line filters (16 lines of 9 or 5
//   taps, zero outside the picture) over weighted, asymmetric differences,
//   squared differences, and the change of the masking activity; the
//   activity of the original (its high bands, blurred and eroded) turns the
//   summed errors into the pixel's distance sqrt(dc * MaskDc + ac * Mask).
// - The same at half resolution (2x2 means of linear light) when both sides
//   stay at least 8 pixels; the full map is scaled by 0.85 and gets half the
//   half map's nearest value.
// - Max norm: the largest pixel. 3-norm: the mean of the means of d^3, d^6
//   and d^12, each raised to one over its power.
//
// The program's own summation order is followed where it decides the
// result; elsewhere (its fused multiply-adds, its vector lanes) the figures
// differ from its within a few units of the last float place, well inside
// 0.1 % of either norm (tests/quality/butteraugli_test.cpp).
//
// Unlike the program, which returns 0 for a picture under 8 pixels either
// way (as if it were perfect), such a picture has no distance here (NaN).
//
// Coded frames are measured as RGB: both sides go through media's
// FrameToRgb (BT.601, studio range), as SSIMULACRA 2 takes them, so one
// conversion serves both measures. The figures do not depend on the kernel
// build or the thread count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "media/rgb_convert.h"
#include "media/y4m.h"
#include "quality/perceptual_measure.h"

namespace vardelk {

using ButteraugliOptions = PerceptualOptions;

struct ButteraugliDistance {
    double maxNorm = 0.0;
    double norm3 = 0.0;
};

// The per-pixel distances, row-major (filled when asked for; empty for a
// pair without a distance).
struct ButteraugliMap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<float> distance;
};

// A picture in linear light: three planes of width x height samples in
// 0..1, rows `stride` samples apart. The caller keeps the samples alive
// while they are measured.
struct LinearRgbPlanes {
    int32_t width = 0;
    int32_t height = 0;
    ptrdiff_t stride = 0;
    const float* plane[3] = {nullptr, nullptr, nullptr};
};

// 8-bit sRGB samples to linear light, as the measure reads them.
class LinearRgb {
public:
    explicit LinearRgb(const RgbImage& image);
    LinearRgbPlanes Planes() const;

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<float> planes_[3];
};

// An original prepared once for many distorted pictures: its frequency
// bands and masking at both resolutions.
class ButteraugliOriginal {
public:
    explicit ButteraugliOriginal(const RgbImage& original, const ButteraugliOptions& options = {});
    ButteraugliOriginal(const Y4mFormat& format, const Y4mFrame& frame, const ButteraugliOptions& options = {});
    ButteraugliOriginal(const LinearRgbPlanes& original, const ButteraugliOptions& options = {});
    ~ButteraugliOriginal();
    ButteraugliOriginal(ButteraugliOriginal&&) noexcept;
    ButteraugliOriginal& operator=(ButteraugliOriginal&&) noexcept;

    int32_t Width() const;
    int32_t Height() const;

    // The distorted picture must have the original's size
    // (std::invalid_argument otherwise).
    ButteraugliDistance Measure(const RgbImage& distorted, ButteraugliMap* map = nullptr) const;
    ButteraugliDistance Measure(const Y4mFormat& format, const Y4mFrame& distorted,
                                ButteraugliMap* map = nullptr) const;
    ButteraugliDistance Measure(const LinearRgbPlanes& distorted, ButteraugliMap* map = nullptr) const;

    struct Data;

private:
    std::unique_ptr<Data> data_;
};

// One pair from scratch, with the least memory: the original's bands are
// made beside the distorted picture's and dropped as soon as they are used.
// The same figures as through ButteraugliOriginal.
ButteraugliDistance Butteraugli(const RgbImage& original, const RgbImage& distorted,
                                const ButteraugliOptions& options = {}, ButteraugliMap* map = nullptr);
ButteraugliDistance Butteraugli(const LinearRgbPlanes& original, const LinearRgbPlanes& distorted,
                                const ButteraugliOptions& options = {}, ButteraugliMap* map = nullptr);
// Both frames of the format converted by FrameToRgb.
ButteraugliDistance ButteraugliFrames(const Y4mFormat& format, const Y4mFrame& original, const Y4mFrame& distorted,
                                      const ButteraugliOptions& options = {});

}  // namespace vardelk
