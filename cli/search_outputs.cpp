#include "search_outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli_error.h"
#include "matrix/matrix_files.h"
#include "media/output_file.h"
#include "plot/rd_plot.h"

namespace vardelk {
namespace {

// Each matrix keeps its colour in both plots; measured curves are dashed.
enum PlotColour : int32_t { kDefaultColour = 0, kFlatColour = 1, kFoundColour = 2 };

// Mean bytes per picture against mean quality per scale code, one curve per matrix.
RdCurve PlottedCurve(const std::string& label, const std::vector<RdCurveData>& curves, int32_t colour,
                     bool measured = false) {
    RdCurve curve{label, {}};
    for (const CurvePoint& p : PooledCurve(curves)) curve.points.push_back(RdPoint{p.bytes, p.quality, p.scaleCode});
    curve.colour = colour;
    curve.dashed = measured;
    return curve;
}

// "found" or the preset the search answers with.
std::string AnswerName(const SearchRunReport& run) { return run.answer->preset.empty() ? "found" : run.answer->preset; }

void PrintSet(std::FILE* out, const char* title, const std::string& answer, const SetFigures& f) {
    std::fprintf(out, "%s: %s BD-rate %+.2f%% against default (worst picture %+.2f%%), %+.2f%% against flat16\n", title,
                 answer.c_str(), Mean(f.foundVsDefault), Worst(f.foundVsDefault), Mean(f.foundVsFlat));
    std::fprintf(out, "  %8s %8s  %s\n", "vs dflt", "vs flat", "picture");
    for (size_t i = 0; i < f.names.size(); ++i)
        std::fprintf(out, "  %+7.2f%% %+7.2f%%  %s\n", f.foundVsDefault[i], f.foundVsFlat[i], f.names[i].c_str());
}

// Why the search ended, in words.
const char* StopText(SearchStop stop) {
    switch (stop) {
        case SearchStop::kConverged:
            return "converged (the steps shrank to nothing)";
        case SearchStop::kBudget:
            return "the time budget was spent";
        case SearchStop::kEvaluations:
            return "the evaluation limit was reached";
        case SearchStop::kStopped:
            return "stopped by Ctrl-C (the best so far)";
    }
    return "";
}

// Every run writes the matrix files, the report and rd.*; a run without a
// confirmation removes an earlier run's confirmation plots, so that the
// folder never mixes runs.
void RemoveEarlierOutput(const std::string& path) {
    if (std::remove(path.c_str()) != 0 && errno != ENOENT)
        throw CliError(path + ": the file of an earlier run cannot be removed (" + std::strerror(errno) + ")");
}

// The answer's mean BD-rates by every measure, side by side, measured
// beside predicted when the encoder confirmed this set; a matrix that saves
// by one measure and costs by another is said to.
void PrintByMeasure(std::FILE* out, const char* set, const std::string& answer,
                    const std::vector<MeasureFigures>& predicted, const Confirmation* confirmed) {
    const std::vector<MeasureFigures>* measured = confirmed ? &confirmed->measuredByMeasure : nullptr;
    const std::string by = measured ? confirmed->encoder.name : "";
    std::fprintf(out, "%s, %s by every measure (mean BD-rate; predicted%s%s):\n", set, answer.c_str(),
                 measured ? ", measured in " : "", by.c_str());
    if (measured) {
        std::fprintf(out, "  %-11s %-19s %-19s\n", "", "vs default", "vs flat16");
        std::fprintf(out, "  %-11s %-19s %-19s\n", "measure", "predicted measured", "predicted measured");
    } else {
        std::fprintf(out, "  %-11s %9s %9s\n", "measure", "vs dflt", "vs flat");
    }
    // Measures the search cannot predict (Butteraugli) come after, measured only.
    const size_t rows = measured ? measured->size() : predicted.size();
    for (size_t m = 0; m < rows; ++m) {
        const SetFigures* p = m < predicted.size() ? &predicted[m].figures : nullptr;
        const SetFigures* got = measured ? &(*measured)[m].figures : nullptr;
        const auto cell = [&](const SetFigures* f, bool flat) {
            const double rate = f == nullptr ? 0.0 : Mean(flat ? f->foundVsFlat : f->foundVsDefault);
            if (f == nullptr)
                std::fprintf(out, " %9s", "-");
            else if (std::isnan(rate))  // a picture without a figure (PSNR 6:1:1 of a picture without chroma error)
                std::fprintf(out, " %9s", "n/a");
            else
                std::fprintf(out, " %+8.2f%%", rate);
        };
        std::fprintf(out, "  %-11s", QualityMeasureName(measured ? (*measured)[m].measure : predicted[m].measure));
        cell(p, false);
        if (measured) cell(got, false);
        cell(p, true);
        if (measured) cell(got, true);
        std::fprintf(out, "\n");
    }
    if (confirmed && !confirmed->butteraugliNote.empty())
        std::fprintf(out, "  (no butteraugli: %s)\n", confirmed->butteraugliNote.c_str());
    const std::vector<MeasureFigures>& judged = measured ? *measured : predicted;
    for (bool flat : {false, true}) {
        const std::string mixed = MixedVerdict(judged, flat);
        if (!mixed.empty()) std::fprintf(out, "  against %s: %s\n", flat ? "flat16" : "the default", mixed.c_str());
    }
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
    std::copy(run.answer->matrix.begin(), run.answer->matrix.end(), entries.begin());
    const std::string what = run.answer->preset.empty()
                                 ? "# found by vardelk search"
                                 : "# " + run.answer->preset + ": nothing vardelk search found beats it";
    const std::string comment = what + " for " + DescribeModel(run.model) + ", measure " + run.measure +
                                ", scale codes " + std::to_string(run.codes.front()) + ".." +
                                std::to_string(run.codes.back()) + "\n";
    for (const MatrixFileForm& form : BuiltInMatrixFileForms()) {
        if (form.write == nullptr) continue;
        const std::string path = out + "/matrix." + form.name + ".txt";
        // The ffmpeg form is one option value, with no room for a comment.
        const bool commented = std::string(form.name) != "ffmpeg";
        WriteTextFile(path, (commented ? comment : "") + form.write(entries, path));
    }
}

}  // namespace

static std::string OutputFolder(const std::string& out) {
    std::string folder = out;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

void WriteSearchOutputs(const SearchRunReport& run, const std::string& outText) {
    const std::string out = OutputFolder(outText);
    struct stat info;
    const auto isFolder = [&] { return stat(out.c_str(), &info) == 0 && S_ISDIR(info.st_mode); };
    if (!isFolder() && mkdir(out.c_str(), 0777) != 0 && !isFolder())
        throw CliError(out + ": the output folder cannot be created");
    WriteMatrixFiles(run, out);
    WriteTextFile(out + "/report.json", SearchReportJson(run));
    const std::string axis = run.measure == "ssim"      ? "SSIM dB, -10 log10(1 - SSIM)"
                             : run.measure == "psnr611" ? "PSNR 6:1:1 (dB)"
                                                        : RdMetricTitle(RdMetric::kPsnr);
    const std::string model = DescribeModel(run.model);
    const bool found = run.answer->preset.empty();  // a preset's curve is already there
    std::vector<RdCurve> curves = {PlottedCurve("default", run.training->defaultCurves, kDefaultColour),
                                   PlottedCurve("flat16", run.training->flatCurves, kFlatColour)};
    if (found) curves.push_back(PlottedCurve("found", run.training->foundCurves, kFoundColour));
    const std::string title =
        model + " model, training set, mean of " + std::to_string(run.training->names.size()) + " pictures";
    WriteRdPlot(out + "/rd.svg", curves, title, axis);
    WriteRdPlot(out + "/rd.png", curves, title, axis);
    if (run.confirmation == nullptr) {
        for (const char* name : {"confirmation.svg", "confirmation.png"}) RemoveEarlierOutput(out + "/" + name);
        return;
    }
    // Predicted (solid) beside measured (dashed) on the confirmed set.
    const Confirmation& c = *run.confirmation;
    const std::string by = " (" + c.encoder.name + ")";
    const std::vector<RdCurve> confirmed = {
        PlottedCurve("default", c.predicted->defaultCurves, kDefaultColour),
        PlottedCurve("flat16", c.predicted->flatCurves, kFlatColour),
        PlottedCurve("found", c.predicted->foundCurves, kFoundColour),
        PlottedCurve("default" + by, c.measured.defaultCurves, kDefaultColour, true),
        PlottedCurve("flat16" + by, c.measured.flatCurves, kFlatColour, true),
        PlottedCurve("found" + by, c.measured.foundCurves, kFoundColour, true)};
    const std::string confirmedTitle = model + " model predicted and " + c.encoder.name + " measured, " + c.set +
                                       " set, mean of " + std::to_string(c.measured.names.size()) + " pictures";
    WriteRdPlot(out + "/confirmation.svg", confirmed, confirmedTitle, axis);
    WriteRdPlot(out + "/confirmation.png", confirmed, confirmedTitle, axis);
}

void PrintSearchSummary(const SearchRunReport& run, const std::string& outText) {
    const SearchAnswer& answer = *run.answer;
    std::printf("search (%s, %s model, scale codes %d..%d): %lld matrices in %.0f s (%.2f/s), ended: %s\n",
                run.measure.c_str(), DescribeModel(run.model).c_str(), run.codes.front(), run.codes.back(),
                static_cast<long long>(run.result->evaluations), run.result->seconds,
                run.result->seconds > 0 ? double(run.result->evaluations) / run.result->seconds : 0.0,
                StopText(run.result->stop));
    std::printf(
        "objective (every byte counted, as the progress line): found %+.3f%%, default %+.3f%%, flat16 %+.3f%%\n",
        answer.foundObjective, answer.defaultObjective, answer.flatObjective);
    if (answer.preset == "default")
        std::printf("keep the default matrix: nothing found beats it on these pictures\n");
    else if (!answer.preset.empty())
        std::printf("use flat16: nothing found beats it on these pictures\n");
    PrintSet(stdout, "training", AnswerName(run), *run.training);
    if (run.validation) PrintSet(stdout, "validation", AnswerName(run), *run.validation);
    for (const char* set : {"training", "validation"}) {
        const std::vector<MeasureFigures>* predicted = PredictedByMeasure(run, set);
        const bool confirmed = run.confirmation != nullptr && run.confirmation->set == set;
        if (predicted) PrintByMeasure(stdout, set, AnswerName(run), *predicted, confirmed ? run.confirmation : nullptr);
    }
    if (run.confirmation)
        PrintConfirmation(stdout, *run.confirmation, isatty(1) != 0);
    else
        std::printf("%s\n", run.confirmationNote.c_str());
    std::printf("matrix and report in %s/\n", OutputFolder(outText).c_str());
}

}  // namespace vardelk
