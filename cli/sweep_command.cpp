#include "sweep_command.h"

#include <cinttypes>
#include <memory>
#include <mutex>
#include <sstream>

#include "clip_runner.h"
#include "clip_source.h"
#include "command_common.h"
#include "interrupt.h"
#include "parallel/parallel_for.h"
#include "progress.h"
#include "rd_plot.h"
#include "run_report.h"

namespace vardelk {
namespace {

// The sweep runs the clip many times, so it is read into memory once.
std::vector<Y4mFrame> LoadClip(ClipSource& source, int64_t maxFrames) {
    std::vector<Y4mFrame> frames;
    Y4mFrame frame;
    while ((maxFrames < 0 || int64_t(frames.size()) < maxFrames) && source.ReadFrame(frame)) {
        ThrowIfInterrupted();
        frames.push_back(frame);
    }
    return frames;
}

// Frames done over the whole sweep, shown from whichever thread finishes one.
struct SharedProgress {
    Progress& progress;
    std::mutex lock;
    int64_t done = 0;

    void FrameDone() {
        const std::lock_guard<std::mutex> hold(lock);
        progress.Update(++done);
    }
};

SweepRow RunOne(const std::vector<Y4mFrame>& clip, const Y4mFormat& format, const NamedMatrix& matrix,
                FilterSettings settings, SharedProgress& progress) {
    ClipRunner runner(format, settings, matrix.entries.data(), "");
    SweepRow row;
    row.matrix = matrix.name;
    row.nonLinear = settings.nonLinearScale != 0;
    row.scaleCode = settings.scaleCode;
    row.quantiserScale = QuantiserScale(settings.scaleCode, settings.nonLinearScale);
    runner.MeasureSsim(true);
    for (const Y4mFrame& frame : clip) {
        ThrowIfInterrupted();
        const FrameResult r = runner.Process(frame);
        row.totalBytes += r.bytes;
        row.error.Add(r.error);
        row.ssim.Add(r.ssim);
        progress.FrameDone();
    }
    row.frames = int64_t(clip.size());
    row.meanBytes = double(row.totalBytes) / double(row.frames);
    row.bitRate = row.meanBytes * 8.0 * format.rateNum / format.rateDen;
    return row;
}

const char* MappingName(bool nonLinear) { return nonLinear ? "non-linear" : "linear"; }

void PrintTable(std::FILE* out, const std::vector<SweepRow>& rows) {
    std::fprintf(out, "%-24s %-10s %4s %6s %12s %10s %9s %9s %9s %9s\n", "matrix", "mapping", "code", "qscale",
                 "bytes/frame", "Mbit/s", "Y dB", "Cb dB", "Cr dB", "SSIM");
    for (const SweepRow& r : rows) {
        std::fprintf(out, "%-24s %-10s %4d %6d %12.1f %10.3f %9s %9s %9s %9s\n", r.matrix.c_str(),
                     MappingName(r.nonLinear), r.scaleCode, r.quantiserScale, r.meanBytes, r.bitRate / 1e6,
                     FormatPsnr(r.error.y.Psnr(), false).c_str(), FormatPsnr(r.error.cb.Psnr(), false).c_str(),
                     FormatPsnr(r.error.cr.Psnr(), false).c_str(), FormatSsim(r.ssim.all.Ssim(), false).c_str());
    }
}

std::vector<BdCurve> BdCurves(const std::vector<SweepRow>& rows) {
    std::vector<BdCurve> curves;
    for (const SweepRow& r : rows) {
        const std::string label = CurveLabel(r);
        if (curves.empty() || curves.back().label != label) curves.push_back(BdCurve{label, {}});
        curves.back().points.push_back(BdSweepPoint{r.meanBytes, r.error.y.Psnr(), r.ssim.all.Ssim()});
    }
    return curves;
}

BdInterpolation BdMethod(const std::string& name) {
    if (name == "akima") return BdInterpolation::kAkima;
    if (name == "cubic") return BdInterpolation::kCubicFit;
    return BdInterpolation::kPchip;
}

// The four Bjontegaard columns of a row's curve, empty for the anchor.
std::string BdColumns(const SweepRow& r, const std::vector<BdReportRow>& bd) {
    auto figure = [](const BdFigure& f) { return f.computable ? FormatDecimal(f.value) : std::string(); };
    for (const BdReportRow& b : bd) {
        if (b.label == CurveLabel(r))
            return "," + figure(b.psnrRate) + "," + figure(b.psnr) + "," + figure(b.ssimRate) + "," + figure(b.ssim);
    }
    return ",,,,";
}

std::vector<RdCurve> Curves(const std::vector<SweepRow>& rows, bool ssim) {
    std::vector<RdCurve> curves;
    for (const SweepRow& r : rows) {
        const std::string label = CurveLabel(r);
        if (curves.empty() || curves.back().label != label) curves.push_back(RdCurve{label, {}});
        const double quality = ssim ? r.ssim.all.Ssim() : r.error.y.Psnr();
        curves.back().points.push_back(RdPoint{r.meanBytes, quality, r.scaleCode});
    }
    return curves;
}

}  // namespace

std::string CurveLabel(const SweepRow& r) {
    return r.matrix.substr(r.matrix.find_last_of('/') + 1) + " " + MappingName(r.nonLinear);
}

std::string SweepCsv(const std::vector<SweepRow>& rows, const std::vector<BdReportRow>& bd) {
    std::ostringstream csv;
    csv << "matrix,mapping,scale_code,quantiser_scale,frames,total_bytes,mean_bytes,bit_rate,psnr_y,psnr_cb,psnr_cr,"
           "ssim_y,ssim_cb,ssim_cr,ssim_all"
        << (bd.empty() ? "" : ",bd_rate_psnr,bd_psnr,bd_rate_ssim,bd_ssim") << '\n';
    for (const SweepRow& r : rows) {
        std::string name = r.matrix;  // quoted, with quotes doubled, as CSV wants
        for (size_t p = name.find('"'); p != std::string::npos; p = name.find('"', p + 2)) name.insert(p, "\"");
        csv << '"' << name << "\"," << MappingName(r.nonLinear) << ',' << r.scaleCode << ',' << r.quantiserScale << ','
            << r.frames << ',' << r.totalBytes << ',' << FormatDecimal(r.meanBytes) << ',' << FormatDecimal(r.bitRate)
            << ',' << FormatPsnr(r.error.y.Psnr(), false) << ',' << FormatPsnr(r.error.cb.Psnr(), false) << ','
            << FormatPsnr(r.error.cr.Psnr(), false) << ',' << FormatSsim(r.ssim.y.Ssim(), false) << ','
            << FormatSsim(r.ssim.cb.Ssim(), false) << ',' << FormatSsim(r.ssim.cr.Ssim(), false) << ','
            << FormatSsim(r.ssim.all.Ssim(), false) << (bd.empty() ? "" : BdColumns(r, bd)) << '\n';
    }
    return csv.str();
}

std::string SweepJson(const std::string& input, const std::vector<SweepRow>& rows, const std::vector<BdReportRow>& bd,
                      BdInterpolation method) {
    std::ostringstream json;
    json << "{\n  \"input\": " << JsonString(input) << ",\n  \"rows\": [";
    for (size_t i = 0; i < rows.size(); ++i) {
        const SweepRow& r = rows[i];
        json << (i ? ",\n" : "\n") << "    {\"matrix\": " << JsonString(r.matrix) << ", \"mapping\": \""
             << MappingName(r.nonLinear) << "\", \"scale_code\": " << r.scaleCode
             << ", \"quantiser_scale\": " << r.quantiserScale << ", \"frames\": " << r.frames
             << ", \"total_bytes\": " << r.totalBytes << ", \"mean_bytes\": " << FormatDecimal(r.meanBytes)
             << ", \"bit_rate\": " << FormatDecimal(r.bitRate) << ", \"psnr_y\": " << FormatPsnr(r.error.y.Psnr(), true)
             << ", \"psnr_cb\": " << FormatPsnr(r.error.cb.Psnr(), true)
             << ", \"psnr_cr\": " << FormatPsnr(r.error.cr.Psnr(), true)
             << ", \"ssim_y\": " << FormatSsim(r.ssim.y.Ssim(), true)
             << ", \"ssim_cb\": " << FormatSsim(r.ssim.cb.Ssim(), true)
             << ", \"ssim_cr\": " << FormatSsim(r.ssim.cr.Ssim(), true)
             << ", \"ssim_all\": " << FormatSsim(r.ssim.all.Ssim(), true) << "}";
    }
    json << "\n  ]";
    if (!bd.empty()) json << ",\n  \"bd\": " << BdJson(CurveLabel(rows.front()), method, bd);
    json << "\n}\n";
    return json.str();
}

int RunSweepCommand(const CliOptions& o) {
    std::vector<NamedMatrix> matrices;
    for (const std::string& source : o.matrices) matrices.push_back(LoadMatrix(source));
    if (matrices.empty()) matrices.push_back(LoadMatrix("default"));
    CheckWritable(o.stats);
    CheckWritable(o.plot);
    std::unique_ptr<ClipSource> source = OpenClipSource(o.input, o.maxFrames > 0 ? int32_t(o.maxFrames) : 1);
    const Y4mFormat format = source->Format();
    const std::vector<Y4mFrame> clip = LoadClip(*source, o.maxFrames);
    if (clip.empty()) throw CliError(o.input + ": holds no frames");

    const int mappings = o.sweepNonLinear ? 2 : 1;
    const int64_t runs = int64_t(matrices.size()) * mappings * kMaxScaleCode;
    Progress progress(runs * int64_t(clip.size()), !o.quiet && StderrIsTerminal());
    struct Point {
        const NamedMatrix* matrix;
        FilterSettings settings;
    };
    std::vector<Point> points;
    for (const NamedMatrix& matrix : matrices) {
        for (int nonLinear = 0; nonLinear < mappings; ++nonLinear) {
            FilterSettings settings = SettingsFrom(o);
            settings.nonLinearScale = nonLinear;
            for (int32_t code = kMinScaleCode; code <= kMaxScaleCode; ++code) {
                settings.scaleCode = code;
                points.push_back(Point{&matrix, settings});
            }
        }
    }
    // Every point is independent: they run at once and land in their place.
    std::vector<SweepRow> rows(points.size());
    SharedProgress shared{progress, {}, 0};
    ParallelFor(o.threads, int64_t(points.size()), [&](int64_t i) {
        rows[size_t(i)] = RunOne(clip, format, *points[size_t(i)].matrix, points[size_t(i)].settings, shared);
    });
    progress.Finish();
    if (!o.plot.empty()) {
        const std::string name = o.input.substr(o.input.find_last_of('/') + 1);
        const RdMetric metric = ParseRdMetric(o.plotMetric);
        WriteRdPlot(o.plot, Curves(rows, metric == RdMetric::kSsim),
                    name + ", " + std::to_string(clip.size()) + " frame(s), " + std::to_string(format.width) + "x" +
                        std::to_string(format.height),
                    metric == RdMetric::kSsim ? "SSIM (all planes)" : RdMetricTitle(metric));
    }
    const BdInterpolation method = BdMethod(o.bdMethod);
    const std::vector<BdReportRow> bd = CompareWithAnchor(BdCurves(rows), method);
    if (!o.stats.empty()) {
        WriteOutputText(o.stats, o.statsFormat == "csv" ? SweepCsv(rows, bd) : SweepJson(o.input, rows, bd, method));
    }
    if (std::FILE* text = TextStream(o)) {
        PrintTable(text, rows);
        if (!bd.empty()) {
            std::fputc('\n', text);
            PrintBdTable(text, CurveLabel(rows.front()), method, bd);
        }
    }
    if (!o.quiet) PrintBdWarnings(stderr, bd);
    return 0;
}

}  // namespace vardelk
