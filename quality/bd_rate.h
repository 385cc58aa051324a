// Bjontegaard deltas between two rate-distortion curves: how much more or
// less rate a test curve needs than an anchor for the same quality (BD-rate),
// and how much quality it gains at the same rate (BD-quality).
//
// Both curves are turned into functions and integrated exactly:
// - BD-rate: log(rate) as a function of quality, averaged over the quality
//   range the two curves share; the mean difference d (test - anchor) gives
//   (e^d - 1) x 100 percent. Negative is better for the test curve.
// - BD-quality: quality as a function of log(rate), averaged over the shared
//   log-rate range; test minus anchor, in the quality's unit. Positive is
//   better for the test curve.
//
// Interpolations:
// - kPchip: piecewise cubic Hermite through the points with Fritsch-Carlson
//   slopes (harmonic means inside, the three-point shape-preserving formula
//   at the ends), as the usual scientific libraries compute it;
// - kAkima: piecewise cubic Hermite with Akima's slopes (two extra slopes
//   extrapolated at each end, weights |m[i+1] - m[i]|, the mean of the two
//   neighbouring slopes where both weights vanish);
// - kCubicFit: one cubic polynomial fitted by least squares to all points,
//   the original method; it needs four distinct abscissae.
//
// The quality axis is whatever the caller passes: PSNR in dB, or SSIM. For
// SSIM we pass its dB form -10 log10(1 - SSIM), which keeps the curves from
// bunching up below 1 and is what the codec comparison reports use; a
// BD-SSIM is then a difference of SSIM dB.
//
// Points with a quality that is not finite (PSNR of identical planes), or a
// rate that is not a positive finite number, are left out with a warning.
// A figure that cannot be computed (too few points left, two points at the
// same abscissa, curves that do not overlap) is marked so with the reason;
// nothing here throws on bad data.
#pragma once

#include <string>
#include <vector>

namespace vardelk {

struct BdPoint {
    double bytes = 0.0;
    double quality = 0.0;
};

enum class BdInterpolation { kPchip, kAkima, kCubicFit };

// "pchip", "akima" or "cubic", from one table that also parses and lists them.
const char* BdInterpolationName(BdInterpolation method);
// False, leaving *method alone, for a name of none.
bool ParseBdInterpolation(const std::string& name, BdInterpolation* method);
std::vector<std::string> BdInterpolationNames();

// One Bjontegaard figure, with the share of each curve's range it covered.
struct BdFigure {
    bool computable = false;
    double value = 0.0;          // percent for BD-rate, quality units for BD-quality
    std::string reason;          // why it is not computable
    double anchorOverlap = 0.0;  // shared range / anchor's range, 0..1
    double testOverlap = 0.0;    // shared range / test's range, 0..1
};

struct BdResult {
    BdFigure rate;     // BD-rate in percent, over the shared quality range
    BdFigure quality;  // BD-quality, over the shared log-rate range
    std::vector<std::string> warnings;
};

// Overlaps below this share of either curve's range earn a warning.
constexpr double kBdMinimumOverlap = 0.75;

// The points may come in any order. The two curves' warnings name them as
// "anchor" and "test".
BdResult BjontegaardDelta(const std::vector<BdPoint>& anchor, const std::vector<BdPoint>& test, BdInterpolation method);

}  // namespace vardelk
