#include "search_outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "cli_error.h"
#include "matrix/matrix_files.h"
#include "media/output_file.h"
#include "plot/rd_plot.h"

namespace vardelk {
namespace {

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

}  // namespace

void WriteSearchOutputs(const SearchRunReport& run, const std::string& out) {
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
    const std::vector<RdCurve> curves = {PlottedCurve("default", run.training->defaultCurves),
                                         PlottedCurve("flat16", run.training->flatCurves),
                                         PlottedCurve("found", run.training->foundCurves)};
    const std::string title =
        model + " model, training set, mean of " + std::to_string(run.training->names.size()) + " pictures";
    WriteRdPlot(out + "/rd.svg", curves, title, axis);
    WriteRdPlot(out + "/rd.png", curves, title, axis);
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
    WriteRdPlot(out + "/confirmation.svg", confirmed, confirmedTitle, axis);
    WriteRdPlot(out + "/confirmation.png", confirmed, confirmedTitle, axis);
}

void PrintSearchSummary(const SearchRunReport& run, const std::string& out) {
    std::printf("search (%s, %s model, scale codes %d..%d): %lld matrices in %.0f s (%.2f/s), stopped: %s\n",
                run.measure.c_str(), DescribeModel(run.model).c_str(), run.codes.front(), run.codes.back(),
                static_cast<long long>(run.result->evaluations), run.result->seconds,
                run.result->seconds > 0 ? double(run.result->evaluations) / run.result->seconds : 0.0,
                SearchStopName(run.result->stop));
    PrintSet(stdout, "training", *run.training);
    if (run.validation) PrintSet(stdout, "validation", *run.validation);
    if (run.confirmation)
        PrintConfirmation(stdout, *run.confirmation, isatty(1) != 0);
    else
        std::printf("%s\n", run.confirmationNote.c_str());
    std::printf("matrix and report in %s/\n", out.c_str());
}

}  // namespace vardelk
