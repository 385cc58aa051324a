// The rate-distortion sweep: every scale code, for each matrix and scale
// mapping, over the same clip.
#pragma once

#include <string>
#include <vector>

#include "bd_report.h"
#include "matrix_source.h"
#include "media/psnr.h"
#include "options.h"
#include "quality/ssim.h"

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
    FrameError error;  // pooled over the clip
    FrameSsim ssim;    // pooled over the clip
};

// A curve's label, "<matrix file name> <mapping>", as the plot and the
// Bjontegaard figures name it.
std::string CurveLabel(const SweepRow& row);

// Returns the exit status; throws CliError or MediaError on failure.
int RunSweepCommand(const CliOptions& options);

// With Bjontegaard figures (rows after the anchor's curve), the CSV gains
// their four columns on every row of the curve they describe (empty on the
// anchor's rows) and the JSON a "bd" member.
std::string SweepCsv(const std::vector<SweepRow>& rows, const std::vector<BdReportRow>& bd = {});
std::string SweepJson(const std::string& input, const std::vector<SweepRow>& rows,
                      const std::vector<BdReportRow>& bd = {}, BdInterpolation method = BdInterpolation::kPchip);

}  // namespace vardelk
