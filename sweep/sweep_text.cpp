#include "sweep/sweep_text.h"

#include <string>
#include <vector>

#include "media/report_text.h"
#include "sweep/bd_report.h"

namespace vardelk {
namespace {

std::string MeasuredCell(const SweepRow& r, const std::string& text) { return r.measured.measured ? text : "n/a"; }

void PrintTable(std::FILE* out, const SweepReport& report) {
    const bool confirmed = !report.confirmedBy.empty(), s2 = report.ssimulacra2, butteraugli = report.butteraugli;
    std::fprintf(out, "coding model: %s%s%s%s%s\n", report.model.c_str(), confirmed ? "; measured by " : "",
                 report.confirmedBy.c_str(), report.reference.empty() ? "" : "; figures against the ",
                 report.reference.c_str());
    std::fprintf(out, "%-24s %-10s %4s %6s %12s %10s %9s %9s %9s %9s", "matrix", "mapping", "code", "qscale",
                 "bytes/frame", "Mbit/s", "Y dB", "Cb dB", "Cr dB", "SSIM");
    if (s2) std::fprintf(out, " %12s", "SSIMULACRA 2");
    if (butteraugli) std::fprintf(out, " %11s %9s", "Butteraugli", "3-norm");
    if (confirmed) std::fprintf(out, " %12s %9s %9s", "meas. bytes", "meas. Y", "meas.SSIM");
    if (confirmed && s2) std::fprintf(out, " %12s", "meas. SSIMU2");
    if (confirmed && butteraugli) std::fprintf(out, " %12s", "meas. 3-norm");
    std::fputc('\n', out);
    for (const SweepRow& r : report.rows) {
        std::fprintf(out, "%-24s %-10s %4d %6d %12.1f %10.3f %9s %9s %9s %9s", r.matrix.c_str(),
                     MappingName(r.nonLinear), r.scaleCode, r.quantiserScale, r.meanBytes, r.bitRate / 1e6,
                     FormatPsnr(r.error.y.Psnr(), false).c_str(), FormatPsnr(r.error.cb.Psnr(), false).c_str(),
                     FormatPsnr(r.error.cr.Psnr(), false).c_str(), FormatSsim(r.ssim.all.Ssim(), false).c_str());
        if (s2) std::fprintf(out, " %12s", FormatScore(r.ssimulacra2, false).c_str());
        if (butteraugli)
            std::fprintf(out, " %11s %9s", FormatScore(r.butteraugli.maxNorm, false).c_str(),
                         FormatScore(r.butteraugli.norm3, false).c_str());
        if (confirmed) {
            char bytes[32];
            std::snprintf(bytes, sizeof bytes, "%.1f", r.measured.meanBytes);
            std::fprintf(out, " %12s %9s %9s", MeasuredCell(r, bytes).c_str(),
                         MeasuredCell(r, FormatPsnr(r.measured.error.y.Psnr(), false)).c_str(),
                         MeasuredCell(r, FormatSsim(r.measured.ssim.all.Ssim(), false)).c_str());
            if (s2) std::fprintf(out, " %12s", MeasuredCell(r, FormatScore(r.measured.ssimulacra2, false)).c_str());
            if (butteraugli)
                std::fprintf(out, " %12s", MeasuredCell(r, FormatScore(r.measured.butteraugli.norm3, false)).c_str());
        }
        std::fputc('\n', out);
    }
}

// What the first matrix's curve spans: its scale codes, bits per pixel and
// the rate of an all-intra stream of pictures of this size at the two usual
// picture rates.
void PrintRange(std::FILE* out, const SweepReport& report) {
    const std::string anchor = CurveLabel(report.rows.front());
    double least = 0, most = 0;
    int32_t first = 0, last = 0;
    for (const SweepRow& r : report.rows) {
        if (CurveLabel(r) != anchor) break;
        if (first == 0 || r.meanBytes < least) least = r.meanBytes;
        if (first == 0 || r.meanBytes > most) most = r.meanBytes;
        last = r.scaleCode;
        if (first == 0) first = r.scaleCode;
    }
    const double pixels = double(report.width) * double(report.height);
    if (!(pixels > 0)) return;
    const double bppLow = least * 8 / pixels, bppHigh = most * 8 / pixels;
    const auto mbit = [&](double bpp, double rate) { return bpp * pixels * rate / 1e6; };
    std::fprintf(out,
                 "range of %s: scale codes %d..%d, %.2f-%.2f bits per pixel; all intra at %dx%d: %.2f-%.2f Mbit/s "
                 "at 25/s, %.2f-%.2f Mbit/s at 29.97/s\n",
                 anchor.c_str(), first, last, bppLow, bppHigh, report.width, report.height, mbit(bppLow, 25.0),
                 mbit(bppHigh, 25.0), mbit(bppLow, 30000.0 / 1001.0), mbit(bppHigh, 30000.0 / 1001.0));
}

}  // namespace

void PrintSweepReport(std::FILE* text, const SweepReport& report) {
    PrintTable(text, report);
    PrintRange(text, report);
    const std::string anchor = CurveLabel(report.rows.front());
    const std::vector<SweepMeasure>& measures = SweepMeasures(report.ssimulacra2, report.butteraugli);
    if (!report.bd.empty()) {
        std::fputc('\n', text);
        PrintBdTable(text, anchor, report.method, report.bd, measures);
    }
    if (!report.measuredBd.empty()) {
        std::fprintf(text, "\nmeasured by %s:\n", report.confirmedBy.c_str());
        PrintBdTable(text, anchor, report.method, report.measuredBd, measures);
    }
}

}  // namespace vardelk
