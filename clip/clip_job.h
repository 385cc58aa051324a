// A run as one call: a clip and its settings in, every frame coded and
// measured over the threads and handed on in order, the reconstruction, the
// input's copy, the stream, the comparison picture and the figures' file
// written (all or none of them), the run's figures out. A face fills the
// job by field name, follows the frames through its callbacks and prints
// the report.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "clip/clip_runner.h"
#include "clip/run_report.h"
#include "codec/cpu.h"
#include "codec/types.h"
#include "media/rgb_convert.h"

namespace vardelk {

struct ClipJob {
    using DrawPicture =
        std::function<RgbImage(const ClipRunner& runner, const Y4mFrame& input, const FrameResult& frame)>;

    std::string input;               // a clip or picture, as OpenClipSource takes it
    int64_t maxFrames = -1;          // frames read at most, -1 for all (the built-in scene makes this many, else one)
    std::string matrix = "default";  // as LoadMatrix takes it
    CodingSettings settings;
    bool namesModel = false;           // the CSV names the model in a column of its own, the picture in a title
    uint32_t cpuFlags = kAllCpuFlags;  // the kernel builds the coders may use
    int32_t threads = 1;               // frames at once, or a single picture's macroblock rows
    bool ssim = false;
    bool ssimulacra2 = false;
    bool butteraugli = false;
    std::string logDir;     // the coefficient logs' folder (they hold the last frame; all on one thread); "" for none
    std::string output;     // the reconstruction, as OpenReconstructionSink takes it; "" for none
    std::string saveInput;  // the input frames as read, the same way; "" for none
    std::string stream;     // the MPEG-2 stream of the simulated levels; "" for none
    std::string stats;      // the figures as CSV or JSON ("-": standard output); "" for none
    bool statsJson = false;
    std::string picture;  // a PNG of one frame drawn by drawPicture; "" for none
    int64_t pictureFrame = 0;
    // The picture of frame pictureFrame, drawn from the runner that has just
    // coded it (its reconstruction and macroblock bits are the frame's);
    // needed with `picture`. The callbacks below may be left empty.
    DrawPicture drawPicture;

    // Asked before every frame is read and after it is coded; throws to stop.
    std::function<void()> checkStop;
    // A note on the matrix (entries no stream carries), before the work.
    std::function<void(const std::string& note)> matrixNote;
    // Once every output is open, before the first frame: the frames
    // expected, -1 when unknown.
    std::function<void(int64_t expectedFrames)> starting;
    // Each frame's figures in order, and the number of frames done.
    std::function<void(const FrameResult& frame, int64_t done)> frameDone;
};

struct ClipReport {
    RunDescription run;
    std::vector<FrameResult> frames;
    RunSummary summary;
    // The levels beyond what the stream carries that were clipped, and what
    // that means for its decoded picture; "" when there were none.
    std::string streamWarning;
};

// Runs the job and writes its files; throws ValueError of the field
// "input", "output", "saveInput", "logDir" or "pictureFrame" for a value it
// cannot take as such, ClipError and the libraries' errors for the rest.
ClipReport RunClipJob(const ClipJob& job);

// The form of the figures' file its name asks for: "csv" for "-" or a name
// ending in .csv, "json" for one ending in .json, "" for any other.
std::string StatsFormByName(const std::string& path);

}  // namespace vardelk
