// Two pictures, or two clips frame by frame, measured against each other:
// PSNR of Y, Cb and Cr, SSIM, SSIMULACRA 2 and Butteraugli. Two PNG or JPEG
// pictures are compared as Y'CbCr 4:4:4 (PSNR, SSIM, as every picture is
// read) and scored by SSIMULACRA 2 and Butteraugli in their own RGB; anything else is read as a clip (a
// picture being a one-frame 4:4:4 clip), each frame scored through
// FrameToRgb.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "media/psnr.h"
#include "media/y4m.h"
#include "quality/butteraugli.h"
#include "quality/ssim.h"
#include "quality/ssimulacra2.h"

namespace vardelk {

struct PairFigures {
    FrameError error;
    FrameSsim ssim;
    double ssimulacra2 = 0;
    ButteraugliDistance butteraugli;
};

struct PairMeasure {
    Y4mFormat format;
    std::vector<PairFigures> frames;
};

// Throws ClipError naming both inputs when they differ in size, in chroma
// layout (clips) or in length, or when the reference holds no frames; the
// readers' errors for a file they cannot read. Butteraugli runs on the
// threads and kernels of `options`. `checkStop` is called before
// each frame of a clip and may throw to stop the work.
PairMeasure MeasurePair(const std::string& reference, const std::string& distorted, const Ssimulacra2Options& options,
                        const std::function<void()>& checkStop);

// Over a clip: PSNR of the pooled squared error, SSIM, SSIMULACRA 2 and
// both Butteraugli norms the mean of the frames'.
PairFigures MeanFigures(const std::vector<PairFigures>& frames);

}  // namespace vardelk
