// A perceptual measure of a distorted picture against its original: a
// score up to 100 (identical pictures), about 90 for a distortion hard to
// see, 70 for a good coding, 50 for a medium one, and below 0 for pictures
// that have little left of the original.
//
// How a pair of 8-bit RGB pictures is scored:
// - Samples are sRGB-coded; they become linear light (the sRGB curve) and
//   then the measure's XYB space: the cube roots of three cone-like mixtures
//   of linear R, G, B, as X (red-green), Y (luminance) and B - Y, each
//   shifted and scaled into about 0..1 (ssimulacra2_kernels.h has the
//   arithmetic).
// - Six scales: the full picture, then each scale the 2x2 means of the
//   previous one in linear light (an odd last row or column averaged with
//   itself), converted to XYB again. Scales stop before the first one under
//   8 pixels either way.
// - At every scale, for each of X, Y, B: the means mu, squares and cross
//   product of both pictures blurred by a Gaussian of sigma 1.5 (a
//   recursive filter, zero outside the picture), and three error maps:
//     SSIM:    1 - (1 - (mu1 - mu2)^2) (2 sigma12 + C2) / (sigma1^2 + sigma2^2 + C2)
//              (no constant and no denominator on the means: the values are
//              already perceptual, so dark and bright errors weigh alike)
//     ringing: the distorted picture has an edge where the original is smooth,
//              max(0, (1 + |dist - mu2|) / (1 + |orig - mu1|) - 1)
//     blur:    the original has an edge where the distorted is smooth,
//              the same ratio's shortfall below 1.
//   Each map gives its mean (1-norm) and the 4th root of the mean of 4th
//   powers (4-norm).
// - The 108 values (3 channels x 6 scales x 2 norms x 3 maps) are weighted
//   by fixed weights, in the order channel, scale, norm, map over the scales
//   that were measured (a picture with fewer scales takes the first
//   weights), and the sum s becomes the score
//       t = 0.9562382616834844 s,  u = 2.326765642916932 t
//           - 0.020884521182843837 t^2 + 6.248496625763138e-05 t^3,
//       score = 100 - 10 u^0.6276336467831387  (100 when u <= 0).
// - A picture under 8 pixels either way has no score (NaN), as SSIM has
//   none for a plane without a window.
//
// Coded frames are scored as RGB: both the original's planes and the
// reconstruction go through media's FrameToRgb (BT.601, studio range, each
// pixel taking the chroma sample that covers it), so every face scores a
// frame the same way.
//
// The score does not depend on the kernel build or the thread count.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/rgb_convert.h"
#include "media/y4m.h"
#include "quality/perceptual_measure.h"

namespace vardelk {

using Ssimulacra2Options = PerceptualOptions;

// The per-pixel error at full scale, row-major: for each pixel the sum over
// X, Y and B of its SSIM, ringing and blur errors, each weighted by the sum
// of its two full-scale weights. Larger is worse; 0 where the pictures agree.
struct Ssimulacra2Map {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<float> error;
};

// An original prepared once for many distorted pictures: its XYB planes at
// every scale with their blurred means and squares.
class Ssimulacra2Original {
public:
    explicit Ssimulacra2Original(const RgbImage& original, const Ssimulacra2Options& options = {});
    // A Y4M frame, converted to RGB by FrameToRgb.
    Ssimulacra2Original(const Y4mFormat& format, const Y4mFrame& frame, const Ssimulacra2Options& options = {});
    ~Ssimulacra2Original();
    Ssimulacra2Original(Ssimulacra2Original&&) noexcept;
    Ssimulacra2Original& operator=(Ssimulacra2Original&&) noexcept;

    int32_t Width() const;
    int32_t Height() const;

    // The distorted picture must have the original's size (std::invalid_argument
    // otherwise). The map, when asked for, is filled (left empty for a picture
    // without a score).
    double Score(const RgbImage& distorted, Ssimulacra2Map* map = nullptr) const;
    double Score(const Y4mFormat& format, const Y4mFrame& distorted, Ssimulacra2Map* map = nullptr) const;

    struct Data;

private:
    std::unique_ptr<Data> data_;
};

// One pair scored from scratch, with the least memory (nothing of the
// original kept beyond its XYB planes); the same score as through
// Ssimulacra2Original.
double Ssimulacra2(const RgbImage& original, const RgbImage& distorted, const Ssimulacra2Options& options = {},
                   Ssimulacra2Map* map = nullptr);
// Both frames of the format converted by FrameToRgb.
double Ssimulacra2Frames(const Y4mFormat& format, const Y4mFrame& original, const Y4mFrame& distorted,
                         const Ssimulacra2Options& options = {});

}  // namespace vardelk
