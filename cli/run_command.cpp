#include "run_command.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "clip/clip_runner.h"
#include "clip/clip_source.h"
#include "clip/frame_pipeline.h"
#include "clip/job_outputs.h"
#include "clip/reconstruction_sink.h"
#include "clip/run_report.h"
#include "clip/user_matrix.h"
#include "command_common.h"
#include "interrupt.h"
#include "media/file_name.h"
#include "pictures/png_file.h"
#include "plot/canvas.h"
#include "plot/side_by_side.h"
#include "progress.h"
#include "stream/stream_output.h"

namespace vardelk {
namespace {

// Checks that the coefficient logs can be created in `dir` (the pipeline
// itself skips a log it cannot open without a word).
void CheckLogFolder(const std::string& dir) {
    if (dir.empty()) return;
    for (const char* name : {"/dct.txt", "/qdct.txt"}) {
        const std::string path = dir + name;
        std::FILE* file = std::fopen(path.c_str(), "a");
        if (file == nullptr) throw CliError("--log " + dir + ": cannot write " + path);
        std::fclose(file);
    }
}

// Everything a run writes besides the table, opened before the work starts.
struct RunOutputs {
    std::unique_ptr<ReconstructionSink> reconstruction;
    std::unique_ptr<ReconstructionSink> inputCopy;
    std::optional<Canvas> picture;
    std::unique_ptr<StreamOutput> stream;
};

// The settings a run codes with, for the caption of its pictures: "scale
// code 8 (qscale 16), linear mapping, matrix default, model filter", with the
// scan and field DCT when they are not the usual.
std::string RunCaption(const CliOptions& o) {
    const CodingSettings s = SettingsFrom(o);
    std::string text = "scale code " + std::to_string(s.scaleCode) + " (qscale " +
                       std::to_string(QuantiserScale(s.scaleCode, s.nonLinearScale)) + "), " +
                       (s.nonLinearScale ? "non-linear" : "linear") + " mapping, matrix " +
                       (o.matrices.empty() ? std::string("default") : o.matrices.front()) + ", model " +
                       DescribeModel(s.model);
    if (s.alternateScan) text += ", alternate scan";
    if (s.interlacedDct) text += ", field DCT";
    return text;
}

Canvas Comparison(const ClipRunner& runner, const Y4mFrame& input, const FrameResult& r, const CliOptions& o) {
    ComparisonInput in{
        &runner.Format(), &input,  &runner.Reconstruction(), &runner.MacroblockBits(), runner.MacroblockColumnCount(),
        int32_t(r.index), r.bytes, o.differenceGain};
    if (o.modelChosen) in.model = DescribeModel(o.model);
    in.caption = o.input.substr(o.input.find_last_of('/') + 1) + ": " + RunCaption(o);
    std::vector<double> ssimMap;
    if (o.ssimMap) {
        const Y4mFormat& f = runner.Format();
        ssimMap =
            MacroblockSsimMap(input.y.data(), f.width, runner.Reconstruction().y.data(), f.width, f.width, f.height);
        in.ssimMap = &ssimMap;
    }
    return DrawComparison(in);
}

// Whole outputs are written first, then the streamed ones committed, so that
// a failure part-way takes back what the run had already placed.
void Finish(const CliOptions& o, RunOutputs& outputs, const RunDescription& run,
            const std::vector<FrameResult>& results) {
    if (results.empty()) throw CliError(o.input + ": holds no frames");
    if (!o.picture.empty() && !outputs.picture) {
        throw CliError("--picture-frame " + std::to_string(o.pictureFrame) + ": the clip has only " +
                       std::to_string(results.size()) + " frames");
    }
    RunSummary summary = Summarise(results, run.format);
    if (outputs.stream) AddAccounting(summary.stream, outputs.stream->WriteEnd());
    PlacedOutputs placed;
    if (outputs.picture) {
        WritePng(o.picture, outputs.picture->Image(), o.threads);
        placed.Placed(o.picture);
    }
    if (!o.stats.empty()) {
        WriteOutputText(o.stats, o.statsFormat == "csv"
                                     ? RunCsv(results, summary, o.modelChosen ? DescribeModel(o.model) : "")
                                     : RunJson(run, results, summary));
        placed.Placed(o.stats);
    }
    if (outputs.reconstruction) {
        outputs.reconstruction->Commit();
        placed.Placed(o.output);
    }
    if (outputs.inputCopy) {
        outputs.inputCopy->Commit();
        placed.Placed(o.saveInput);
    }
    if (outputs.stream) outputs.stream->Commit();
    placed.Done();
    if (outputs.stream && outputs.stream->ClippedLevels() > 0) {
        std::fprintf(stderr,
                     "vardelk: warning: %lld levels beyond what the stream carries were clipped; the decoded "
                     "picture differs from the simulation in those blocks\n",
                     static_cast<long long>(outputs.stream->ClippedLevels()));
    }
    if (std::FILE* text = TextStream(o)) PrintSummary(text, run, summary);
}

}  // namespace

int RunClipCommand(const CliOptions& o) {
    RunDescription run;
    run.input = o.input == "-" ? "standard input" : o.input;
    const NamedMatrix matrix = LoadMatrix(o.matrices.empty() ? "default" : o.matrices.front());
    run.matrixName = matrix.name;
    run.matrix = matrix.entries;
    run.settings = SettingsFrom(o);
    if (run.settings.model.rule != QuantiserRule::kFilter)
        CheckEncoderMatrix(matrix, run.settings.model, "the " + DescribeModel(run.settings.model) + " model");
    else if (!o.quiet && !StreamMatrixNote(matrix).empty())
        std::fprintf(stderr, "vardelk: warning: %s\n", StreamMatrixNote(matrix).c_str());
    CheckLogFolder(o.logDir);
    std::unique_ptr<ClipSource> source =
        NamingOption("--input", [&] { return OpenClipSource(o.input, o.maxFrames > 0 ? int32_t(o.maxFrames) : 1); });
    run.format = source->Format();
    RunOutputs outputs;
    if (!o.output.empty()) {
        outputs.reconstruction = NamingOption(
            "--output", [&] { return OpenReconstructionSink(o.output, run.format, ".m2v (the MPEG-2 stream)"); });
    }
    if (!o.saveInput.empty())
        outputs.inputCopy =
            NamingOption("--save-input", [&] { return OpenReconstructionSink(o.saveInput, run.format); });
    if (!o.stream.empty()) {
        outputs.stream = std::make_unique<StreamOutput>(o.stream, run.format, run.settings, run.matrix.data());
    }
    CheckWritable(o.picture);
    CheckWritable(o.stats);

    int64_t expected = source->ExpectedFrames();
    if (o.maxFrames > 0 && (expected < 0 || o.maxFrames < expected)) expected = o.maxFrames;
    // Several frames: one frame per thread. A single picture: its macroblock
    // rows split over the threads. Logs: everything in order on one thread.
    const int32_t threads = o.logDir.empty() ? o.threads : 1;
    const int32_t frameThreads = expected == 1 ? 1 : threads;
    const int32_t bandThreads = expected == 1 ? threads : 1;
    FramePipeline pipeline(frameThreads, [&] {
        auto runner = std::make_unique<ClipRunner>(run.format, run.settings, run.matrix.data(), o.logDir, bandThreads,
                                                   o.cpuFlags);
        runner->MeasureSsim(o.ssim);
        runner->MeasureSsimulacra2(o.ssimulacra2, bandThreads);
        runner->MeasureButteraugli(o.butteraugli, bandThreads);
        runner->RecordLevels(!o.stream.empty());
        // Only raw host-frame output needs the frames in the host's format.
        if (EndsWith(o.output, ".yc")) runner->KeepHostFrames();
        return runner;
    });
    std::FILE* text = TextStream(o);
    Progress progress(expected, !o.quiet && StderrIsTerminal());
    std::vector<FrameResult> results;
    if (text) PrintFrameHeader(text, o.ssim, !o.stream.empty(), o.ssimulacra2, o.butteraugli);
    int64_t read = 0;
    auto readFrame = [&](Y4mFrame& input) {
        ThrowIfInterrupted();
        if (o.maxFrames >= 0 && read >= o.maxFrames) return false;
        if (!source->ReadFrame(input)) return false;
        ++read;
        return true;
    };
    auto emitFrame = [&](const ClipRunner& runner, const Y4mFrame& input, const FrameResult& coded) {
        ThrowIfInterrupted();
        FrameResult r = coded;
        if (outputs.stream) {
            runner.ReplayLevels(*outputs.stream->Sink());
            r.hasStream = true;
            r.stream = outputs.stream->WriteFrame(r.bytes);
        }
        NamingOption("--output", [&] {
            if (outputs.reconstruction)
                outputs.reconstruction->Write(runner.Reconstruction(), runner.ReconstructionYc(), r.index);
        });
        NamingOption("--save-input", [&] {
            if (outputs.inputCopy) outputs.inputCopy->Write(input, nullptr, r.index);
        });
        if (!o.picture.empty() && r.index == o.pictureFrame) outputs.picture = Comparison(runner, input, r, o);
        results.push_back(r);
        if (text) {
            progress.Finish();
            PrintFrameLine(text, r);
            std::fflush(text);
        }
        progress.Update(int64_t(results.size()), text != nullptr);
    };
    pipeline.Run(readFrame, emitFrame);
    progress.Finish();
    Finish(o, outputs, run, results);
    return 0;
}

}  // namespace vardelk
