#include "options.h"

#include <cstdint>
#include <cstdlib>

#include "clip/user_matrix.h"
#include "codec/cpu.h"
#include "codec/frame_coder.h"
#include "commands.h"
#include "matrix/known_matrices.h"
#include "media/file_name.h"
#include "pictures/picture_file.h"
#include "plot/rd_plot.h"
#include "quality/bd_rate.h"
#include "stream/stream_output.h"
#include "vardelk/version.h"

namespace vardelk {
void DefineOptions(CLI::App& app, CliOptions& o) {
    app.description(
        "Runs pictures or video through the simulated intra codec and reports the estimated size and the "
        "quality of the reconstruction.");
    app.add_option("-i,--input", o.input,
                   "Y4M file, - for Y4M on standard input, a .png or .jpg picture, or builtin:demo[:WxH] for the "
                   "built-in test scene")
        ->type_name("SOURCE");
    app.add_option(
           "-o,--output", o.run.output,
           "Reconstruction: .y4m, .png (%d for the frame number), .yc (raw host frames) or - for Y4M on standard output; .m2v writes the MPEG-2 stream instead")
        ->type_name("FILE");
    app.add_option("--stream", o.run.stream,
                   "Also write the MPEG-2 video stream of the simulated levels (.m2v), every frame an I picture")
        ->type_name("FILE");
    app.add_option("--save-input", o.run.saveInput,
                   "Also write the input frames as read (.y4m or .png), e.g. to keep the built-in scene")
        ->type_name("FILE");
    app.add_option("-s,--scale", o.scaleText, "Quantiser scale code, 1..31 (default 1)")->type_name("CODE");
    app.add_flag("--nonlinear", o.nonLinear, "Non-linear quantiser scale mapping");
    app.add_flag("--alternate-scan", o.alternateScan, "Alternate scan order for the bit estimate");
    app.add_flag("--interlaced", o.interlaced, "Interlaced (field) DCT");
    app.add_option("--log", o.run.logDir,
                   "Write the coefficient logs dct.txt and qdct.txt into this folder (they hold the last frame)")
        ->type_name("DIR");
    app.add_option("-m,--matrix", o.matrices,
                   "Intra matrix (default: default): a name from `vardelk matrices` (" + KnownMatrixNames() +
                       "), a matrix file (form recognised) or FORMAT:FILE, FORMAT " +
                       NameList(ReadMatrixFormNames(), "|", "|") + " (repeat for several in a sweep)")
        ->type_name("MATRIX");
    app.add_option(
           "--write-matrix", o.writeMatrix,
           "Write the matrix of -m (the first) to this file in --matrix-format; without --input nothing else is done")
        ->type_name("FILE");
    app.add_option("--matrix-format", o.matrixFormat,
                   "Form of --write-matrix: " + NameList(WrittenMatrixFormNames()) + " (default plain)")
        ->type_name("FORMAT")
        ->check(CLI::IsMember(WrittenMatrixFormNames()));
    app.add_option("-n,--frames", o.framesText,
                   "Process at most this many frames (the built-in scene makes this many; default 1)")
        ->type_name("N");
    app.add_option("--stats", o.stats,
                   "Write the figures as CSV or JSON (by name ending, or --stats-format); - for CSV on standard output")
        ->type_name("FILE");
    app.add_option("--stats-format", o.statsFormat, "csv or json")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"csv", "json"}));
    app.add_option("--picture", o.run.picture,
                   "Write a PNG comparing input, reconstruction, difference and bits per macroblock")
        ->type_name("FILE");
    app.add_option("--picture-frame", o.pictureFrameText, "Frame shown by --picture (default 0)")->type_name("N");
    app.add_option("--difference-gain", o.gainText, "Amplification of the difference in --picture, 1..64 (default 8)")
        ->type_name("GAIN");
    app.add_option(
           "--cpu", o.cpu,
           "Kernel builds the codec may use: plain, sse2, avx2 or auto (default auto, or the environment variable VARDELK_CPU); results do not depend on it")
        ->type_name("LEVEL")
        ->check(CLI::IsMember({"plain", "sse2", "avx2", "auto"}));
    app.add_flag("--ssim", o.run.ssim,
                 "Also measure SSIM per plane and overall, per frame and over the clip (the sweep always does)");
    app.add_flag("--ssimulacra2", o.ssimulacra2,
                 "Also score every frame by SSIMULACRA 2 (the 4:2:0 planes as RGB, BT.601 studio range): per frame "
                 "and over the clip, or in a sweep per point with its Bjontegaard figures; slow (about 0.2 s a "
                 "full-HD frame)");
    app.add_flag("--butteraugli", o.butteraugli,
                 "Also measure every frame's Butteraugli distance, max norm and 3-norm (the same RGB as "
                 "--ssimulacra2): per frame and over the clip, or in a sweep per point with its Bjontegaard figures "
                 "(on -ln of the 3-norm); slower still than SSIMULACRA 2");
    app.add_flag("--ssim-map", o.ssimMap, "Add a panel of luma SSIM per macroblock to --picture");
    app.add_flag("--sweep", o.sweep, "Run every scale code for each matrix and report size against PSNR");
    app.add_flag("--sweep-nonlinear", o.sweepNonLinear, "In a sweep, run the non-linear mapping as well");
    app.add_option("--codes", o.codes,
                   "In a sweep, the scale codes run: A..B or a list, at least 4 (default: every code, 1..31)")
        ->type_name("CODES");
    app.add_option("--plot", o.plot, "In a sweep, write the rate-distortion plot (.svg or .png)")->type_name("FILE");
    app.add_option("--plot-metric", o.plotMetric,
                   "Quality axis of the plot: psnr (luma, dB; default), ssim (all planes), ssimulacra2 or "
                   "butteraugli (-ln of the 3-norm; either measures the sweep by it)")
        ->type_name("METRIC")
        ->check(CLI::IsMember(NamesIn(kRdMetricNames)));
    app.add_option("--bd-method", o.bdMethod,
                   "Interpolation of the sweep's Bjontegaard figures: pchip (default), akima or cubic")
        ->type_name("METHOD")
        ->check(CLI::IsMember(BdInterpolationNames()));
    AddModelOptions(
        app, o.modelText,
        "Coding model: filter (default: the filter's own quantiser, the intra AC table and an unscaled 11-bit DC), or the model of a real encoder: ffmpeg, mpeg2enc or tm5, each with its own quantiser rounding, AC table and DC precision",
        "AC code table of the model: 0 the table shared with non-intra blocks, 1 the intra table (default: the "
        "encoder's)",
        "DC precision of the model, 8..11 bits (default: the encoder's)");
    app.add_option(
           "--confirm", o.confirm,
           "In a sweep, also code every point with this encoder (only ffmpeg for now; it must be on PATH) at the same settings, decode it, and report the measured bytes (the whole stream, headers included), PSNR, SSIM and Bjontegaard figures beside the predicted ones. A clip not in 4:2:0 is given to it as the 4:2:0 planes our coder codes, which every figure of the sweep is measured against; ffmpeg's non-linear mapping stops at code 28")
        ->type_name("ENCODER");
    app.set_version_flag("--version",
                         "vardelk " VARDELK_VERSION
                         "\n"
                         "Simulated MPEG-2 intra coding of pictures and video: estimated size and quality for a "
                         "quantiser matrix");
    app.add_flag("-q,--quiet", o.quiet, "Print nothing but errors (no table, summary or progress)");
    app.add_option(
           "-j,--threads", o.threadsText,
           "Threads to work on: frames of a clip, points of a sweep or the macroblock rows of a single picture at once; 1..1024 (default: every core). Results do not depend on it")
        ->type_name("N");
    app.footer(
        CommandsHelp() +
        "\n"
        "Exit status: 0 on success, 1 when input or output fails, 2 for a wrong command line, 130 when stopped by Ctrl-C.\n"
        "Example: ffmpeg -i clip.mp4 -f yuv4mpegpipe - | vardelk -i - -s 8 -o out.y4m --stats stats.json");
}

