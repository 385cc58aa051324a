// The sweep as one call: a clip, the matrices and the settings in, every
// point coded (and, when asked, confirmed by ffmpeg), the Bjontegaard
// figures taken, the plot and the figures' file written, the report out.
// A face fills the job by field name, calls and prints the report.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/cpu.h"
#include "codec/types.h"
#include "plot/rd_plot.h"
#include "quality/bd_rate.h"
#include "sweep/sweep_report.h"

namespace vardelk {

struct SweepJob {
    std::string input;       // a clip or picture, as OpenClipSource takes it
    int64_t maxFrames = -1;  // frames read at most, -1 for all (the built-in scene makes this many, else one)
    std::vector<std::string> matrices;  // as LoadMatrix takes them; none: the default
    CodingSettings settings;            // every point's, but for its scale code and mapping
    bool bothMappings = false;          // the non-linear mapping as well as the linear one
    std::vector<int32_t> scaleCodes;    // the codes swept (each in 1..31, sorted); none: every one
    bool modelColumn = false;           // the CSV names the model in a column of its own
    uint32_t cpuFlags = kAllCpuFlags;   // the kernel builds the coders may use
    int32_t threads = 1;
    bool ssimulacra2 = false;  // every point scored by SSIMULACRA 2 (also when the plot shows it)
    bool butteraugli = false;  // every point measured by Butteraugli (also when the plot shows it)
    BdInterpolation method = BdInterpolation::kPchip;
    bool confirm = false;  // ffmpeg codes every point too (of the clip's 4:2:0 form)
    std::string plot;      // .svg or .png; "" for none
    RdMetric plotMetric = RdMetric::kPsnr;
    std::string stats;  // the figures as CSV or JSON ("-": standard output); "" for none
    bool statsJson = false;

    // Asked before every frame and every run of ffmpeg; throws to stop.
    std::function<void()> checkStop;
    // Asked when a run of ffmpeg fails: throws when the failure is a stop on
    // its way (Ctrl-C reaches ffmpeg too), so that it ends the sweep as one.
    std::function<void()> checkStopArriving;
    // The work done so far of `total`: frames coded, then points confirmed.
    std::function<void(int64_t done, int64_t total)> progress;
};

// Runs the job and writes its plot and figures (all or none of them);
// throws ValueError of the field "input", "plot" or "confirm" for a value
// it cannot take as such, SweepError and the libraries' errors for the rest.
SweepReport RunSweepJob(const SweepJob& job);

}  // namespace vardelk
