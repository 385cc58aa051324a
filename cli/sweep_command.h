// The rate-distortion sweep: every scale code, for each matrix and scale
// mapping, over the same clip.
#pragma once

#include <string>
#include <vector>

#include "bd_report.h"
#include "ffmpeg_confirm.h"
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
    FrameError error;        // pooled over the clip
    FrameSsim ssim;          // pooled over the clip
    MeasuredPoint measured;  // the confirming encoder's, when the sweep is confirmed
};

// Everything a sweep reports.
struct SweepReport {
    std::string input;
    std::string model;         // the coding model, as DescribeModel() names it
    bool modelColumn = false;  // the CSV names the model in a column of its own
    std::vector<SweepRow> rows;
    std::vector<BdReportRow> bd;  // predicted curves against the first
    BdInterpolation method = BdInterpolation::kPchip;
    std::string confirmedBy;              // the encoder that measured every point; "" for none
    std::vector<BdReportRow> measuredBd;  // its curves against its first
};

// A curve's label, "<matrix file name> <mapping>", as the plot and the
// Bjontegaard figures name it.
std::string CurveLabel(const SweepRow& row);

// Returns the exit status; throws CliError or MediaError on failure.
int RunSweepCommand(const CliOptions& options);

// With Bjontegaard figures (rows after the anchor's curve), the CSV gains
// their four columns on every row of the curve they describe (empty on the
// anchor's rows) and the JSON a "bd" member. A confirmed sweep adds the
// measured figures: CSV columns "measured_..." (empty where a point was not
// measured) and a JSON "confirmed" member. The model's CSV column comes last.
std::string SweepCsv(const SweepReport& report);
std::string SweepJson(const SweepReport& report);

}  // namespace vardelk
