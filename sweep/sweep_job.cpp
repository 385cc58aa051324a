#include "sweep/sweep_job.h"

#include <memory>

#include "clip/clip_source.h"
#include "clip/job_outputs.h"
#include "clip/user_matrix.h"
#include "parallel/heap_reuse.h"
#include "sweep/sweep_curves.h"
#include "sweep/sweep_error.h"

namespace vardelk {
namespace {

// The sweep codes the clip many times, so it is read into memory once.
std::vector<Y4mFrame> LoadClip(ClipSource& source, int64_t maxFrames, const std::function<void()>& checkStop) {
    std::vector<Y4mFrame> frames;
    Y4mFrame frame;
    while ((maxFrames < 0 || int64_t(frames.size()) < maxFrames) && source.ReadFrame(frame)) {
        if (checkStop) checkStop();
        frames.push_back(frame);
    }
    return frames;
}

void WriteOutputs(const SweepJob& job, const SweepReport& report, const Y4mFormat& format, size_t frames) {
    PlacedOutputs placed;
    if (!job.plot.empty()) {
        const std::string name = job.input.substr(job.input.find_last_of('/') + 1);
        WriteRdPlot(job.plot, SweepRdCurves(report, job.plotMetric),
                    name + ", " + std::to_string(frames) + " frame(s), " + std::to_string(format.width) + "x" +
                        std::to_string(format.height) + ", model " + report.model,
                    RdMetricTitle(job.plotMetric));
        placed.Placed(job.plot);
    }
    if (!job.stats.empty()) WriteOutputText(job.stats, job.statsJson ? SweepJson(report) : SweepCsv(report));
    placed.Done();
}

}  // namespace

SweepReport RunSweepJob(const SweepJob& job) {
    ReuseFreedLargeBlocks();  // every matrix measures many points
    const std::string ffmpeg = job.confirm ? FfmpegConfirmer::Locate() : "";
    std::vector<NamedMatrix> matrices;
    for (const std::string& source : job.matrices) matrices.push_back(LoadMatrix(source));
    if (matrices.empty()) matrices.push_back(LoadMatrix("default"));
    for (const NamedMatrix& matrix : matrices) {
        if (job.confirm)
            CheckEncoderMatrix(matrix, PresetModel(EncoderPreset::kFfmpeg), "ffmpeg");
        else if (job.settings.model.rule != QuantiserRule::kFilter)
            CheckEncoderMatrix(matrix, job.settings.model, "the " + DescribeModel(job.settings.model) + " model");
    }
    std::vector<std::string> notes;
    for (const NamedMatrix& matrix : matrices)
        if (!StreamMatrixNote(matrix).empty()) notes.push_back(StreamMatrixNote(matrix));
    if (!job.plot.empty() && !IsPlotFileName(job.plot))  // refused before the work, not after it
        throw ValueError("plot", job.plot + ": the plot is written as SVG or PNG; use a name ending in .svg or .png");
    CheckWritable(job.stats);
    CheckWritable(job.plot);
    std::unique_ptr<ClipSource> source = OpenClipSource(job.input, job.maxFrames > 0 ? int32_t(job.maxFrames) : 1);
    const Y4mFormat format = source->Format();
    const std::vector<Y4mFrame> clip = LoadClip(*source, job.maxFrames, job.checkStop);
    if (clip.empty()) throw SweepError(job.input + ": holds no frames");

    const bool s2 = job.ssimulacra2 || job.plotMetric == RdMetric::kSsimulacra2;
    const bool butteraugli = job.butteraugli || job.plotMetric == RdMetric::kButteraugli;
    std::unique_ptr<PerceptualOriginals> originals;
    if (s2 || butteraugli)
        originals = std::make_unique<PerceptualOriginals>(format, clip, job.cpuFlags, job.threads, s2, butteraugli);
    const std::vector<SweepMeasure>& measures = SweepMeasures(s2, butteraugli);

    const std::vector<SweepPoint> points = SweepPoints(matrices, job.settings, job.bothMappings, job.scaleCodes);
    const auto progress = [&](int64_t total) {
        return [&job, total](int64_t done) {
            if (job.progress) job.progress(done, total);
        };
    };
    SweepReport report;
    report.ssimulacra2 = s2;
    report.butteraugli = butteraugli;
    report.input = job.input;
    report.width = format.width;
    report.height = format.height;
    report.model = DescribeModel(job.settings.model);
    report.modelColumn = job.modelColumn;
    report.method = job.method;
    report.matrixNotes = notes;
    if (format.chroma == ChromaFormat::k422 || format.chroma == ChromaFormat::k444)
        report.reference = kCodedPlanesReference;
    report.rows = RunSweep(clip, format, points, job.cpuFlags, job.threads,
                           {job.checkStop, progress(int64_t(points.size()) * int64_t(clip.size()))}, originals.get());
    if (job.confirm) {
        // The confirming encoder codes 4:2:0 only: it is given the planes our
        // coder codes of the clip, which every figure is measured against.
        std::vector<Y4mFrame> converted;
        if (format.chroma != ChromaFormat::k420) converted = ConvertTo420(format, clip);
        FfmpegConfirmer confirmer(ffmpeg, format, format.chroma == ChromaFormat::k420 ? clip : converted,
                                  job.checkStopArriving);
        confirmer.MeasurePerceptual(originals.get());
        ConfirmSweep(confirmer, points, job.threads, {job.checkStop, progress(int64_t(points.size()))}, report.rows);
        report.confirmedBy = "ffmpeg";
        report.measuredBd = CompareWithAnchor(BdCurves(report.rows, true, s2, butteraugli), report.method, measures);
        for (BdReportRow& row : report.measuredBd)
            for (std::string& warning : row.warnings) warning = "measured by " + report.confirmedBy + ", " + warning;
    }
    report.bd = CompareWithAnchor(BdCurves(report.rows, false, s2, butteraugli), report.method, measures);
    WriteOutputs(job, report, format, clip.size());
    return report;
}

}  // namespace vardelk
