// The rate-distortion sweep: every scale code, for each matrix and scale
// mapping, over the same clip.
#pragma once

#include <string>
#include <vector>

#include "matrix_source.h"
#include "media/psnr.h"
#include "options.h"

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
};

// Returns the exit status; throws CliError or MediaError on failure.
int RunSweepCommand(const CliOptions& options);

std::string SweepCsv(const std::vector<SweepRow>& rows);
std::string SweepJson(const std::string& input, const std::vector<SweepRow>& rows);

}  // namespace vardelk
