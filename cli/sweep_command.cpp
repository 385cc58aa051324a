#include "run_command.h"

#include <memory>

#include "command_common.h"
#include "interrupt.h"
#include "progress.h"
#include "search/search_values.h"
#include "sweep/sweep_job.h"
#include "sweep/sweep_text.h"

namespace vardelk {

int RunSweepCommand(const CliOptions& o) {
    SweepJob job;
    job.input = o.input;
    job.maxFrames = o.maxFrames;
    job.matrices = o.matrices;
    job.settings = SettingsFrom(o);
    job.bothMappings = o.sweepNonLinear;
    if (!o.codes.empty()) job.scaleCodes = AsUsageError([&] { return ParseScaleCodes(o.codes); });
    job.modelColumn = o.modelChosen;
    job.cpuFlags = o.cpuFlags;
    job.threads = o.threads;
    job.ssimulacra2 = o.ssimulacra2;
    job.butteraugli = o.butteraugli;
    ParseBdInterpolation(o.bdMethod, &job.method);  // checked with the options
    job.confirm = !o.confirm.empty();
    job.plot = o.plot;
    ParseRdMetric(o.plotMetric, &job.plotMetric);
    job.stats = o.stats;
    job.statsJson = o.statsFormat == "json";
    job.checkStop = ThrowIfInterrupted;
    job.checkStopArriving = [] {
        if (InterruptedOrArriving()) throw InterruptedError();  // Ctrl-C reaches ffmpeg too: stopped, not failed
    };
    // A line for the coding, then a new one for the confirmation (its count
    // starts again).
    std::unique_ptr<Progress> line;
    int64_t lineTotal = -1, lineDone = 0;
    job.progress = [&](int64_t done, int64_t total) {
        if (total != lineTotal || done < lineDone)
            line = std::make_unique<Progress>(lineTotal = total, !o.quiet && StderrIsTerminal());
        line->Update(lineDone = done);
    };
    if (job.confirm && job.settings.model.rule != QuantiserRule::kFfmpeg && !o.quiet)
        std::fprintf(stderr,
                     "vardelk: warning: the sweep predicts with the %s model but ffmpeg quantises by its own rule; "
                     "predicted and measured figures differ by that too (--encoder ffmpeg predicts as ffmpeg codes)\n",
                     DescribeModel(job.settings.model).c_str());
    const SweepReport report = NamingOption([&] { return RunSweepJob(job); });
    line.reset();
    if (std::FILE* text = TextStream(o)) PrintSweepReport(text, report);
    if (!o.quiet) {
        for (const std::string& note : report.matrixNotes) std::fprintf(stderr, "vardelk: warning: %s\n", note.c_str());
        PrintBdWarnings(stderr, report.bd);
        PrintBdWarnings(stderr, report.measuredBd);
    }
    return 0;
}

}  // namespace vardelk
