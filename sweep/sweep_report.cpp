#include "sweep/sweep_report.h"

#include <sstream>

#include <cmath>

#include "media/report_text.h"

namespace vardelk {
namespace {

// The Bjontegaard columns of a row's curve, empty for the anchor.
std::string BdColumns(const SweepRow& r, const std::vector<BdReportRow>& bd,
                      const std::vector<SweepMeasure>& measures) {
    for (const BdReportRow& b : bd) {
        if (b.label == CurveLabel(r)) return BdColumnValues(&b, measures);
    }
    return BdColumnValues(nullptr, measures);
}

const char kMeasuredColumns[] =
    "measured_total_bytes,measured_mean_bytes,measured_bit_rate,measured_psnr_y,measured_psnr_cb,measured_psnr_cr,"
    "measured_ssim_y,measured_ssim_cb,measured_ssim_cr,measured_ssim_all";

std::string ButteraugliColumns(const ButteraugliDistance& d) {
    return "," + FormatScore(d.maxNorm, false) + "," + FormatScore(d.norm3, false);
}

std::string MeasuredColumns(const MeasuredPoint& m, bool ssimulacra2, bool butteraugli) {
    if (!m.measured) return std::string(10 + (ssimulacra2 ? 1 : 0) + (butteraugli ? 2 : 0), ',');
    return "," + std::to_string(m.totalBytes) + "," + FormatDecimal(m.meanBytes) + "," + FormatDecimal(m.bitRate) +
           "," + FormatPsnr(m.error.y.Psnr(), false) + "," + FormatPsnr(m.error.cb.Psnr(), false) + "," +
           FormatPsnr(m.error.cr.Psnr(), false) + "," + FormatSsim(m.ssim.y.Ssim(), false) + "," +
           FormatSsim(m.ssim.cb.Ssim(), false) + "," + FormatSsim(m.ssim.cr.Ssim(), false) + "," +
           FormatSsim(m.ssim.all.Ssim(), false) + (ssimulacra2 ? "," + FormatScore(m.ssimulacra2, false) : "") +
           (butteraugli ? ButteraugliColumns(m.butteraugli) : "");
}

// The figures every point row carries, in JSON, without the braces.
std::string FiguresJson(int64_t totalBytes, double meanBytes, double bitRate, const FrameError& e, const FrameSsim& s,
                        const double* ssimulacra2, const ButteraugliDistance* butteraugli) {
    return "\"total_bytes\": " + std::to_string(totalBytes) + ", \"mean_bytes\": " + FormatDecimal(meanBytes) +
           ", \"bit_rate\": " + FormatDecimal(bitRate) + ", \"psnr_y\": " + FormatPsnr(e.y.Psnr(), true) +
           ", \"psnr_cb\": " + FormatPsnr(e.cb.Psnr(), true) + ", \"psnr_cr\": " + FormatPsnr(e.cr.Psnr(), true) +
           ", \"ssim_y\": " + FormatSsim(s.y.Ssim(), true) + ", \"ssim_cb\": " + FormatSsim(s.cb.Ssim(), true) +
           ", \"ssim_cr\": " + FormatSsim(s.cr.Ssim(), true) + ", \"ssim_all\": " + FormatSsim(s.all.Ssim(), true) +
           (ssimulacra2 ? ", \"ssimulacra2\": " + FormatScore(*ssimulacra2, true) : "") +
           (butteraugli ? ", \"butteraugli\": " + FormatScore(butteraugli->maxNorm, true) +
                              ", \"butteraugli_3norm\": " + FormatScore(butteraugli->norm3, true)
                        : "");
}

std::string PointJson(const SweepRow& r) {
    return "{\"matrix\": " + JsonString(r.matrix) + ", \"mapping\": \"" + MappingName(r.nonLinear) +
           "\", \"scale_code\": " + std::to_string(r.scaleCode);
}

std::string ConfirmedJson(const SweepReport& report) {
    std::ostringstream json;
    json << "{\"encoder\": " << JsonString(report.confirmedBy) << ", \"rows\": [";
    for (size_t i = 0; i < report.rows.size(); ++i) {
        const SweepRow& r = report.rows[i];
        const MeasuredPoint& m = r.measured;
        json << (i ? ",\n" : "\n") << "    " << PointJson(r) << ", \"measured\": " << (m.measured ? "true" : "false");
        if (m.measured)
            json << ", "
                 << FiguresJson(m.totalBytes, m.meanBytes, m.bitRate, m.error, m.ssim,
                                report.ssimulacra2 ? &m.ssimulacra2 : nullptr,
                                report.butteraugli ? &m.butteraugli : nullptr);
        json << "}";
    }
    json << "\n  ]";
    if (!report.measuredBd.empty())
        json << ", \"bd\": "
             << BdJson(CurveLabel(report.rows.front()), report.method, report.measuredBd, ReportMeasures(report));
    json << "}";
    return json.str();
}

}  // namespace

std::vector<SweepMeasure> ReportMeasures(const SweepReport& report) {
    return SweepMeasures(report.ssimulacra2, report.butteraugli);
}

std::string SweepCsv(const SweepReport& report) {
    const bool bd = !report.bd.empty(), confirmed = !report.confirmedBy.empty();
    const bool measuredBd = confirmed && !report.measuredBd.empty();
    const bool s2 = report.ssimulacra2, butteraugli = report.butteraugli;
    const std::vector<SweepMeasure>& measures = SweepMeasures(s2, butteraugli);
    const char* butteraugliNames = butteraugli ? ",butteraugli,butteraugli_3norm" : "";
    std::ostringstream csv;
    csv << "matrix,mapping,scale_code,quantiser_scale,frames,total_bytes,mean_bytes,bit_rate,psnr_y,psnr_cb,psnr_cr,"
           "ssim_y,ssim_cb,ssim_cr,ssim_all"
        << (s2 ? ",ssimulacra2" : "") << butteraugliNames << (bd ? "," + BdColumnNames("", measures) : "")
        << (confirmed ? std::string(",") + kMeasuredColumns + (s2 ? ",measured_ssimulacra2" : "") +
                            (butteraugli ? ",measured_butteraugli,measured_butteraugli_3norm" : "")
                      : "")
        << (measuredBd ? "," + BdColumnNames("measured_", measures) : "");
    csv << (report.modelColumn ? ",model" : "") << '\n';
    for (const SweepRow& r : report.rows) {
        csv << CsvQuoted(r.matrix) << ',' << MappingName(r.nonLinear) << ',' << r.scaleCode << ',' << r.quantiserScale
            << ',' << r.frames << ',' << r.totalBytes << ',' << FormatDecimal(r.meanBytes) << ','
            << FormatDecimal(r.bitRate) << ',' << FormatPsnr(r.error.y.Psnr(), false) << ','
            << FormatPsnr(r.error.cb.Psnr(), false) << ',' << FormatPsnr(r.error.cr.Psnr(), false) << ','
            << FormatSsim(r.ssim.y.Ssim(), false) << ',' << FormatSsim(r.ssim.cb.Ssim(), false) << ','
            << FormatSsim(r.ssim.cr.Ssim(), false) << ',' << FormatSsim(r.ssim.all.Ssim(), false)
            << (s2 ? "," + FormatScore(r.ssimulacra2, false) : "")
            << (butteraugli ? ButteraugliColumns(r.butteraugli) : "") << (bd ? BdColumns(r, report.bd, measures) : "")
            << (confirmed ? MeasuredColumns(r.measured, s2, butteraugli) : "")
            << (measuredBd ? BdColumns(r, report.measuredBd, measures) : "")
            << (report.modelColumn ? "," + CsvQuoted(report.model) : "") << '\n';
    }
    return csv.str();
}

std::string SweepJson(const SweepReport& report) {
    std::ostringstream json;
    json << "{\n  \"input\": " << JsonString(report.input) << ",\n  \"model\": " << JsonString(report.model);
    if (!report.reference.empty()) json << ",\n  \"reference\": " << JsonString(report.reference);
    json << ",\n  \"rows\": [";
    for (size_t i = 0; i < report.rows.size(); ++i) {
        const SweepRow& r = report.rows[i];
        json << (i ? ",\n" : "\n") << "    " << PointJson(r) << ", \"quantiser_scale\": " << r.quantiserScale
             << ", \"frames\": " << r.frames << ", "
             << FiguresJson(r.totalBytes, r.meanBytes, r.bitRate, r.error, r.ssim,
                            report.ssimulacra2 ? &r.ssimulacra2 : nullptr,
                            report.butteraugli ? &r.butteraugli : nullptr)
             << "}";
    }
    json << "\n  ]";
    if (!report.bd.empty())
        json << ",\n  \"bd\": "
             << BdJson(CurveLabel(report.rows.front()), report.method, report.bd, ReportMeasures(report));
    if (!report.confirmedBy.empty()) json << ",\n  \"confirmed\": " << ConfirmedJson(report);
    json << "\n}\n";
    return json.str();
}

}  // namespace vardelk
