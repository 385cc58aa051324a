#include "sweep/bd_report.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "media/report_text.h"
#include "quality/ssim.h"

namespace vardelk {
namespace {

// Figures with four decimals; "none" where not computable.
std::string Value(const BdFigure& f, const char* none) {
    if (!f.computable) return none;
    char text[40];
    std::snprintf(text, sizeof text, "%.4f", f.value);
    return text;
}

std::string Shown(const BdFigure& f, const char* unit) {
    if (!f.computable) return "n/a";
    char text[48];
    std::snprintf(text, sizeof text, "%+.3f%s", f.value, unit);
    return text;
}

// Warnings of one comparison, and the reasons of figures it could not give,
// named after the curve and the measure.
void Collect(const std::string& prefix, const BdResult& r, std::vector<std::string>* warnings) {
    for (const std::string& w : r.warnings) warnings->push_back(prefix + w);
    if (!r.rate.computable) warnings->push_back(prefix + "no BD-rate: " + r.rate.reason);
    if (!r.quality.computable) warnings->push_back(prefix + "no BD-quality: " + r.quality.reason);
}

double Unchanged(double quality) { return quality; }

// A distance, smaller better, taken as -ln so that its deltas read as
// relative changes with better up.
double NegativeLog(double distance) { return -std::log(distance); }

std::vector<BdPoint> MeasureCurve(const BdCurve& c, const std::vector<SweepMeasure>& measures, size_t measure) {
    const SweepMeasure& m = measures[measure];
    std::vector<BdPoint> points;
    for (const BdSweepPoint& p : c.points) points.push_back({p.bytes, m.bdForm(p.quality.at(measure))});
    return points;
}

}  // namespace

const std::vector<SweepMeasure>& SweepMeasures(bool ssimulacra2, bool butteraugli) {
    static const SweepMeasure psnr{"PSNR", "psnr", "BD-rate Y", "BD-PSNR Y", 12, 12, " dB", Unchanged};
    static const SweepMeasure ssim{"SSIM", "ssim", "BD-rate SSIM", "BD-SSIM", 12, 14, " dB", SsimDb};
    // The score is already perceptually uniform enough to interpolate as it
    // is; its BD-quality is in the score's points.
    static const SweepMeasure perceptual{
        "SSIMULACRA 2", "ssimulacra2", "BD-rate SSIMULACRA 2", "BD-SSIMULACRA 2", 20, 15, " pt", Unchanged};
    static const SweepMeasure distance{
        "Butteraugli", "butteraugli", "BD-rate Butteraugli", "BD-Butteraugli", 19, 14, "", NegativeLog};
    static const std::vector<SweepMeasure> usual = {psnr, ssim}, withScore = {psnr, ssim, perceptual},
                                           withDistance = {psnr, ssim, distance},
                                           all = {psnr, ssim, perceptual, distance};
    if (butteraugli) return ssimulacra2 ? all : withDistance;
    return ssimulacra2 ? withScore : usual;
}

std::vector<BdReportRow> CompareWithAnchor(const std::vector<BdCurve>& curves, BdInterpolation method,
                                           const std::vector<SweepMeasure>& measures) {
    std::vector<BdReportRow> rows;
    for (size_t k = 1; k < curves.size(); ++k) {
        BdReportRow row;
        row.label = curves[k].label;
        for (size_t m = 0; m < measures.size(); ++m) {
            const BdResult r =
                BjontegaardDelta(MeasureCurve(curves[0], measures, m), MeasureCurve(curves[k], measures, m), method);
            row.figures.push_back({r.rate, r.quality});
            Collect(row.label + ", " + measures[m].name + ": ", r, &row.warnings);
        }
        rows.push_back(row);
    }
    return rows;
}

void PrintBdTable(std::FILE* out, const std::string& anchorLabel, BdInterpolation method,
                  const std::vector<BdReportRow>& rows, const std::vector<SweepMeasure>& measures) {
    std::fprintf(out, "Bjontegaard deltas against %s (%s; BD-rate < 0 and BD-quality > 0 favour the curve)\n",
                 anchorLabel.c_str(), BdInterpolationName(method));
    std::fprintf(out, "%-24s", "curve");
    for (const SweepMeasure& m : measures)
        std::fprintf(out, " %*s %*s", m.rateWidth, m.rateHeading, m.qualityWidth, m.qualityHeading);
    std::fputc('\n', out);
    for (const BdReportRow& r : rows) {
        std::fprintf(out, "%-24s", r.label.c_str());
        for (size_t m = 0; m < measures.size(); ++m)
            std::fprintf(out, " %*s %*s", measures[m].rateWidth, Shown(r.figures[m].rate, " %").c_str(),
                         measures[m].qualityWidth, Shown(r.figures[m].quality, measures[m].unit).c_str());
        std::fputc('\n', out);
    }
}

namespace {

// A warning's shape: its text with every run of digits (the curve's and the
// figures' numbers) made one '#'.
std::string WarningShape(const std::string& text) {
    std::string shape;
    for (char c : text) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit || shape.empty() || shape.back() != '#') shape += digit ? '#' : c;
    }
    return shape;
}

