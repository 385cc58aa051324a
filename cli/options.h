// The command line: every option, its checks and the errors it reports.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli_error.h"
#include "clip/clip_job.h"
#include "codec/types.h"
#include "shared_options.h"

namespace vardelk {

struct CliOptions {
    std::string input;
    // The run's own outputs and measures, bound as the job takes them; the
    // run command fills in the rest of the job.
    ClipJob run;
    std::string scaleText = "1";
    bool nonLinear = false;
    bool alternateScan = false;
    bool interlaced = false;
    std::vector<std::string> matrices;
    std::string framesText;
    std::string stats;
    std::string statsFormat;
    std::string pictureFrameText = "0";
    std::string gainText = "8";
    bool sweep = false;
    bool sweepNonLinear = false;
    std::string codes;  // the sweep's scale codes as given
    std::string plot;
    bool quiet = false;
    std::string threadsText;
    std::string cpu;        // --cpu: the kernel builds allowed, empty for the environment's or all
    uint32_t cpuFlags = 0;  // the detected builds within --cpu (or VARDELK_CPU)
    bool ssimMap = false;
    bool ssimulacra2 = false;
    bool butteraugli = false;
    std::string bdMethod = "pchip";
    std::string plotMetric = "psnr";
    std::string writeMatrix;
    std::string matrixFormat = "plain";
    ModelOptions modelText{"filter", "", ""};  // the coding model's options as written
    std::string confirm;                       // --confirm: the encoder that checks a sweep, empty for none

    // Checked values, filled by CheckOptions.
    int32_t scaleCode = 1;
    int64_t maxFrames = -1;  // -1: all
    int32_t differenceGain = 8;
    int32_t threads = 1;  // --threads, or every core
    CodingModel model;    // the preset with the fields given on the command line
    // Whether the command line chose a model (or confirms a sweep): the CSV
    // then names it in a column of its own, and the picture in its caption.
    bool modelChosen = false;
};

void DefineOptions(CLI::App& app, CliOptions& options);

// Converts and range-checks the numeric options and rejects combinations
// that make no sense; throws UsageError naming the option and the value.
void CheckOptions(const CLI::App& app, CliOptions& options);

CodingSettings SettingsFrom(const CliOptions& options);

}  // namespace vardelk
