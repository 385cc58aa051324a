#include "bd_report.h"

#include <sstream>

#include "quality/ssim.h"
#include "run_report.h"

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

}  // namespace

std::vector<BdReportRow> CompareWithAnchor(const std::vector<BdCurve>& curves, BdInterpolation method) {
    auto psnr = [](const BdCurve& c) {
        std::vector<BdPoint> points;
        for (const BdSweepPoint& p : c.points) points.push_back({p.bytes, p.psnrY});
        return points;
    };
    auto ssim = [](const BdCurve& c) {
        std::vector<BdPoint> points;
        for (const BdSweepPoint& p : c.points) points.push_back({p.bytes, SsimDb(p.ssimAll)});
        return points;
    };
    std::vector<BdReportRow> rows;
    for (size_t k = 1; k < curves.size(); ++k) {
        BdReportRow row;
        row.label = curves[k].label;
        const BdResult byPsnr = BjontegaardDelta(psnr(curves[0]), psnr(curves[k]), method);
        const BdResult bySsim = BjontegaardDelta(ssim(curves[0]), ssim(curves[k]), method);
        row.psnrRate = byPsnr.rate;
        row.psnr = byPsnr.quality;
        row.ssimRate = bySsim.rate;
        row.ssim = bySsim.quality;
        Collect(row.label + ", PSNR: ", byPsnr, &row.warnings);
        Collect(row.label + ", SSIM: ", bySsim, &row.warnings);
        rows.push_back(row);
    }
    return rows;
}

void PrintBdTable(std::FILE* out, const std::string& anchorLabel, BdInterpolation method,
                  const std::vector<BdReportRow>& rows) {
    std::fprintf(out, "Bjontegaard deltas against %s (%s; BD-rate < 0 and BD-quality > 0 favour the curve)\n",
                 anchorLabel.c_str(), BdInterpolationName(method));
    std::fprintf(out, "%-24s %12s %12s %12s %14s\n", "curve", "BD-rate Y", "BD-PSNR Y", "BD-rate SSIM", "BD-SSIM");
    for (const BdReportRow& r : rows) {
        std::fprintf(out, "%-24s %12s %12s %12s %14s\n", r.label.c_str(), Shown(r.psnrRate, " %").c_str(),
                     Shown(r.psnr, " dB").c_str(), Shown(r.ssimRate, " %").c_str(), Shown(r.ssim, " dB").c_str());
    }
}

void PrintBdWarnings(std::FILE* out, const std::vector<BdReportRow>& rows) {
    for (const BdReportRow& r : rows)
        for (const std::string& w : r.warnings) std::fprintf(out, "warning: %s\n", w.c_str());
}

std::string BdCsv(const std::string& anchorLabel, BdInterpolation method, const std::vector<BdReportRow>& rows) {
    auto quoted = [](std::string text) {  // quotes doubled, as CSV wants
        for (size_t p = text.find('"'); p != std::string::npos; p = text.find('"', p + 2)) text.insert(p, "\"");
        return '"' + text + '"';
    };
    std::ostringstream csv;
    csv << "anchor,curve,method,bd_rate_psnr,bd_psnr,bd_rate_ssim,bd_ssim\n";
    for (const BdReportRow& r : rows) {
        csv << quoted(anchorLabel) << ',' << quoted(r.label) << ',' << BdInterpolationName(method) << ','
            << Value(r.psnrRate, "") << ',' << Value(r.psnr, "") << ',' << Value(r.ssimRate, "") << ','
            << Value(r.ssim, "") << '\n';
    }
    return csv.str();
}

std::string BdJson(const std::string& anchorLabel, BdInterpolation method, const std::vector<BdReportRow>& rows) {
    std::ostringstream json;
    json << "{\"anchor\": " << JsonString(anchorLabel) << ", \"method\": \"" << BdInterpolationName(method)
         << "\", \"rows\": [";
    for (size_t i = 0; i < rows.size(); ++i) {
        const BdReportRow& r = rows[i];
        json << (i ? ", " : "") << "{\"curve\": " << JsonString(r.label)
             << ", \"bd_rate_psnr\": " << Value(r.psnrRate, "null") << ", \"bd_psnr\": " << Value(r.psnr, "null")
             << ", \"bd_rate_ssim\": " << Value(r.ssimRate, "null") << ", \"bd_ssim\": " << Value(r.ssim, "null")
             << ", \"warnings\": [";
        for (size_t w = 0; w < r.warnings.size(); ++w) json << (w ? ", " : "") << JsonString(r.warnings[w]);
        json << "]}";
    }
    json << "]}";
    return json.str();
}

}  // namespace vardelk