namespace {

// The kernel builds --cpu allows; without it, those the environment
// variable VARDELK_CPU names (ignored when it names none), or all.
uint32_t CpuMask(const std::string& option) {
    uint32_t mask = kAllCpuFlags;
    if (!option.empty()) {
        ParseCpuMask(option, mask);
    } else if (const char* name = std::getenv("VARDELK_CPU")) {
        ParseCpuMask(name, mask);
    }
    return mask;
}

void CheckSweepCombination(const CLI::App& app, const CliOptions& o) {
    if (o.sweep) {
        for (const char* name :
             {"--scale", "--nonlinear", "--output", "--save-input", "--picture", "--log", "--stream"}) {
            if (app.count(name) > 0) throw UsageError(std::string(name) + " cannot be used with --sweep");
        }
        return;
    }
    for (const char* name : {"--sweep-nonlinear", "--codes", "--plot", "--bd-method", "--plot-metric", "--confirm"}) {
        if (app.count(name) > 0) throw UsageError(std::string(name) + " needs --sweep");
    }
    if (o.matrices.size() > 1)
        throw UsageError("--matrix was given " + std::to_string(o.matrices.size()) +
                         " times; several matrices need --sweep");
}

void CheckStandardOutput(const CliOptions& o) {
    int users = 0;
    for (const std::string* name : {&o.run.output, &o.run.saveInput, &o.stats, &o.run.picture, &o.plot})
        users += *name == "-";
    if (users > 1) throw UsageError("only one output can go to standard output (-)");
    if (o.run.picture == "-" || o.plot == "-") throw UsageError("pictures and plots need a file name, not -");
}

}  // namespace

