#include "compare_command.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "clip/user_matrix.h"
#include "command_common.h"
#include "compare/compare_report.h"
#include "compare/comparison.h"
#include "exit_status.h"
#include "interrupt.h"
#include "options.h"
#include "progress.h"
#include "search/encoder_confirmation.h"
#include "search/search_values.h"

namespace vardelk {
namespace {

constexpr char kCompareUsage[] =
    "vardelk compare PICTURES... [-m MATRIX]... [--bpp A..B | --codes CODES] [--confirm ffmpeg] [--out FOLDER]; "
    "vardelk compare --help for every option";

struct CompareOptions {
    std::vector<std::string> inputs, matrices;
    std::string bpp, codes, confirm, out = "compare-out", encoder = "ffmpeg", intraVlc, dcPrecision, threads;
    int32_t frames = 1;
    bool noButteraugli = false, quiet = false;
};

void DefineCompareOptions(CLI::App& app, CompareOptions& o) {
    app.description(
        "Codes every candidate matrix on every picture of a set under an encoder's coding model and ranks them per "
        "band of rates by their mean BD-rate against the default matrix by SSIMULACRA 2, with SSIM and luma PSNR "
        "beside; optionally the encoder itself codes every point again.");
    app.add_option("inputs", o.inputs, "Pictures (.png, .jpg), clips (.y4m), folders of them, or list files")
        ->type_name("SET");
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
    app.add_option("--encoder", o.encoder, "The coding model: ffmpeg (default), mpeg2enc, tm5 or filter")
        ->type_name("NAME");
    app.add_option("--intra-vlc", o.intraVlc, "AC table of the model: 0 or 1 (default: the encoder's)")
        ->type_name("0|1");
    app.add_option("--dc-precision", o.dcPrecision, "DC precision of the model in bits, 8..11")->type_name("BITS");
    app.add_option("--frames", o.frames, "Frames taken from each clip, spread evenly over it (default 1)")
        ->check(CLI::Range(1, 1000))
        ->type_name("N");
    app.add_option("--confirm", o.confirm, "Code every point again with the encoder itself: ffmpeg")
        ->check(CLI::IsMember({"ffmpeg"}))
        ->type_name("ENCODER");
    app.add_flag("--no-butteraugli", o.noButteraugli,
                 "Leave Butteraugli out of the figures (it takes about as long again as the rest)");
    app.add_option("--out", o.out, "Folder for report.json and band-NAME.svg/.png (default compare-out)")
        ->type_name("DIR");
    app.add_option("-j,--threads", o.threads, "Threads, 1..1024 (default: every core); results do not depend on it")
        ->type_name("N");
    app.add_flag("-q,--quiet", o.quiet, "No progress line and no report on standard output");
    app.footer("Exit status: 0 when done, 130 when stopped by Ctrl-C, 1 on failure, 2 for a wrong command line.");
}

// "0.4..0.8" as a band.
RateBand ParseBppBand(const std::string& text) {
    const size_t dots = text.find("..");
    char* end = nullptr;
    const double low = dots == std::string::npos ? 0 : std::strtod(text.substr(0, dots).c_str(), &end);
    const bool lowRead = end != nullptr && *end == '\0';
    const double high = dots == std::string::npos ? 0 : std::strtod(text.substr(dots + 2).c_str(), &end);
    if (!lowRead || *end != '\0' || !(low > 0) || !(high > low) || high > 24)
        throw UsageError("--bpp " + text + ": expected A..B bits per pixel with 0 < A < B <= 24, such as 0.4..0.8");
    return BppBand(low, high);
}

// A matrix file's candidate is named by its file's stem.
std::string CandidateName(const std::string& source) {
    std::string name = source.substr(source.find_last_of(":/") + 1);
    return name.substr(0, name.find('.'));
}

}  // namespace

int RunCompareCommand(int argc, char** argv) {
    CLI::App app{"vardelk compare"};
    app.name("vardelk compare");
    CompareOptions o;
    DefineCompareOptions(app, o);
    return RunWithExitStatus(app, argc, argv, {"vardelk compare", ""}, [&]() -> int {
        if (o.inputs.empty()) throw UsageError(std::string("no pictures given (usage: ") + kCompareUsage + ")");
        ComparisonOptions job;
        job.inputs = o.inputs;
        job.frames = o.frames;
        job.model = ParseModelOptions(o.encoder, o.intraVlc, o.dcPrecision);
        job.threads = ParseThreads(o.threads);
        if (!o.codes.empty()) job.scaleCodes = NamingOption("--codes", [&] { return ParseScaleCodes(o.codes); });
        if (!o.bpp.empty())
            job.bands = {ParseBppBand(o.bpp)};
        else if (!o.codes.empty())
            job.bands.clear();
        for (const std::string& source : o.matrices) {
            NamedMatrix matrix = LoadMatrix(source);
            CheckEncoderMatrix(matrix, job.model, o.encoder);
            job.candidates.push_back(Candidate{
                source.find_first_of(":/.") == std::string::npos ? source : CandidateName(source), matrix.entries});
        }
        if (!o.confirm.empty()) {
            const ConfirmingEncoder encoder = FindConfirmingEncoder(job.model);
            if (encoder.name != o.confirm)
                throw UsageError("--confirm " + o.confirm + ": " +
                                 (encoder.missing.empty() ? "the model is not " + o.confirm + "'s" : encoder.missing));
            job.confirm = true;
        }
        job.butteraugli = !o.noButteraugli;
        job.outputFolder = o.out;
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
