#include "sweep_command.h"

#include <cinttypes>
#include <memory>
#include <mutex>
#include <sstream>

#include "clip/clip_runner.h"
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
                CodingSettings settings, uint32_t cpuFlags, SharedProgress& progress) {
    ClipRunner runner(format, settings, matrix.entries.data(), "", 1, cpuFlags);
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

std::string MeasuredCell(const SweepRow& r, const std::string& text) { return r.measured.measured ? text : "n/a"; }

void PrintTable(std::FILE* out, const SweepReport& report) {
    const bool confirmed = !report.confirmedBy.empty();
    std::fprintf(out, "coding model: %s%s%s\n", report.model.c_str(), confirmed ? "; measured by " : "",
                 report.confirmedBy.c_str());
    std::fprintf(out, "%-24s %-10s %4s %6s %12s %10s %9s %9s %9s %9s", "matrix", "mapping", "code", "qscale",
                 "bytes/frame", "Mbit/s", "Y dB", "Cb dB", "Cr dB", "SSIM");
    if (confirmed) std::fprintf(out, " %12s %9s %9s", "meas. bytes", "meas. Y", "meas.SSIM");
    std::fputc('\n', out);
    for (const SweepRow& r : report.rows) {
        std::fprintf(out, "%-24s %-10s %4d %6d %12.1f %10.3f %9s %9s %9s %9s", r.matrix.c_str(),
                     MappingName(r.nonLinear), r.scaleCode, r.quantiserScale, r.meanBytes, r.bitRate / 1e6,
                     FormatPsnr(r.error.y.Psnr(), false).c_str(), FormatPsnr(r.error.cb.Psnr(), false).c_str(),
                     FormatPsnr(r.error.cr.Psnr(), false).c_str(), FormatSsim(r.ssim.all.Ssim(), false).c_str());
        if (confirmed) {
            char bytes[32];
            std::snprintf(bytes, sizeof bytes, "%.1f", r.measured.meanBytes);
            std::fprintf(out, " %12s %9s %9s", MeasuredCell(r, bytes).c_str(),
                         MeasuredCell(r, FormatPsnr(r.measured.error.y.Psnr(), false)).c_str(),
                         MeasuredCell(r, FormatSsim(r.measured.ssim.all.Ssim(), false)).c_str());
        }
        std::fputc('\n', out);
    }
}

// The Bjontegaard curves of the predicted points, or of the measured ones
// (points the encoder could not code left out).
std::vector<BdCurve> BdCurves(const std::vector<SweepRow>& rows, bool measured) {
    std::vector<BdCurve> curves;
    for (const SweepRow& r : rows) {
        const std::string label = CurveLabel(r);
        if (curves.empty() || curves.back().label != label) curves.push_back(BdCurve{label, {}});
        if (!measured)
            curves.back().points.push_back(BdSweepPoint{r.meanBytes, r.error.y.Psnr(), r.ssim.all.Ssim()});
        else if (r.measured.measured)
            curves.back().points.push_back(
                BdSweepPoint{r.measured.meanBytes, r.measured.error.y.Psnr(), r.measured.ssim.all.Ssim()});
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

const char kBdColumns[] = "bd_rate_psnr,bd_psnr,bd_rate_ssim,bd_ssim";
const char kMeasuredColumns[] =
    "measured_total_bytes,measured_mean_bytes,measured_bit_rate,measured_psnr_y,measured_psnr_cb,measured_psnr_cr,"
    "measured_ssim_y,measured_ssim_cb,measured_ssim_cr,measured_ssim_all";

std::string MeasuredColumns(const MeasuredPoint& m) {
    if (!m.measured) return ",,,,,,,,,,";
    return "," + std::to_string(m.totalBytes) + "," + FormatDecimal(m.meanBytes) + "," + FormatDecimal(m.bitRate) +
           "," + FormatPsnr(m.error.y.Psnr(), false) + "," + FormatPsnr(m.error.cb.Psnr(), false) + "," +
           FormatPsnr(m.error.cr.Psnr(), false) + "," + FormatSsim(m.ssim.y.Ssim(), false) + "," +
           FormatSsim(m.ssim.cb.Ssim(), false) + "," + FormatSsim(m.ssim.cr.Ssim(), false) + "," +
           FormatSsim(m.ssim.all.Ssim(), false);
}

// The figures every point row carries, in JSON, without the braces.
std::string FiguresJson(int64_t totalBytes, double meanBytes, double bitRate, const FrameError& e, const FrameSsim& s) {
    return "\"total_bytes\": " + std::to_string(totalBytes) + ", \"mean_bytes\": " + FormatDecimal(meanBytes) +
           ", \"bit_rate\": " + FormatDecimal(bitRate) + ", \"psnr_y\": " + FormatPsnr(e.y.Psnr(), true) +
           ", \"psnr_cb\": " + FormatPsnr(e.cb.Psnr(), true) + ", \"psnr_cr\": " + FormatPsnr(e.cr.Psnr(), true) +
           ", \"ssim_y\": " + FormatSsim(s.y.Ssim(), true) + ", \"ssim_cb\": " + FormatSsim(s.cb.Ssim(), true) +
           ", \"ssim_cr\": " + FormatSsim(s.cr.Ssim(), true) + ", \"ssim_all\": " + FormatSsim(s.all.Ssim(), true);
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
        if (m.measured) json << ", " << FiguresJson(m.totalBytes, m.meanBytes, m.bitRate, m.error, m.ssim);
        json << "}";
    }
    json << "\n  ]";
    if (!report.measuredBd.empty())
        json << ", \"bd\": " << BdJson(CurveLabel(report.rows.front()), report.method, report.measuredBd);
    json << "}";
    return json.str();
}

// Predicted curves solid; with a confirmation, each measured curve dashed in
// its predicted curve's colour.
std::vector<RdCurve> Curves(const SweepReport& report, bool ssim) {
    std::vector<RdCurve> predicted, measured;
    for (const SweepRow& r : report.rows) {
        const std::string label = CurveLabel(r);
        if (predicted.empty() || predicted.back().label != label) {
            const int32_t colour = int32_t(predicted.size());
            predicted.push_back(RdCurve{label, {}, false, colour});
            measured.push_back(RdCurve{label + " (" + report.confirmedBy + ")", {}, true, colour});
        }
        predicted.back().points.push_back(
            RdPoint{r.meanBytes, ssim ? r.ssim.all.Ssim() : r.error.y.Psnr(), r.scaleCode});
        const MeasuredPoint& m = r.measured;
        if (m.measured)
            measured.back().points.push_back(
                RdPoint{m.meanBytes, ssim ? m.ssim.all.Ssim() : m.error.y.Psnr(), r.scaleCode});
    }
    if (report.confirmedBy.empty()) return predicted;
    std::vector<RdCurve> curves;
    for (size_t i = 0; i < predicted.size(); ++i) {
        curves.push_back(predicted[i]);
        curves.push_back(measured[i]);
    }
    return curves;
}

struct Point {
    const NamedMatrix* matrix;
    CodingSettings settings;
};

std::vector<Point> SweepPoints(const CliOptions& o, const std::vector<NamedMatrix>& matrices) {
    std::vector<Point> points;
    for (const NamedMatrix& matrix : matrices) {
        for (int nonLinear = 0; nonLinear < (o.sweepNonLinear ? 2 : 1); ++nonLinear) {
            CodingSettings settings = SettingsFrom(o);
            settings.nonLinearScale = nonLinear;
            for (int32_t code = kMinScaleCode; code <= kMaxScaleCode; ++code) {
                settings.scaleCode = code;
                points.push_back(Point{&matrix, settings});
            }
        }
    }
    return points;
}

// Every point coded by the confirming encoder, several at once; the results
// land in their rows whatever the order they finish in.
void Confirm(const CliOptions& o, const std::string& ffmpeg, const Y4mFormat& format, const std::vector<Y4mFrame>& clip,
             const std::vector<Point>& points, std::vector<SweepRow>& rows) {
    const FfmpegConfirmer confirmer(ffmpeg, format, clip);
    Progress progress(int64_t(points.size()), !o.quiet && StderrIsTerminal());
    std::mutex lock;
    int64_t done = 0;
    ParallelFor(o.threads, int64_t(points.size()), [&](int64_t i) {
        ThrowIfInterrupted();
        rows[size_t(i)].measured = confirmer.Measure(*points[size_t(i)].matrix, points[size_t(i)].settings, i);
        const std::lock_guard<std::mutex> hold(lock);
        progress.Update(++done);
    });
    progress.Finish();
}

void WriteOutputs(const CliOptions& o, const SweepReport& report, const Y4mFormat& format, size_t frames) {
    PlacedOutputs placed;
    if (!o.plot.empty()) {
        const std::string name = o.input.substr(o.input.find_last_of('/') + 1);
        const RdMetric metric = ParseRdMetric(o.plotMetric);
        WriteRdPlot(o.plot, Curves(report, metric == RdMetric::kSsim),
                    name + ", " + std::to_string(frames) + " frame(s), " + std::to_string(format.width) + "x" +
                        std::to_string(format.height) + ", model " + report.model,
                    metric == RdMetric::kSsim ? "SSIM (all planes)" : RdMetricTitle(metric));
        placed.Placed(o.plot);
    }
    if (!o.stats.empty()) WriteOutputText(o.stats, o.statsFormat == "csv" ? SweepCsv(report) : SweepJson(report));
    placed.Done();
}

}  // namespace

std::string CurveLabel(const SweepRow& r) {
    return r.matrix.substr(r.matrix.find_last_of('/') + 1) + " " + MappingName(r.nonLinear);
}

std::string SweepCsv(const SweepReport& report) {
    const bool bd = !report.bd.empty(), confirmed = !report.confirmedBy.empty();
    const bool measuredBd = confirmed && !report.measuredBd.empty();
    std::ostringstream csv;
    csv << "matrix,mapping,scale_code,quantiser_scale,frames,total_bytes,mean_bytes,bit_rate,psnr_y,psnr_cb,psnr_cr,"
           "ssim_y,ssim_cb,ssim_cr,ssim_all"
        << (bd ? std::string(",") + kBdColumns : "") << (confirmed ? std::string(",") + kMeasuredColumns : "");
    if (measuredBd) {
        std::string columns = kBdColumns;
        for (size_t p = 0; p != std::string::npos; p = columns.find(',', p), p = p == std::string::npos ? p : p + 1)
            columns.insert(p, "measured_");
        csv << ',' << columns;
    }
    csv << (report.modelColumn ? ",model" : "") << '\n';
    for (const SweepRow& r : report.rows) {
        csv << CsvQuoted(r.matrix) << ',' << MappingName(r.nonLinear) << ',' << r.scaleCode << ',' << r.quantiserScale
            << ',' << r.frames << ',' << r.totalBytes << ',' << FormatDecimal(r.meanBytes) << ','
            << FormatDecimal(r.bitRate) << ',' << FormatPsnr(r.error.y.Psnr(), false) << ','
            << FormatPsnr(r.error.cb.Psnr(), false) << ',' << FormatPsnr(r.error.cr.Psnr(), false) << ','
            << FormatSsim(r.ssim.y.Ssim(), false) << ',' << FormatSsim(r.ssim.cb.Ssim(), false) << ','
            << FormatSsim(r.ssim.cr.Ssim(), false) << ',' << FormatSsim(r.ssim.all.Ssim(), false)
            << (bd ? BdColumns(r, report.bd) : "") << (confirmed ? MeasuredColumns(r.measured) : "")
            << (measuredBd ? BdColumns(r, report.measuredBd) : "")
            << (report.modelColumn ? "," + CsvQuoted(report.model) : "") << '\n';
    }
    return csv.str();
}

std::string SweepJson(const SweepReport& report) {
    std::ostringstream json;
    json << "{\n  \"input\": " << JsonString(report.input) << ",\n  \"model\": " << JsonString(report.model)
         << ",\n  \"rows\": [";
    for (size_t i = 0; i < report.rows.size(); ++i) {
        const SweepRow& r = report.rows[i];
        json << (i ? ",\n" : "\n") << "    " << PointJson(r) << ", \"quantiser_scale\": " << r.quantiserScale
             << ", \"frames\": " << r.frames << ", "
             << FiguresJson(r.totalBytes, r.meanBytes, r.bitRate, r.error, r.ssim) << "}";
    }
    json << "\n  ]";
    if (!report.bd.empty())
        json << ",\n  \"bd\": " << BdJson(CurveLabel(report.rows.front()), report.method, report.bd);
    if (!report.confirmedBy.empty()) json << ",\n  \"confirmed\": " << ConfirmedJson(report);
    json << "\n}\n";
    return json.str();
}

int RunSweepCommand(const CliOptions& o) {
    const bool confirm = !o.confirm.empty();
    const std::string ffmpeg = confirm ? FfmpegConfirmer::Locate() : "";
    std::vector<NamedMatrix> matrices;
    for (const std::string& source : o.matrices) matrices.push_back(LoadMatrix(source));
    if (matrices.empty()) matrices.push_back(LoadMatrix("default"));
    for (const NamedMatrix& matrix : matrices) {
        if (confirm)
            CheckEncoderMatrix(matrix, "ffmpeg");
        else if (o.model.rule != QuantiserRule::kFilter)
            CheckEncoderMatrix(matrix, "the " + DescribeModel(o.model) + " model");
    }
    CheckWritable(o.stats);
    CheckWritable(o.plot);
    std::unique_ptr<ClipSource> source = OpenClipSource(o.input, o.maxFrames > 0 ? int32_t(o.maxFrames) : 1);
    Y4mFormat format = source->Format();
    std::vector<Y4mFrame> clip = LoadClip(*source, o.maxFrames);
    if (clip.empty()) throw CliError(o.input + ": holds no frames");
    // The confirming encoder codes 4:2:0 only; so that both code the same
    // planes, the sweep codes the clip's 4:2:0 form too.
    if (confirm && format.chroma != ChromaFormat::k420) {
        clip = ConvertTo420(format, clip);
        format = Format420(format);
    }

    const std::vector<Point> points = SweepPoints(o, matrices);
    Progress progress(int64_t(points.size()) * int64_t(clip.size()), !o.quiet && StderrIsTerminal());
    // Every point is independent: they run at once and land in their place.
    SweepReport report;
    report.input = o.input;
    report.model = DescribeModel(o.model);
    report.modelColumn = o.modelChosen;
    report.method = BdMethod(o.bdMethod);
    report.rows.resize(points.size());
    SharedProgress shared{progress, {}, 0};
    ParallelFor(o.threads, int64_t(points.size()), [&](int64_t i) {
        report.rows[size_t(i)] = RunOne(clip, format, *points[size_t(i)].matrix, points[size_t(i)].settings, o.cpuFlags, shared);
    });
    progress.Finish();
    if (confirm) {
        Confirm(o, ffmpeg, format, clip, points, report.rows);
        report.confirmedBy = o.confirm;
        report.measuredBd = CompareWithAnchor(BdCurves(report.rows, true), report.method);
        for (BdReportRow& row : report.measuredBd)
            for (std::string& warning : row.warnings) warning = "measured by " + o.confirm + ", " + warning;
    }
    report.bd = CompareWithAnchor(BdCurves(report.rows, false), report.method);
    WriteOutputs(o, report, format, clip.size());
    if (std::FILE* text = TextStream(o)) {
        PrintTable(text, report);
        const std::string anchor = CurveLabel(report.rows.front());
        if (!report.bd.empty()) {
            std::fputc('\n', text);
            PrintBdTable(text, anchor, report.method, report.bd);
        }
        if (!report.measuredBd.empty()) {
            std::fprintf(text, "\nmeasured by %s:\n", report.confirmedBy.c_str());
            PrintBdTable(text, anchor, report.method, report.measuredBd);
        }
    }
    if (!o.quiet) {
        PrintBdWarnings(stderr, report.bd);
        PrintBdWarnings(stderr, report.measuredBd);
    }
    return 0;
}

}  // namespace vardelk
