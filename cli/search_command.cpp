#include "search_command.h"

#include "cli/exit_status.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "clip_source.h"
#include "interrupt.h"
#include "matrix/matrix_files.h"
#include "media/output_file.h"
#include "options.h"
#include "parallel/parallel_for.h"
#include "plot/rd_plot.h"
#include "progress.h"
#include "run_report.h"
#include "search/encoder_confirmation.h"
#include "search/matrix_search.h"
#include "search/picture_list.h"
#include "search/search_report.h"
#include "search/verdict.h"

namespace vardelk {
namespace {

std::vector<CodedPicture> LoadPictures(const std::vector<std::string>& inputs, int32_t frames, const CodingModel& model,
                                       int32_t threads) {
    std::vector<std::string> paths;
    for (const std::string& input : inputs) ExpandPictureInput(input, paths);
    struct Source {
        std::string name;
        Y4mFormat format;
        Y4mFrame frame;
    };
    std::vector<Source> sources;
    for (const std::string& path : paths) {
        std::unique_ptr<ClipSource> clip = OpenClipSource(path, 1);
        Y4mFrame frame;
        for (int32_t n = 0; n < frames && clip->ReadFrame(frame); ++n) {
            ThrowIfInterrupted();
            const std::string name = n == 0 ? path : path + "#" + std::to_string(n);
            sources.push_back(Source{name, clip->Format(), frame});
        }
    }
    std::vector<CodedPicture> pictures(sources.size());
    ParallelFor(threads, int64_t(sources.size()), [&](int64_t i) {
        const Source& s = sources[size_t(i)];
        pictures[size_t(i)] = PrepareCodedPicture(s.name, s.format, s.frame, model);
    });
    return pictures;
}

// "A..B" or a comma-separated list of scale codes in 1..31.
std::vector<int32_t> ParseCodes(const std::string& text) {
    std::vector<int32_t> codes;
    const size_t dots = text.find("..");
    if (dots != std::string::npos) {
        const int64_t first = ParseBoundedInteger("--codes", text.substr(0, dots), 1, 31, "a scale code");
        const int64_t last = ParseBoundedInteger("--codes", text.substr(dots + 2), 1, 31, "a scale code");
        for (int64_t c = first; c <= last; ++c) codes.push_back(int32_t(c));
    } else {
        std::istringstream parts(text);
        std::string part;
        while (std::getline(parts, part, ','))
            codes.push_back(int32_t(ParseBoundedInteger("--codes", part, 1, 31, "a scale code")));
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    if (codes.size() < 4) throw UsageError("--codes " + text + ": needs at least 4 distinct scale codes");
    return codes;
}

// "600", "600s", "10m", "1.5h"; 0 means no time limit.
double ParseBudget(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    const std::string unit = end == nullptr ? "" : std::string(end);
    double scale = 0;
    if (unit.empty() || unit == "s")
        scale = 1;
    else if (unit == "m")
        scale = 60;
    else if (unit == "h")
        scale = 3600;
    if (end == text.c_str() || scale == 0 || !std::isfinite(value) || value < 0)
        throw UsageError("--budget " + text + ": expected a duration such as 90s, 10m or 1h");
    return value * scale;
}

// The search's progress line: the phase, the best objective so far and the pace.
std::string ProgressText(const SearchProgress& p) {
    char left[32] = "", text[160];
    if (p.secondsLeft >= 0)
        std::snprintf(left, sizeof left, ", %d:%02d left", int(p.secondsLeft) / 60, int(p.secondsLeft) % 60);
    std::snprintf(text, sizeof text, "search %s: best %+.3f%% after %lld matrices (%.2f/s)%s", p.phase.c_str(), p.best,
                  static_cast<long long>(p.evaluations), p.evaluationsPerSecond, left);
    return text;
}

// Mean bytes per picture against mean quality per scale code, one curve per matrix.
RdCurve PlottedCurve(const std::string& label, const std::vector<RdCurveData>& curves) {
    RdCurve curve{label, {}};
    for (const CurvePoint& p : PooledCurve(curves)) curve.points.push_back(RdPoint{p.bytes, p.quality, p.scaleCode});
    return curve;
}

void PrintSet(std::FILE* out, const char* title, const SetFigures& f) {
    std::fprintf(out, "%s: BD-rate %+.2f%% against default (worst picture %+.2f%%), %+.2f%% against flat16\n", title,
                 Mean(f.foundVsDefault), Worst(f.foundVsDefault), Mean(f.foundVsFlat));
    for (size_t i = 0; i < f.names.size(); ++i)
        std::fprintf(out, "  %+7.2f%% %+7.2f%%  %s\n", f.foundVsDefault[i], f.foundVsFlat[i], f.names[i].c_str());
}

void PrintConfirmation(std::FILE* out, const Confirmation& c, bool colour) {
    const SetFigures& p = *c.predicted;
    const SetFigures& m = c.measured;
    std::fprintf(out, "%s on the %s pictures (found matrix; predicted by the search, measured in %s):\n",
                 c.encoder.name.c_str(), c.set.c_str(), c.encoder.name.c_str());
    std::fprintf(out, "  %-19s %-19s %-19s\n", "vs default", "vs flat16", "flat16 vs default");
    std::fprintf(out, "  %-19s %-19s %-19s\n", "predicted measured", "predicted measured", "predicted measured");
    const auto row = [&](double a, double b, double c2, double d, double e, double f, const char* name) {
        std::fprintf(out, "  %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%%  %s\n", a, b, c2, d, e, f, name);
    };
    for (size_t i = 0; i < m.names.size(); ++i)
        row(p.foundVsDefault[i], m.foundVsDefault[i], p.foundVsFlat[i], m.foundVsFlat[i], p.flatVsDefault[i],
            m.flatVsDefault[i], m.names[i].c_str());
    row(Mean(p.foundVsDefault), Mean(m.foundVsDefault), Mean(p.foundVsFlat), Mean(m.foundVsFlat), Mean(p.flatVsDefault),
        Mean(m.flatVsDefault), "(mean)");
    if (c.failures.empty()) {
        std::fprintf(out, "%s confirms the found matrix\n", c.encoder.name.c_str());
        return;
    }
    std::fprintf(out, "%s%s does NOT confirm the found matrix:%s\n", colour ? "\033[1;31m" : "", c.encoder.name.c_str(),
                 colour ? "\033[0m" : "");
    for (const std::string& failure : c.failures)
        std::fprintf(out, "%s  %s%s\n", colour ? "\033[31m" : "", failure.c_str(), colour ? "\033[0m" : "");
}

// Every form's file; the forms that allow comments start with one naming
// the model and the measure the matrix was found for.
void WriteMatrixFiles(const SearchRunReport& run, const std::string& out) {
    MatrixEntries entries;
    std::copy(run.result->best.begin(), run.result->best.end(), entries.begin());
    const std::string comment = "# found by vardelk search for " + DescribeModel(run.model) + ", measure " +
                                run.measure + ", scale codes " + std::to_string(run.codes.front()) + ".." +
                                std::to_string(run.codes.back()) + "\n";
    for (const MatrixFileForm& form : BuiltInMatrixFileForms()) {
        if (form.write == nullptr) continue;
        const std::string path = out + "/matrix." + form.name + ".txt";
        // The ffmpeg form is one option value, with no room for a comment.
        const bool commented = std::string(form.name) != "ffmpeg";
        WriteTextFile(path, (commented ? comment : "") + form.write(entries, path));
    }
}

void WriteOutputs(const SearchRunReport& run, const SearchOptions& o) {
    struct stat info;
    const auto isFolder = [&] { return stat(o.out.c_str(), &info) == 0 && S_ISDIR(info.st_mode); };
    if (!isFolder() && mkdir(o.out.c_str(), 0777) != 0 && !isFolder())
        throw CliError(o.out + ": the output folder cannot be created");
    WriteMatrixFiles(run, o.out);
    WriteTextFile(o.out + "/report.json", SearchReportJson(run));
    const std::string axis = o.measure == "ssim"      ? "SSIM dB, -10 log10(1 - SSIM)"
                             : o.measure == "psnr611" ? "PSNR 6:1:1 (dB)"
                                                      : RdMetricTitle(RdMetric::kPsnr);
    const std::string model = DescribeModel(run.model);
    const std::vector<RdCurve> curves = {PlottedCurve("default", run.training->defaultCurves),
                                         PlottedCurve("flat16", run.training->flatCurves),
                                         PlottedCurve("found", run.training->foundCurves)};
    const std::string title =
        model + " model, training set, mean of " + std::to_string(run.training->names.size()) + " pictures";
    WriteRdPlot(o.out + "/rd.svg", curves, title, axis);
    WriteRdPlot(o.out + "/rd.png", curves, title, axis);
    if (run.confirmation == nullptr) return;
    // Predicted beside measured on the confirmed set.
    const Confirmation& c = *run.confirmation;
    const std::string by = " (" + c.encoder.name + ")";
    const std::vector<RdCurve> confirmed = {
        PlottedCurve("default", c.predicted->defaultCurves), PlottedCurve("found", c.predicted->foundCurves),
        PlottedCurve("flat16", c.predicted->flatCurves),     PlottedCurve("default" + by, c.measured.defaultCurves),
        PlottedCurve("found" + by, c.measured.foundCurves),  PlottedCurve("flat16" + by, c.measured.flatCurves)};
    const std::string confirmedTitle = model + " model predicted and " + c.encoder.name + " measured, " + c.set +
                                       " set, mean of " + std::to_string(c.measured.names.size()) + " pictures";
    WriteRdPlot(o.out + "/confirmation.svg", confirmed, confirmedTitle, axis);
    WriteRdPlot(o.out + "/confirmation.png", confirmed, confirmedTitle, axis);
}

}  // namespace

void DefineSearchOptions(CLI::App& app, SearchOptions& o, std::string& threadsText) {
    app.name("vardelk search");
    app.description(
        "Finds the intra matrix (DC 8, AC entries 1..255) that saves the most rate against the default matrix over "
        "a range of scale codes on a set of pictures, for a quality measure and an encoder's coding model, checks "
        "it on other pictures and, where that encoder is installed, has the encoder itself confirm it.");
    app.add_option("inputs", o.inputs, "Pictures (.png), clips (.y4m), folders of them, or list files")
        ->required()
        ->type_name("SET");
    app.add_option("--measure", o.measure,
                   "psnr (luma, default), ssim (all planes, in dB) or psnr611 (Y, Cb, Cr 6:1:1)")
        ->check(CLI::IsMember({"psnr", "ssim", "psnr611"}));
    app.add_option("--encoder", o.encoder,
                   "The coding model the matrix is for: ffmpeg (default), mpeg2enc, tm5, or filter (the module's own)")
        ->type_name("NAME");
    app.add_option("--intra-vlc", o.intraVlc, "AC table of the model: 0 or 1 (default: the encoder's)")
        ->type_name("0|1");
    app.add_option("--dc-precision", o.dcPrecision, "DC precision of the model in bits, 8..11 (default: the encoder's)")
        ->type_name("BITS");
    app.add_option("--codes", o.codes, "Scale codes of the curves, linear mapping: A..B or a list (default 2..16)");
    app.add_option("--budget", o.budget,
                   "Time for the search: 90s, 10m, 1h; 0 for none (default 10m); the real encoder's confirmation "
                   "comes after it");
    app.add_option("--evaluations", o.evaluations, "Stop after this many matrices (default: no limit)");
    app.add_option("--seed", o.seed, "Seed of the order in which moves are tried (default 1)");
    app.add_option("-j,--threads", threadsText, "Threads, 1..1024 (default: every core); results do not depend on it");
    app.add_option("--frames", o.frames, "Frames taken from each clip (default 1)")->check(CLI::Range(1, 1000));
    app.add_option("--validate", o.validate, "Pictures to check the found matrix on (same forms as the inputs)")
        ->type_name("SET");
    app.add_option("--out", o.out,
                   "Folder for matrix.*.txt, report.json, rd.svg, rd.png and confirmation.svg/.png (default "
                   "search-out)");
    app.add_option("--min-overlap", o.minOverlap,
                   "Refuse matrices whose curve shares less than this part of its quality range with both the "
                   "default's and flat16's on any picture, 0..1 (default 0.75, where BD figures start to warn)")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--spread", o.spread,
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
        const std::vector<int32_t> codes = ParseCodes(o.codes);
        const double budget = ParseBudget(o.budget);
        const CodingModel model = ParseModelOptions(o.encoder, o.intraVlc, o.dcPrecision);
        o.threads = ParseThreads(threadsText);
        QualityMeasure measure = QualityMeasure::kPsnrY;
        ParseQualityMeasure(o.measure, &measure);

        const auto started = std::chrono::steady_clock::now();
        const std::vector<CodedPicture> training = LoadPictures(o.inputs, o.frames, model, o.threads);
        std::vector<CodedPicture> validationPictures;
        if (!o.validate.empty()) validationPictures = LoadPictures(o.validate, o.frames, model, o.threads);
        ObjectiveOptions objectiveOptions;
        objectiveOptions.model = model;
        objectiveOptions.minimumOverlap = o.minOverlap;
        objectiveOptions.spreadWeight = o.spread;
        // The search compares matrices on their coding alone; the figures
        // count the bytes each stream really spends.
        ObjectiveOptions searchOptions = objectiveOptions;
        searchOptions.loadEveryMatrix = true;
        const Objective objective(training, measure, codes, o.threads, searchOptions);
        const Objective trainingCheck(training, measure, codes, o.threads, objectiveOptions);

        SearchSettings settings;
        settings.budgetSeconds = budget;
        settings.maxEvaluations = o.evaluations;
        settings.seed = o.seed;
        settings.entryPhase = !o.shapeOnly;
        // The budget covers loading, the search and the final figures (the
        // found matrix on the training pictures; the default, flat 16 and
        // the found matrix on the validation pictures).
        settings.secondsBefore = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        settings.reservedEvaluations = 1.0 + 3.0 * double(validationPictures.size()) / double(training.size());
        Progress line(-1, !o.quiet && StderrIsTerminal());
        const SearchResult result = RunMatrixSearch(objective, settings, Interrupted,
                                                    [&](const SearchProgress& p) { line.Show(ProgressText(p)); });
        line.Finish();
        const bool interrupted = result.stop == SearchStop::kStopped;

        const SetFigures trainingFigures = MeasureSet(training, trainingCheck, result.best);
        SearchRunReport run{o.measure, o.encoder,        model,   codes, o.seed,  o.threads, o.spread, o.minOverlap,
                            &result,   &trainingFigures, nullptr, "",    nullptr, ""};
        std::unique_ptr<SetFigures> validationFigures;
        if (!validationPictures.empty() && !interrupted) {
            const Objective check(validationPictures, measure, codes, o.threads, objectiveOptions);
            validationFigures = std::make_unique<SetFigures>(MeasureSet(validationPictures, check, result.best));
            run.validation = validationFigures.get();
        } else if (!validationPictures.empty()) {
            run.validationNote = "skipped: the search was interrupted";
        }

        // The real encoder codes the validation pictures, or without them the
        // training pictures, at the same scale codes.
        std::unique_ptr<Confirmation> confirmation;
        const ConfirmingEncoder encoder = FindConfirmingEncoder(model);
        bool confirmationInterrupted = false;
        if (interrupted) {
            run.confirmationNote = "skipped: the search was interrupted";
        } else if (o.noConfirm) {
            run.confirmationNote = "skipped: --no-confirm";
        } else if (encoder.name.empty()) {
            run.confirmationNote = "not confirmed: " + encoder.missing;
        } else {
            const bool onValidation = validationFigures != nullptr;
            std::optional<Confirmation> measured = ConfirmFoundMatrix(
                encoder, model, onValidation ? "validation" : "training", onValidation ? validationPictures : training,
                onValidation ? *validationFigures : trainingFigures, result.best, codes, measure, o.threads,
                Interrupted, InterruptedOrArriving);
            // Ctrl-C during the confirmation still leaves the found matrix
            // in complete outputs, as during the search.
            confirmationInterrupted = !measured;
            if (measured) {
                confirmation = std::make_unique<Confirmation>(std::move(*measured));
                run.confirmation = confirmation.get();
            } else {
                run.confirmationNote = "not confirmed: the confirmation was interrupted";
            }
        }
        WriteOutputs(run, o);
        if (!o.quiet) {
            std::printf("search (%s, %s model, scale codes %d..%d): %lld matrices in %.0f s (%.2f/s), stopped: %s\n",
                        o.measure.c_str(), DescribeModel(model).c_str(), codes.front(), codes.back(),
                        static_cast<long long>(result.evaluations), result.seconds,
                        result.seconds > 0 ? double(result.evaluations) / result.seconds : 0.0,
                        SearchStopName(result.stop));
            PrintSet(stdout, "training", trainingFigures);
            if (validationFigures) PrintSet(stdout, "validation", *validationFigures);
            if (confirmation)
                PrintConfirmation(stdout, *confirmation, isatty(1) != 0);
            else
                std::printf("%s\n", run.confirmationNote.c_str());
            std::printf("matrix and report in %s/\n", o.out.c_str());
        }
        return interrupted || confirmationInterrupted ? 130 : 0;
    });
}

}  // namespace vardelk