void CheckOptions(const CLI::App& app, CliOptions& o) {
    if (app.count("--matrix-format") > 0 && o.writeMatrix.empty())
        throw UsageError("--matrix-format needs --write-matrix");
    if (o.input.empty()) {
        if (!o.writeMatrix.empty()) return;  // a matrix converted from one form to another, nothing more
        throw UsageError("--input is required");
    }
    o.scaleCode = int32_t(ParseBoundedInteger("--scale", o.scaleText, kMinScaleCode, kMaxScaleCode, "the scale code"));
    if (!o.framesText.empty())
        o.maxFrames = ParseBoundedInteger("--frames", o.framesText, 1, INT32_MAX, "the frame count");
    o.run.pictureFrame = ParseBoundedInteger("--picture-frame", o.pictureFrameText, 0, INT32_MAX, "the frame number");
    o.differenceGain = int32_t(ParseBoundedInteger("--difference-gain", o.gainText, 1, 64, "the gain"));
    o.cpuFlags = DetectedCpuFlags() & CpuMask(o.cpu);
    o.threads = ParseThreads(o.threadsText);
    if (app.count("--picture-frame") > 0 && o.run.picture.empty()) throw UsageError("--picture-frame needs --picture");
    if (o.ssimMap && o.run.picture.empty()) throw UsageError("--ssim-map needs --picture");
    CheckStandardOutput(o);
    if (!o.run.picture.empty()) CheckPictureOutput(o.run.picture, "--picture");
    if (NamesPicture(o.run.output)) CheckPictureOutput(o.run.output, "--output");
    if (NamesPicture(o.run.saveInput)) CheckPictureOutput(o.run.saveInput, "--save-input");
    if (!o.stats.empty() && o.statsFormat.empty()) {
        o.statsFormat = StatsFormByName(o.stats);
        if (o.statsFormat.empty())
            throw UsageError("--stats " + o.stats + ": name it .csv or .json, or give --stats-format");
    }
    if (EndsWith(o.run.saveInput, ".yc"))
        throw UsageError("--save-input " + o.run.saveInput + ": the input copy is written as .y4m or .png");
    // A sweep ffmpeg confirms predicts with ffmpeg's model unless told otherwise.
    const bool confirmedModel = !o.confirm.empty() && app.count("--encoder") == 0;
    o.model = ParseModelOptions(confirmedModel ? "ffmpeg" : o.modelText.encoder, o.modelText.intraVlc,
                                o.modelText.dcPrecision);
    o.modelChosen =
        app.count("--encoder") + app.count("--intra-vlc") + app.count("--dc-precision") > 0 || !o.confirm.empty();
    if (!o.confirm.empty() && o.confirm != "ffmpeg")
        throw UsageError("--confirm " + o.confirm + ": only ffmpeg can confirm a sweep for now");
    CheckSweepCombination(app, o);
    if (IsStreamPath(o.run.output)) {
        if (!o.run.stream.empty())
            throw UsageError("--output " + o.run.output + " and --stream " + o.run.stream + ": one stream at a time");
        o.run.stream = o.run.output;
        o.run.output.clear();
    }
}

CodingSettings SettingsFrom(const CliOptions& o) {
    CodingSettings s;
    s.scaleCode = o.scaleCode;
    s.nonLinearScale = o.nonLinear;
    s.alternateScan = o.alternateScan;
    s.interlacedDct = o.interlaced;
    s.model = o.model;
    return s;
}

}  // namespace vardelk
