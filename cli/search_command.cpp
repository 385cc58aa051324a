#include "search_command.h"

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "command_common.h"
#include "exit_status.h"
#include "interrupt.h"
#include "progress.h"
#include "search/progress_line.h"
#include "search/search_job.h"
#include "search/search_text.h"
#include "search/search_values.h"

namespace vardelk {

void DefineSearchOptions(CLI::App& app, SearchOptions& o, std::string& threadsText) {
    app.name("vardelk search");
    app.description(
        "Finds the intra matrix (DC 8, AC entries 1..255) that saves the most rate against the default matrix over "
        "a range of scale codes on a set of pictures, for a quality measure and an encoder's coding model, checks "
        "it on other pictures and, where that encoder is installed, has the encoder itself confirm it.");
    AddPictureSet(app, o.job.inputs);
    app.add_option("--measure", o.measure,
                   "psnr (luma, default), ssim (all planes, in dB), psnr611 (Y, Cb, Cr 6:1:1), ssimulacra2 "
                   "(the perceptual score; candidates coded at six of the scale codes, the figures at all), "
                   "butteraugli (-ln of its 3-norm, as ssimulacra2) or ssimulacra2+butteraugli (both opinions: "
                   "the worse of the two BD-rates decides, a matrix must improve by both)")
        ->check(CLI::IsMember(SearchMeasureNames()))
        ->type_name("MEASURE");
    AddModelOptions(
        app, o.model,
        "The coding model the matrix is for: ffmpeg (default), mpeg2enc, tm5, or filter (the module's own)");
    app.add_option("--codes", o.codes, "Scale codes of the curves, linear mapping: A..B or a list (default 2..16)")
        ->type_name("CODES");
    app.add_option("--band", o.band,
                   "Search in a band of rates: low (0.35-0.7 bpp), mid (0.7-1.4) or high (1.4-2.8), the figures "
                   "taken over the qualities the default gives there and the scale codes chosen to cover it on "
                   "every picture (instead of --codes)")
        ->check(CLI::IsMember({"low", "mid", "high"}))
        ->type_name("BAND");
    app.add_option("--bpp", o.bpp, "Search in a band of bits per pixel of one's own, A..B (as --band)")
        ->type_name("A..B");
    app.add_option("--budget", o.budget,
                   "Time for the search: 90s, 10m, 1h; 0 for none (default 10m); the real encoder's confirmation "
                   "comes after it")
        ->type_name("DURATION");
    app.add_option("--evaluations", o.job.evaluations, "Stop after this many matrices (default: no limit)")
        ->type_name("N");
    app.add_option("--seed", o.job.seed, "Seed of the order in which moves are tried (default 1)")->type_name("N");
    AddThreadsOption(app, threadsText);
    app.add_option("--frames", o.job.frames,
                   "Frames taken from each clip, spread evenly over it: the middle frame of each of N equal "
                   "stretches (default 1)")
        ->check(CLI::Range(1, 1000))
        ->type_name("N");
    app.add_option("--validate", o.job.validate, "Pictures to check the found matrix on (same forms as the inputs)")
        ->type_name("SET");
    app.add_option("--out", o.job.out,
                   "Folder for matrix.*.txt, report.json, rd.svg, rd.png and confirmation.svg/.png (default "
                   "search-out); these files of an earlier run there are replaced or removed")
        ->type_name("DIR");
    app.add_option("--min-overlap", o.job.minOverlap,
                   "Refuse matrices whose curve shares less than this part of its quality range with both the "
                   "default's and flat16's on any picture, 0..1 (default 0.75, where BD figures start to warn)")
        ->check(CLI::Range(0.0, 1.0))
        ->type_name("FRACTION");
    app.add_option("--spread", o.job.spread,
                   "Weight of the penalty for pictures that gain less than the set, 0..10 (default 0.5; 0: the "
                   "weighted mean alone)")
        ->check(CLI::Range(0.0, 10.0));
    app.add_flag("--shape-only", o.shapeOnly, "Stop after the smooth shape phase (no moves of single entries)");
    app.add_flag("--no-confirm", o.noConfirm, "Do not run the real encoder at the end");
    app.add_flag("-q,--quiet", o.quiet, "No progress line and no summary");
    app.footer(
        "Exit status: 0 when done, 130 when stopped by Ctrl-C (outputs hold the best so far), 1 on failure, "
        "2 for a wrong command line.");
}

int RunSearchCommand(int argc, char** argv) {
    CLI::App app{"vardelk search"};
    SearchOptions o;
    std::string threadsText;
    DefineSearchOptions(app, o, threadsText);
    return RunWithExitStatus(app, argc, argv, {"vardelk search", ""}, [&]() -> int {
        if (o.job.inputs.empty()) throw UsageError(std::string("no pictures given (usage: ") + kSearchUsage + ")");
        SearchJob& job = o.job;
        AsUsageError([&] {
            job.codes = ParseScaleCodes(o.codes);
            job.budgetSeconds = ParseDuration(o.budget);
            if (!o.bpp.empty()) {
                const auto [low, high] = ParseBppRange(o.bpp);
                job.band = BppBand(low, high);
            }
        });
        job.model = ParseModelOptions(o.model);
        job.encoder = o.model.encoder;
        job.threads = ParseThreads(threadsText);
        ParseQualityMeasure(o.measure, &job.measure);  // checked with the options
        if (!o.band.empty() && !o.bpp.empty()) throw UsageError("--band and --bpp: give one band");
        for (const RateBand& band : StandardBands()) {
            if (band.name == o.band) job.band = band;
        }
        job.entryPhase = !o.shapeOnly;
        if (o.noConfirm) job.skipConfirmation = "--no-confirm";
        job.stop = Interrupted;
        job.stoppedOrArriving = InterruptedOrArriving;
        job.checkStop = ThrowIfInterrupted;
        Progress line(-1, !o.quiet && StderrIsTerminal());
        job.progress = [&](const SearchProgress& p) { line.Show(SearchProgressLine(p)); };
        const std::unique_ptr<SearchOutcome> outcome = RunSearchJob(job);
        line.Finish();
        if (!o.quiet) PrintSearchSummary(stdout, outcome->report, o.job.out, isatty(1) != 0);
        if (outcome->confirmationFailure) std::rethrow_exception(outcome->confirmationFailure);
        return outcome->interrupted ? 130 : 0;
    });
}

}  // namespace vardelk
