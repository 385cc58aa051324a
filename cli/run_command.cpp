#include "run_command.h"

#include <cstdio>
#include <memory>

#include "command_common.h"
#include "interrupt.h"
#include "plot/run_picture.h"
#include "progress.h"

namespace vardelk {

int RunClipCommand(const CliOptions& o) {
    ClipJob job = o.run;
    job.input = o.input;
    job.maxFrames = o.maxFrames;
    if (!o.matrices.empty()) job.matrix = o.matrices.front();
    job.settings = SettingsFrom(o);
    job.namesModel = o.modelChosen;
    job.cpuFlags = o.cpuFlags;
    job.threads = o.threads;
    job.ssimulacra2 = o.ssimulacra2;
    job.butteraugli = o.butteraugli;
    job.stats = o.stats;
    job.statsJson = o.statsFormat == "json";
    job.drawPicture = RunPicture(job, o.differenceGain, o.ssimMap);
    job.checkStop = ThrowIfInterrupted;
    if (!o.quiet)
        job.matrixNote = [](const std::string& note) { std::fprintf(stderr, "vardelk: warning: %s\n", note.c_str()); };
    std::FILE* text = TextStream(o);
    std::unique_ptr<Progress> progress;
    job.starting = [&](int64_t expected) {
        progress = std::make_unique<Progress>(expected, !o.quiet && StderrIsTerminal());
        if (text) PrintFrameHeader(text, job.ssim, !job.stream.empty(), job.ssimulacra2, job.butteraugli);
    };
    job.frameDone = [&](const FrameResult& frame, int64_t done) {
        if (text) {
            progress->Finish();
            PrintFrameLine(text, frame);
            std::fflush(text);
        }
        progress->Update(done, text != nullptr);
    };
    const ClipReport report = NamingOption([&] { return RunClipJob(job); });
    progress.reset();
    if (!report.streamWarning.empty()) std::fprintf(stderr, "vardelk: warning: %s\n", report.streamWarning.c_str());
    if (text) PrintSummary(text, report.run, report.summary);
    return 0;
}

}  // namespace vardelk
