#include "clip/clip_job.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>

#include "clip/clip_error.h"
#include "clip/clip_source.h"
#include "clip/frame_pipeline.h"
#include "clip/job_outputs.h"
#include "clip/reconstruction_sink.h"
#include "clip/user_matrix.h"
#include "media/file_name.h"
#include "pictures/png_file.h"
#include "stream/stream_output.h"

namespace vardelk {
namespace {

// Runs `call`, its ValueError given the job's field the value came in.
template <typename Call>
auto InField(const char* field, Call call) -> decltype(call()) {
    try {
        return call();
    } catch (const ValueError& error) {
        throw ValueError(field, error.what());
    }
}

// Checks that the coefficient logs can be created in `dir` (the coders
// themselves skip a log they cannot open without a word).
void CheckLogFolder(const std::string& dir) {
    if (dir.empty()) return;
    for (const char* name : {"/dct.txt", "/qdct.txt"}) {
        const std::string path = dir + name;
        std::FILE* file = std::fopen(path.c_str(), "a");
        if (file == nullptr) throw ValueError("logDir", dir + ": cannot write " + path);
        std::fclose(file);
    }
}

// Everything a run writes besides its figures, opened before the work starts.
struct RunOutputs {
    std::unique_ptr<ReconstructionSink> reconstruction;
    std::unique_ptr<ReconstructionSink> inputCopy;
    std::optional<RgbImage> picture;
    std::unique_ptr<StreamOutput> stream;
};

RunOutputs OpenOutputs(const ClipJob& job, const RunDescription& run) {
    RunOutputs outputs;
    if (!job.output.empty()) {
        outputs.reconstruction = InField(
            "output", [&] { return OpenReconstructionSink(job.output, run.format, ".m2v (the MPEG-2 stream)"); });
    }
    if (!job.saveInput.empty())
        outputs.inputCopy = InField("saveInput", [&] { return OpenReconstructionSink(job.saveInput, run.format); });
    if (!job.stream.empty())
        outputs.stream = std::make_unique<StreamOutput>(job.stream, run.format, run.settings, run.matrix.data());
    CheckWritable(job.picture);
    CheckWritable(job.stats);
    return outputs;
}

// Whole outputs are written first, then the streamed ones committed, so that
// a failure part-way takes back what the run had already placed.
void Finish(const ClipJob& job, RunOutputs& outputs, ClipReport& report) {
    if (report.frames.empty()) throw ClipError(job.input + ": holds no frames");
    if (!job.picture.empty() && !outputs.picture) {
        throw ValueError("pictureFrame", std::to_string(job.pictureFrame) + ": the clip has only " +
                                             std::to_string(report.frames.size()) + " frames");
    }
    report.summary = Summarise(report.frames, report.run.format);
    if (outputs.stream) AddAccounting(report.summary.stream, outputs.stream->WriteEnd());
    PlacedOutputs placed;
    if (outputs.picture) {
        WritePng(job.picture, *outputs.picture, job.threads);
        placed.Placed(job.picture);
    }
    if (!job.stats.empty()) {
        const std::string model = job.namesModel ? DescribeModel(job.settings.model) : "";
        WriteOutputText(job.stats, job.statsJson ? RunJson(report.run, report.frames, report.summary)
                                                 : RunCsv(report.frames, report.summary, model));
        placed.Placed(job.stats);
    }
    if (outputs.reconstruction) {
        outputs.reconstruction->Commit();
        placed.Placed(job.output);
    }
    if (outputs.inputCopy) {
        outputs.inputCopy->Commit();
        placed.Placed(job.saveInput);
    }
    if (outputs.stream) outputs.stream->Commit();
    placed.Done();
    if (outputs.stream && outputs.stream->ClippedLevels() > 0) {
        report.streamWarning = std::to_string(outputs.stream->ClippedLevels()) +
                               " levels beyond what the stream carries were clipped; the decoded picture differs "
                               "from the simulation in those blocks";
    }
}

}  // namespace

ClipReport RunClipJob(const ClipJob& job) {
    if (!job.picture.empty() && !job.drawPicture) throw std::logic_error("a job's picture needs drawPicture");
    ClipReport report;
    RunDescription& run = report.run;
    run.input = job.input == "-" ? "standard input" : job.input;
    const NamedMatrix matrix = LoadMatrix(job.matrix);
    run.matrixName = matrix.name;
    run.matrix = matrix.entries;
    run.settings = job.settings;
    if (run.settings.model.rule != QuantiserRule::kFilter)
        CheckEncoderMatrix(matrix, run.settings.model, "the " + DescribeModel(run.settings.model) + " model");
    else if (job.matrixNote && !StreamMatrixNote(matrix).empty())
        job.matrixNote(StreamMatrixNote(matrix));
    CheckLogFolder(job.logDir);
    std::unique_ptr<ClipSource> source =
        InField("input", [&] { return OpenClipSource(job.input, job.maxFrames > 0 ? int32_t(job.maxFrames) : 1); });
    run.format = source->Format();
    RunOutputs outputs = OpenOutputs(job, run);

    int64_t expected = source->ExpectedFrames();
    if (job.maxFrames > 0 && (expected < 0 || job.maxFrames < expected)) expected = job.maxFrames;
    // Several frames: one frame per thread. A single picture: its macroblock
    // rows split over the threads. Logs: everything in order on one thread.
    const int32_t threads = job.logDir.empty() ? job.threads : 1;
    const int32_t frameThreads = expected == 1 ? 1 : threads;
    const int32_t bandThreads = expected == 1 ? threads : 1;
    FramePipeline pipeline(frameThreads, [&] {
        auto runner = std::make_unique<ClipRunner>(run.format, run.settings, run.matrix.data(), job.logDir, bandThreads,
                                                   job.cpuFlags);
        runner->MeasureSsim(job.ssim);
        runner->MeasureSsimulacra2(job.ssimulacra2, bandThreads);
        runner->MeasureButteraugli(job.butteraugli, bandThreads);
        runner->RecordLevels(outputs.stream != nullptr);
        // Only raw host-frame output needs the frames in the host's format.
        if (EndsWith(job.output, ".yc")) runner->KeepHostFrames();
        return runner;
    });
    if (job.starting) job.starting(expected);
    int64_t read = 0;
    auto readFrame = [&](Y4mFrame& input) {
        if (job.checkStop) job.checkStop();
        if (job.maxFrames >= 0 && read >= job.maxFrames) return false;
        if (!source->ReadFrame(input)) return false;
        ++read;
        return true;
    };
    auto emitFrame = [&](const ClipRunner& runner, const Y4mFrame& input, const FrameResult& coded) {
        if (job.checkStop) job.checkStop();
        FrameResult r = coded;
        if (outputs.stream) {
            runner.ReplayLevels(*outputs.stream->Sink());
            r.hasStream = true;
            r.stream = outputs.stream->WriteFrame(r.bytes);
        }
        InField("output", [&] {
            if (outputs.reconstruction)
                outputs.reconstruction->Write(runner.Reconstruction(), runner.ReconstructionYc(), r.index);
        });
        InField("saveInput", [&] {
            if (outputs.inputCopy) outputs.inputCopy->Write(input, nullptr, r.index);
        });
        if (!job.picture.empty() && r.index == job.pictureFrame) outputs.picture = job.drawPicture(runner, input, r);
        report.frames.push_back(r);
        if (job.frameDone) job.frameDone(r, int64_t(report.frames.size()));
    };
    pipeline.Run(readFrame, emitFrame);
    Finish(job, outputs, report);
    return report;
}

std::string StatsFormByName(const std::string& path) {
    if (path == "-" || (path.size() > 4 && EndsWith(path, ".csv"))) return "csv";
    if (path.size() > 5 && EndsWith(path, ".json")) return "json";
    return "";
}

}  // namespace vardelk
