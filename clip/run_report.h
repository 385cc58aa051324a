// What a run reports: a line per frame and a summary for people, and the
// same figures as CSV or JSON for programs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "clip/clip_runner.h"
#include "matrix/matrix_files.h"

namespace vardelk {

struct RunDescription {
    std::string input;
    Y4mFormat format;
    CodingSettings settings;
    std::string matrixName;  // as the user named it
    MatrixEntries matrix{};
};

struct RunSummary {
    int64_t frames = 0;
    int64_t totalBytes = 0;
    double meanBytes = 0.0;
    double bitRate = 0.0;  // bits per second at the clip's frame rate
    FrameError error;      // pooled over all frames: PSNR of the mean MSE
    bool hasSsim = false;
    FrameSsim ssim;  // pooled over all frames: the mean of the frames' SSIM
    bool hasSsimulacra2 = false;
    double ssimulacra2 = 0.0;  // the mean of the frames' scores
    bool hasButteraugli = false;
    ButteraugliDistance butteraugli;  // the means of the frames' norms
    bool hasStream = false;
    FrameAccounting stream;  // summed over the frames, the stream's end code included
};

// Adds one frame's (or the end code's) stream accounting to a total.
void AddAccounting(FrameAccounting& total, const FrameAccounting& part);

RunSummary Summarise(const std::vector<FrameResult>& frames, const Y4mFormat& format);

// Human-readable lines; the SSIM, SSIMULACRA 2 and Butteraugli columns
// appear when the run measures them.
void PrintFrameHeader(std::FILE* out, bool ssim, bool stream, bool ssimulacra2 = false, bool butteraugli = false);
void PrintFrameLine(std::FILE* out, const FrameResult& frame);
void PrintSummary(std::FILE* out, const RunDescription& run, const RunSummary& summary);

// Machine-readable forms. Infinite PSNR (identical planes) is "inf" in CSV
// and null in JSON; SSIM, SSIMULACRA 2 and Butteraugli (max norm and
// 3-norm) columns and fields appear when the run measures them (a score too small to take is "nan" in CSV, null in
// JSON). The CSV ends with a column naming the coding model when `model` is given; the JSON's settings always name it.
std::string RunCsv(const std::vector<FrameResult>& frames, const RunSummary& summary, const std::string& model = "");
std::string RunJson(const RunDescription& run, const std::vector<FrameResult>& frames, const RunSummary& summary);

}  // namespace vardelk
