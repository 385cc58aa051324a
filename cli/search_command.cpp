#include "search_command.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "command_common.h"
#include "exit_status.h"
#include "interrupt.h"
#include "options.h"
#include "progress.h"
#include "search/search_job.h"
#include "search/search_text.h"
#include "search/search_values.h"

namespace vardelk {
namespace {

// The search's progress line: the phase, the answer so far and its objective
// as the summary counts it, and the pace.
std::string ProgressText(const SearchProgress& p) {
    char left[32] = "", text[200];
    if (p.secondsLeft >= 0)
        std::snprintf(left, sizeof left, ", %d:%02d left", int(p.secondsLeft) / 60, int(p.secondsLeft) % 60);
    std::snprintf(text, sizeof text, "search %s: objective %+.3f%% (%s) after %lld matrices (%.2f/s)%s",
                  p.phase.c_str(), p.best, p.leader.c_str(), static_cast<long long>(p.evaluations),
                  p.evaluationsPerSecond, left);
    return text;
}

}  // namespace

int RunSearchCommand(int argc, char** argv) {
    CLI::App app{"vardelk search"};
    SearchOptions o;
    std::string threadsText;
    DefineSearchOptions(app, o, threadsText);
    return RunWithExitStatus(app, argc, argv, {"vardelk search", ""}, [&]() -> int {
        if (o.inputs.empty()) throw UsageError(std::string("no pictures given (usage: ") + kSearchUsage + ")");
        SearchJob job;
        try {
            job.codes = ParseScaleCodes(o.codes);
            job.budgetSeconds = ParseDuration(o.budget);
            if (!o.bpp.empty()) {
                const auto [low, high] = ParseBppRange(o.bpp);
                job.band = BppBand(low, high);
            }
        } catch (const ValueError& error) {
            throw UsageError(ForOption(error).what());
        }
        job.model = ParseModelOptions(o.encoder, o.intraVlc, o.dcPrecision);
        job.encoder = o.encoder;
        job.threads = ParseThreads(threadsText);
        ParseQualityMeasure(o.measure, &job.measure);  // checked with the options
        if (!o.band.empty() && !o.bpp.empty()) throw UsageError("--band and --bpp: give one band");
        for (const RateBand& band : StandardBands()) {
            if (band.name == o.band) job.band = band;
        }
        job.inputs = o.inputs;
        job.validate = o.validate;
        job.frames = o.frames;
        job.evaluations = o.evaluations;
        job.seed = o.seed;
        job.minOverlap = o.minOverlap;
        job.spread = o.spread;
        job.entryPhase = !o.shapeOnly;
        if (o.noConfirm) job.skipConfirmation = "--no-confirm";
        job.out = o.out;
        job.stop = Interrupted;
        job.stoppedOrArriving = InterruptedOrArriving;
        job.checkStop = ThrowIfInterrupted;
        Progress line(-1, !o.quiet && StderrIsTerminal());
        job.progress = [&](const SearchProgress& p) { line.Show(ProgressText(p)); };
        const std::unique_ptr<SearchOutcome> outcome = RunSearchJob(job);
        line.Finish();
        if (!o.quiet) PrintSearchSummary(stdout, outcome->report, o.out, isatty(1) != 0);
        if (outcome->confirmationFailure) std::rethrow_exception(outcome->confirmationFailure);
        return outcome->interrupted ? 130 : 0;
    });
}

}  // namespace vardelk