// The part before the warning's first ": ", which names the curve.
std::string WarningSubject(const std::string& text) { return text.substr(0, text.find(": ")); }

}  // namespace

void PrintBdWarnings(std::FILE* out, const std::vector<BdReportRow>& rows) {
    // Warnings that differ only by the curve's name and their figures (a
    // sweep of many matrices gives one per curve and measure) are printed
    // once, with the count and the curves of the others; the JSON keeps
    // every one.
    struct Group {
        std::string shape, first;
        std::vector<std::string> others;
    };
    std::vector<Group> groups;
    for (const BdReportRow& r : rows)
        for (const std::string& w : r.warnings) {
            const std::string shape = WarningShape(w.substr(w.find(": ") == std::string::npos ? 0 : w.find(": ")));
            auto same = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.shape == shape; });
            if (same == groups.end())
                groups.push_back({shape, w, {}});
            else
                same->others.push_back(WarningSubject(w));
        }
    for (const Group& g : groups) {
        std::fprintf(out, "warning: %s\n", g.first.c_str());
        if (g.others.empty()) continue;
        std::string names;
        for (const std::string& n : g.others) names += (names.empty() ? "" : "; ") + n;
        std::fprintf(out, "warning: the same for %zu more (%s)\n", g.others.size(), names.c_str());
    }
}

std::string BdColumnNames(const std::string& prefix, const std::vector<SweepMeasure>& measures) {
    std::string names;
    for (const SweepMeasure& m : measures)
        names += (names.empty() ? "" : ",") + prefix + "bd_rate_" + m.key + "," + prefix + "bd_" + m.key;
    return names;
}

std::string BdColumnValues(const BdReportRow* row, const std::vector<SweepMeasure>& measures) {
    std::string values;
    if (row == nullptr) return std::string(2 * measures.size(), ',');
    for (size_t m = 0; m < measures.size(); ++m) {
        for (const BdFigure* f : {&row->figures[m].rate, &row->figures[m].quality})
            values += "," + (f->computable ? FormatDecimal(f->value) : std::string());
    }
    return values;
}

std::string BdJson(const std::string& anchorLabel, BdInterpolation method, const std::vector<BdReportRow>& rows,
                   const std::vector<SweepMeasure>& measures) {
    std::ostringstream json;
    json << "{\"anchor\": " << JsonString(anchorLabel) << ", \"method\": \"" << BdInterpolationName(method)
         << "\", \"rows\": [";
    for (size_t i = 0; i < rows.size(); ++i) {
        const BdReportRow& r = rows[i];
        json << (i ? ", " : "") << "{\"curve\": " << JsonString(r.label);
        for (size_t m = 0; m < measures.size(); ++m)
            json << ", \"bd_rate_" << measures[m].key << "\": " << Value(r.figures[m].rate, "null") << ", \"bd_"
                 << measures[m].key << "\": " << Value(r.figures[m].quality, "null");
        json << ", \"warnings\": [";
        for (size_t w = 0; w < r.warnings.size(); ++w) json << (w ? ", " : "") << JsonString(r.warnings[w]);
        json << "]}";
    }
    json << "]}";
    return json.str();
}

}  // namespace vardelk
