// The rate-distortion sweep: every scale code, for each matrix and scale
// mapping, coded over the same clip, each point pooled over its frames;
// optionally each point coded again by ffmpeg and measured (the
// confirmation); the Bjontegaard curves of either.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "clip/user_matrix.h"
#include "codec/types.h"
#include "media/psnr.h"
#include "media/y4m.h"
#include "quality/ssim.h"
#include "sweep/bd_report.h"
#include "sweep/ffmpeg_points.h"
#include "sweep/perceptual_originals.h"

namespace vardelk {

struct SweepRow {
    std::string matrix;
    bool nonLinear = false;
    int32_t scaleCode = 0;
    int32_t quantiserScale = 0;
    int64_t frames = 0;
    int64_t totalBytes = 0;
    double meanBytes = 0.0;
    double bitRate = 0.0;
    FrameError error;                 // pooled over the clip
    FrameSsim ssim;                   // pooled over the clip
    double ssimulacra2 = 0;           // the mean of the frames' scores, when the sweep scores them
    ButteraugliDistance butteraugli;  // the means of the frames' norms, when the sweep measures them
    MeasuredPoint measured;           // the confirming encoder's, when the sweep is confirmed
};

// One point of a sweep: a matrix (which must outlive the point) and the
// settings with its scale code and mapping.
struct SweepPoint {
    const NamedMatrix* matrix;
    CodingSettings settings;
};

// The scale codes (every one, 1..31, when `codes` is empty) for each
// matrix, with the linear mapping, then with the non-linear one too when
// `bothMappings`, each from `base`.
std::vector<SweepPoint> SweepPoints(const std::vector<NamedMatrix>& matrices, const CodingSettings& base,
                                    bool bothMappings, const std::vector<int32_t>& codes = {});

// What a running sweep tells its caller and asks of it.
struct SweepHooks {
    // Called before every frame and every confirming run; throws to stop
    // the sweep (the exception reaches the sweep's caller).
    std::function<void()> checkStop;
    // Called with the count of work done so far (frames, or confirmed
    // points), one call at a time.
    std::function<void(int64_t done)> progress;
};

// Codes every point over the clip, the points at once on `threads`; the
// rows come in the points' order. With `perceptual` (the clip's originals)
// every frame is measured by its measures (SSIMULACRA 2, Butteraugli) too.
std::vector<SweepRow> RunSweep(const std::vector<Y4mFrame>& clip, const Y4mFormat& format,
                               const std::vector<SweepPoint>& points, uint32_t cpuFlags, int32_t threads,
                               const SweepHooks& hooks, const PerceptualOriginals* perceptual = nullptr);

// Every point coded by the confirming encoder, several at once; each result
// lands in its row (rows[i] for points[i]) whatever the order they finish in.
void ConfirmSweep(const FfmpegConfirmer& confirmer, const std::vector<SweepPoint>& points, int32_t threads,
                  const SweepHooks& hooks, std::vector<SweepRow>& rows);

// A curve's label, "<matrix file name> <mapping>", as the plot and the
// Bjontegaard figures name it.
std::string CurveLabel(const SweepRow& row);
const char* MappingName(bool nonLinear);

// The Bjontegaard curves of the predicted points, or of the measured ones
// (points the encoder could not code left out), with the qualities of
// SweepMeasures(ssimulacra2, butteraugli).
std::vector<BdCurve> BdCurves(const std::vector<SweepRow>& rows, bool measured, bool ssimulacra2 = false,
                              bool butteraugli = false);

}  // namespace vardelk
