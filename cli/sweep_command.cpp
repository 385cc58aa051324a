#include "sweep_command.h"

#include <memory>

#include "clip/clip_source.h"
#include "command_common.h"
#include "interrupt.h"
#include "matrix_source.h"
#include "media/coded_planes.h"
#include "media/report_text.h"
#include "plot/rd_plot.h"
#include "progress.h"
#include "sweep/sweep_curves.h"
#include "sweep/sweep_report.h"
#include "sweep/sweep_text.h"

namespace vardelk {
namespace {

// The sweep runs the clip many times, so it is read into memory once.
std::vector<Y4mFrame> LoadClip(ClipSource& source, int64_t maxFrames) {
    std::vector<Y4mFrame> frames;
    Y4mFrame frame;
    while ((maxFrames < 0 || int64_t(frames.size()) < maxFrames) && source.ReadFrame(frame)) {
        ThrowIfInterrupted();
        frames.push_back(frame);
    }
    return frames;
}

BdInterpolation BdMethod(const std::string& name) {
    if (name == "akima") return BdInterpolation::kAkima;
    if (name == "cubic") return BdInterpolation::kCubicFit;
    return BdInterpolation::kPchip;
}

void WriteOutputs(const CliOptions& o, const SweepReport& report, const Y4mFormat& format, size_t frames) {
    PlacedOutputs placed;
    if (!o.plot.empty()) {
        const std::string name = o.input.substr(o.input.find_last_of('/') + 1);
        RdMetric metric = RdMetric::kPsnr;
        ParseRdMetric(o.plotMetric, &metric);  // checked with the options
        WriteRdPlot(o.plot, SweepRdCurves(report, metric),
                    name + ", " + std::to_string(frames) + " frame(s), " + std::to_string(format.width) + "x" +
                        std::to_string(format.height) + ", model " + report.model,
                    metric == RdMetric::kSsim ? "SSIM (all planes)" : RdMetricTitle(metric));
        placed.Placed(o.plot);
    }
    if (!o.stats.empty()) WriteOutputText(o.stats, o.statsFormat == "csv" ? SweepCsv(report) : SweepJson(report));
    placed.Done();
}

}  // namespace

int RunSweepCommand(const CliOptions& o) {
    const bool confirm = !o.confirm.empty();
    const std::string ffmpeg = confirm ? FfmpegConfirmer::Locate() : "";
    std::vector<NamedMatrix> matrices;
    for (const std::string& source : o.matrices) matrices.push_back(LoadMatrix(source));
    if (matrices.empty()) matrices.push_back(LoadMatrix("default"));
    for (const NamedMatrix& matrix : matrices) {
        if (confirm)
            CheckEncoderMatrix(matrix, PresetModel(EncoderPreset::kFfmpeg), "ffmpeg");
        else if (o.model.rule != QuantiserRule::kFilter)
            CheckEncoderMatrix(matrix, o.model, "the " + DescribeModel(o.model) + " model");
    }
    if (!o.plot.empty() && !IsPlotFileName(o.plot))  // refused before the work, not after it
        throw CliError("--plot " + o.plot + ": the plot is written as SVG or PNG; use a name ending in .svg or .png");
    CheckWritable(o.stats);
    CheckWritable(o.plot);
    std::unique_ptr<ClipSource> source = OpenClipSource(o.input, o.maxFrames > 0 ? int32_t(o.maxFrames) : 1);
    Y4mFormat format = source->Format();
    std::vector<Y4mFrame> clip = LoadClip(*source, o.maxFrames);
    if (clip.empty()) throw CliError(o.input + ": holds no frames");
    // The confirming encoder codes 4:2:0 only; so that both code the same
    // planes, the sweep codes the clip's 4:2:0 form too.
    if (confirm && format.chroma != ChromaFormat::k420) {
        clip = ConvertTo420(format, clip);
        format = CodedPlanesFormat(format);
    }

    // SSIMULACRA 2 is scored when asked for, or when the plot shows it.
    const bool s2 = o.ssimulacra2 || o.plotMetric == "ssimulacra2";
    std::unique_ptr<PerceptualOriginals> originals;
    if (s2) originals = std::make_unique<PerceptualOriginals>(format, clip, o.cpuFlags, o.threads);
    const std::vector<SweepMeasure>& measures = SweepMeasures(s2);

    const std::vector<SweepPoint> points = SweepPoints(matrices, SettingsFrom(o), o.sweepNonLinear);
    SweepReport report;
    report.ssimulacra2 = s2;
    report.input = o.input;
    report.model = DescribeModel(o.model);
    report.modelColumn = o.modelChosen;
    report.method = BdMethod(o.bdMethod);
    {
        Progress progress(int64_t(points.size()) * int64_t(clip.size()), !o.quiet && StderrIsTerminal());
        report.rows = RunSweep(clip, format, points, o.cpuFlags, o.threads,
                               {ThrowIfInterrupted, [&](int64_t done) { progress.Update(done); }}, originals.get());
    }
    if (confirm) {
        FfmpegConfirmer confirmer(ffmpeg, format, clip, [] {
            if (InterruptedOrArriving()) throw InterruptedError();  // Ctrl-C reaches ffmpeg too: stopped, not failed
        });
        confirmer.ScoreSsimulacra2(originals.get());
        Progress progress(int64_t(points.size()), !o.quiet && StderrIsTerminal());
        ConfirmSweep(confirmer, points, o.threads, {ThrowIfInterrupted, [&](int64_t done) { progress.Update(done); }},
                     report.rows);
        progress.Finish();
        report.confirmedBy = o.confirm;
        report.measuredBd = CompareWithAnchor(BdCurves(report.rows, true, s2), report.method, measures);
        for (BdReportRow& row : report.measuredBd)
            for (std::string& warning : row.warnings) warning = "measured by " + o.confirm + ", " + warning;
    }
    report.bd = CompareWithAnchor(BdCurves(report.rows, false, s2), report.method, measures);
    WriteOutputs(o, report, format, clip.size());
    if (std::FILE* text = TextStream(o)) PrintSweepReport(text, report);
    if (!o.quiet) {
        PrintBdWarnings(stderr, report.bd);
        PrintBdWarnings(stderr, report.measuredBd);
    }
    return 0;
}

}  // namespace vardelk
