// Structural similarity (SSIM) of 8-bit planes, computed on the sums of 4x4
// blocks the way the common video tools do it, so that our figures can be
// checked against theirs.
//
// How a plane is measured:
// - The plane is cut into whole 4x4 blocks; columns and rows past the last
//   whole block (width % 4, height % 4) take no part.
// - Every 2x2 group of neighbouring blocks is an unweighted 8x8 window, so
//   windows overlap and step by 4 pixels: (width/4 - 1) x (height/4 - 1) of
//   them. Each window's SSIM comes from the integer sums s1 = sum a,
//   s2 = sum b, ss = sum a^2 + b^2, s12 = sum ab over its 64 samples:
//       SSIM = (2 s1 s2 + c1)(2 (64 s12 - s1 s2) + c2)
//            / ((s1^2 + s2^2 + c1)(64 ss - s1^2 - s2^2 + c2))
//   with c1 = round(0.01^2 255^2 64) = 416 and
//   c2 = round(0.03^2 255^2 64 63) = 235963; the two factors are formed in
//   single precision from the exact integers, as the reference tools do.
// - The plane's SSIM is the mean over its windows. A plane too small to
//   hold one window (under 8 pixels either way) has no SSIM.
// - A frame's overall SSIM is the mean of its planes weighted by their
//   sample counts (planes without a window left out).
// - Over a clip, each plane's figure and the overall figure are the means of
//   the per-frame figures.
// The dB form is -10 log10(1 - SSIM), +infinity for identical pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/y4m.h"

namespace vardelk {

// One plane's SSIM summed over frames, so that a clip can be pooled.
struct PlaneSsim {
    double ssimSum = 0.0;  // sum of the per-frame SSIM values
    double frames = 0.0;   // frames that had at least one window

    void Add(const PlaneSsim& other) {
        ssimSum += other.ssimSum;
        frames += other.frames;
    }
    bool Measured() const { return frames > 0; }
    // Mean SSIM; NaN when no frame had a window.
    double Ssim() const;
    double Db() const;
};

// The three planes and the overall figure of one frame or of a pooled clip.
struct FrameSsim {
    PlaneSsim y, cb, cr;
    PlaneSsim all;  // the per-frame weighted means, pooled the same way

    void Add(const FrameSsim& other) {
        y.Add(other.y);
        cb.Add(other.cb);
        cr.Add(other.cr);
        all.Add(other.all);
    }
};

// SSIM of a width x height plane against a reference of the same size
// (the order does not matter: the measure is symmetric). Strides in bytes.
PlaneSsim ComparePlaneSsim(const uint8_t* reference, ptrdiff_t referenceStride, const uint8_t* test,
                           ptrdiff_t testStride, int32_t width, int32_t height);

// All planes of a frame in the given format; mono frames give only y.
// Throws std::invalid_argument when a plane does not have the format's size.
FrameSsim CompareFramesSsim(const Y4mFormat& format, const Y4mFrame& reference, const Y4mFrame& test);

// -10 log10(1 - ssim); +infinity at 1, NaN for NaN.
double SsimDb(double ssim);

// Luma SSIM per 16x16 macroblock for a picture panel, row-major,
// MacroblockColumns(width) x MacroblockRows(height) entries. A window
// belongs to the macroblock holding its top-left pixel, and a macroblock's
// value is the mean of its windows. Macroblocks where no window starts (along
// the right and bottom edges of sizes that are not multiples of 16) get NaN.
std::vector<double> MacroblockSsimMap(const uint8_t* reference, ptrdiff_t referenceStride, const uint8_t* test,
                                      ptrdiff_t testStride, int32_t width, int32_t height);

}  // namespace vardelk
