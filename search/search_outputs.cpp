#include "search/search_outputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "matrix/matrix_files.h"
#include "media/output_file.h"
#include "plot/rd_plot.h"
#include "search/search_error.h"

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

// Every run writes the matrix files, the report and rd.*; a run without a
// confirmation removes an earlier run's confirmation plots, so that the
// folder never mixes runs.
void RemoveEarlierOutput(const std::string& path) {
    if (std::remove(path.c_str()) != 0 && errno != ENOENT)
        throw SearchError(path + ": the file of an earlier run cannot be removed (" + std::strerror(errno) + ")");
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

std::string SearchOutputFolder(const std::string& out) {
    std::string folder = out;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

void PrepareSearchOutputFolder(const std::string& outText) {
    const std::string out = SearchOutputFolder(outText);
    struct stat info;
    const auto isFolder = [&] { return stat(out.c_str(), &info) == 0 && S_ISDIR(info.st_mode); };
    if (!isFolder() && mkdir(out.c_str(), 0777) != 0 && !isFolder())
        throw SearchError(out + ": the output folder cannot be created (" + std::strerror(errno) + ")");
    OutputFile probe(out + "/report.json");  // removed again: the folder takes files
}

void WriteSearchOutputs(const SearchRunReport& run, const std::string& outText) {
    const std::string out = SearchOutputFolder(outText);
    PrepareSearchOutputFolder(out);
    WriteMatrixFiles(run, out);
    WriteTextFile(out + "/report.json", SearchReportJson(run));
    QualityMeasure measure = QualityMeasure::kPsnrY;
    ParseQualityMeasure(run.measure, &measure);
    const std::string axis = QualityMeasureTitle(measure);
    const std::string model = DescribeModel(run.model);
    // The default's and flat 16's curves are there already.
    const bool found = run.answer->preset != "default" && run.answer->preset != "flat16";
    std::vector<RdCurve> curves = {PlottedCurve("default", run.training->defaultCurves, kDefaultColour),
                                   PlottedCurve("flat16", run.training->flatCurves, kFlatColour)};
    if (found) curves.push_back(PlottedCurve(AnswerName(*run.answer), run.training->foundCurves, kFoundColour));
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

}  // namespace vardelk
