#include "compare/comparison_outputs.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "compare/compare_error.h"
#include "compare/compare_report.h"
#include "media/output_file.h"
#include "plot/rd_plot.h"

namespace vardelk {
namespace {

// The mean point per scale code over the covered pictures, at the codes
// the band reaches and one more on each side.
RdCurve PooledBandCurve(const std::string& label, const std::vector<RdCurveData>& pictures, const BandRanking& band,
                        const std::vector<int32_t>& codes) {
    RdCurve curve{label, {}, false, -1};
    for (size_t k = 0; k < codes.size(); ++k) {
        const bool before = k + 1 < codes.size() && codes[k + 1] <= band.finestCode;
        const bool after = k > 0 && codes[k - 1] >= band.coarsestCode;
        if (!band.band.Whole() && (before || after)) continue;
        double bytes = 0, quality = 0;
        int32_t count = 0;
        for (const RdCurveData& picture : pictures) {
            bytes += picture[k].bytes, quality += picture[k].quality, ++count;
        }
        if (count > 0) curve.points.push_back(RdPoint{bytes / count, quality / count, codes[k]});
    }
    return curve;
}

std::vector<RdCurveData> CoveredPictures(const std::vector<RdCurveData>& curves, const std::vector<std::string>& names,
                                         const BandRanking& band) {
    std::vector<RdCurveData> covered;
    for (size_t p = 0; p < curves.size(); ++p) {
        if (std::find(band.uncovered.begin(), band.uncovered.end(), names[p]) == band.uncovered.end())
            covered.push_back(curves[p]);
    }
    return covered;
}

}  // namespace

std::vector<std::string> WriteComparisonOutputs(const ComparisonResult& r, const std::string& folder,
                                                int32_t plottedCandidates) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw CompareError(folder + ": cannot make the folder: " + error.message());
    std::vector<std::string> written;
    const std::string report = folder + "/report.json";
    WriteTextFile(report, ComparisonJson(r));
    written.push_back(report);
    for (size_t i = 0; i < r.predicted.bands.size(); ++i) {
        const BandRanking& band = r.predicted.bands[i];
        if (band.uncovered.size() == r.pictures.size()) continue;
        // The default and the best others, by the predicted ranking.
        std::vector<size_t> shown = {0};
        for (size_t c : band.order) {
            if (c != 0 && int32_t(shown.size()) <= plottedCandidates) shown.push_back(c);
        }
        std::vector<RdCurve> curves;
        for (size_t s = 0; s < shown.size(); ++s) {
            const size_t c = shown[s];
            curves.push_back(PooledBandCurve(
                r.candidates[c].name, CoveredPictures(r.predicted.curves[c][0], r.pictures, band), band, r.scaleCodes));
            curves.back().colour = int32_t(s);
            if (!r.confirmed) continue;
            curves.push_back(PooledBandCurve(r.candidates[c].name + " (" + r.measured.source + ")",
                                             CoveredPictures(r.measured.curves[c][0], r.pictures, band), band,
                                             r.scaleCodes));
            curves.back().dashed = true;
            curves.back().colour = int32_t(s);
        }
        const std::string stem = folder + "/band-" + band.band.name;
        const std::string title = BandTitle(band.band) + ", mean of " +
                                  std::to_string(r.pictures.size() - band.uncovered.size()) + " pictures";
        for (const char* ending : {".svg", ".png"}) {
            WriteRdPlot(stem + ending, curves, title, MeasureTitle(r.predicted.measures[0]));
            written.push_back(stem + ending);
        }
    }
    return written;
}

}  // namespace vardelk
