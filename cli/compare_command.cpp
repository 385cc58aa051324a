#include "compare_command.h"

#include <cstdio>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "command_common.h"
#include "compare/compare_report.h"
#include "compare/comparison.h"
#include "compare/comparison_values.h"
#include "exit_status.h"
#include "interrupt.h"
#include "progress.h"
#include "search/operating_range.h"
#include "search/search_values.h"

namespace vardelk {
namespace {

constexpr char kCompareUsage[] =
    "vardelk compare PICTURES... [-m MATRIX]... [--bpp A..B | --codes CODES] [--confirm ffmpeg] [--out FOLDER]; "
    "vardelk compare --help for every option";

// The options as given; those the job takes as they are go straight in.
struct CompareOptions {
    ComparisonOptions job;
    std::vector<std::string> matrices;
    ModelOptions model{"ffmpeg", "", ""};
    std::string bpp, codes, confirm, threads;
    bool noButteraugli = false, quiet = false;
};

void DefineCompareOptions(CLI::App& app, CompareOptions& o) {
    app.description(
        "Codes every candidate matrix on every picture of a set under an encoder's coding model and ranks them per "
        "band of rates by their mean BD-rate against the default matrix by SSIMULACRA 2, with SSIM and luma PSNR "
        "beside; optionally the encoder itself codes every point again.");
    AddPictureSet(app, o.job.inputs);
    app.add_option(
           "-m,--matrix", o.matrices,
           "A candidate: a named matrix (vardelk matrices lists them) or a matrix file (FORMAT:FILE); repeat for more (default: the "
           "default matrix, flat16 and every named matrix); the default is always the reference")
        ->type_name("MATRIX");
    app.add_option("--bpp", o.bpp,
                   "One band of bits per pixel of an intra picture, A..B (default: the bands low 0.35..0.7, "
                   "mid 0.7..1.4 and high 1.4..2.8)")
        ->type_name("A..B");
    app.add_option("--codes", o.codes,
                   "Scale codes of the curves, A..B or a list; without --bpp the verdict covers their whole range "
                   "(default 2..10,12,14,16,19,22,26,31)")
        ->type_name("CODES");
    AddModelOptions(app, o.model, "The coding model: ffmpeg (default), mpeg2enc, tm5 or filter");
    app.add_option("--frames", o.job.frames, "Frames taken from each clip, spread evenly over it (default 1)")
        ->check(CLI::Range(1, 1000))
        ->type_name("N");
    app.add_option("--confirm", o.confirm, "Code every point again with the encoder itself: ffmpeg")
        ->check(CLI::IsMember({"ffmpeg"}))
        ->type_name("ENCODER");
    app.add_flag("--no-butteraugli", o.noButteraugli,
                 "Leave Butteraugli out of the figures (it takes about as long again as the rest)");
    o.job.outputFolder = "compare-out";
    app.add_option("--out", o.job.outputFolder, "Folder for report.json and band-NAME.svg/.png (default compare-out)")
        ->type_name("DIR");
    AddThreadsOption(app, o.threads);
    app.add_flag("-q,--quiet", o.quiet, "No progress line and no report on standard output");
    app.footer("Exit status: 0 when done, 130 when stopped by Ctrl-C, 1 on failure, 2 for a wrong command line.");
}

}  // namespace

int RunCompareCommand(int argc, char** argv) {
    return RunCommand("vardelk compare", argc, argv, DefineCompareOptions, [](CompareOptions& o) {
        if (o.job.inputs.empty()) throw UsageError(std::string("no pictures given (usage: ") + kCompareUsage + ")");
        ComparisonOptions& job = o.job;
        job.model = ParseModelOptions(o.model);
        job.threads = ParseThreads(o.threads);
        if (!o.codes.empty()) job.scaleCodes = AsUsageError([&] { return ParseScaleCodes(o.codes); });
        if (!o.bpp.empty()) {
            const auto [low, high] = AsUsageError([&] { return ParseBppRange(o.bpp); });
            job.bands = {BppBand(low, high)};
        } else if (!o.codes.empty()) {
            job.bands.clear();
        }
        for (const std::string& source : o.matrices)
            job.candidates.push_back(LoadCandidate(source, job.model, o.model.encoder));
        if (!o.confirm.empty()) {
            AsUsageError([&] { CheckConfirmingEncoder(o.confirm, job.model); });
            job.confirm = true;
        }
        job.butteraugli = !o.noButteraugli;
        job.checkStop = ThrowIfInterrupted;
        Progress line(-1, !o.quiet && StderrIsTerminal());
        job.progress = [&](int64_t done, int64_t total) {
            line.Show("compare: " + std::to_string(done) + " of " + std::to_string(total) + " points");
        };
        const ComparisonResult result = RunComparison(job);
        line.Finish();
        if (!o.quiet) {
            PrintComparison(stdout, result);
            for (const std::string& file : result.written) std::printf("wrote %s\n", file.c_str());
        }
        return 0;
    });
}

}  // namespace vardelk
