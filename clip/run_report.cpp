#include "clip/run_report.h"

#include <cinttypes>
#include <cmath>
#include <sstream>

#include "media/report_text.h"
#include "stream/stream_output.h"

namespace vardelk {
namespace {

std::string Mapping(const CodingSettings& s) { return s.nonLinearScale ? "non-linear" : "linear"; }

std::string PsnrColumns(const FrameError& e, const char* separator, bool json) {
    return FormatPsnr(e.y.Psnr(), json) + separator + FormatPsnr(e.cb.Psnr(), json) + separator +
           FormatPsnr(e.cr.Psnr(), json);
}

std::string SsimColumns(const FrameSsim& s, const char* separator, bool json) {
    return FormatSsim(s.y.Ssim(), json) + separator + FormatSsim(s.cb.Ssim(), json) + separator +
           FormatSsim(s.cr.Ssim(), json) + separator + FormatSsim(s.all.Ssim(), json);
}

std::string SsimJson(const FrameSsim& s) {
    return ", \"ssim_y\": " + FormatSsim(s.y.Ssim(), true) + ", \"ssim_cb\": " + FormatSsim(s.cb.Ssim(), true) +
           ", \"ssim_cr\": " + FormatSsim(s.cr.Ssim(), true) + ", \"ssim_all\": " + FormatSsim(s.all.Ssim(), true) +
           ", \"ssim_db\": " + FormatPsnr(SsimDb(s.all.Ssim()), true);
}

std::string Ssimulacra2Json(double score) { return ", \"ssimulacra2\": " + FormatScore(score, true); }

std::string ButteraugliJson(const ButteraugliDistance& d) {
    return ", \"butteraugli\": " + FormatScore(d.maxNorm, true) +
           ", \"butteraugli_3norm\": " + FormatScore(d.norm3, true);
}

std::string ButteraugliColumns(const ButteraugliDistance& d) {
    return "," + FormatScore(d.maxNorm, false) + "," + FormatScore(d.norm3, false);
}

std::string StreamJson(const FrameAccounting& a) {
    std::string text;
    const std::vector<int64_t> values = StreamStatsValues(a);
    for (size_t i = 0; i < values.size(); ++i)
        text += ", \"" + StreamStatsColumns()[i] + "\": " + std::to_string(values[i]);
    return text;
}

std::string MatrixJson(const MatrixEntries& entries) {
    std::string text = "[";
    for (size_t i = 0; i < entries.size(); ++i) text += (i ? "," : "") + std::to_string(entries[i]);
    return text + "]";
}

}  // namespace

void AddAccounting(FrameAccounting& total, const FrameAccounting& part) {
    total.estimatedBytes += part.estimatedBytes;
    total.streamBytes += part.streamBytes;
    total.headerBits += part.headerBits;
    total.sliceHeaderBits += part.sliceHeaderBits;
    total.macroblockBits += part.macroblockBits;
    total.endOfBlockBits += part.endOfBlockBits;
    total.dcResetBits += part.dcResetBits;
    total.paddingRowBits += part.paddingRowBits;
    total.clippingBits += part.clippingBits;
    total.alignmentBits += part.alignmentBits;
    total.clippedLevels += part.clippedLevels;
}

RunSummary Summarise(const std::vector<FrameResult>& frames, const Y4mFormat& format) {
    RunSummary summary;
    summary.frames = int64_t(frames.size());
    for (const FrameResult& f : frames) {
        summary.totalBytes += f.bytes;
        summary.error.Add(f.error);
        summary.hasSsim = f.hasSsim;
        summary.ssim.Add(f.ssim);
        summary.hasSsimulacra2 = f.hasSsimulacra2;
        summary.ssimulacra2 += f.ssimulacra2;
        summary.hasButteraugli = f.hasButteraugli;
        summary.butteraugli.maxNorm += f.butteraugli.maxNorm;
        summary.butteraugli.norm3 += f.butteraugli.norm3;
        summary.hasStream = f.hasStream;
        AddAccounting(summary.stream, f.stream);
    }
    if (!frames.empty()) {
        summary.meanBytes = double(summary.totalBytes) / double(frames.size());
        summary.ssimulacra2 /= double(frames.size());
        summary.butteraugli.maxNorm /= double(frames.size());
        summary.butteraugli.norm3 /= double(frames.size());
    }
    summary.bitRate = BitRate(summary.meanBytes, format);
    return summary;
}

void PrintFrameHeader(std::FILE* out, bool ssim, bool stream, bool ssimulacra2, bool butteraugli) {
    std::fprintf(out, "%7s %10s %9s %9s %9s%s%s%s%s\n", "frame", "bytes", "Y dB", "Cb dB", "Cr dB",
                 ssim ? "      SSIM" : "", ssimulacra2 ? " SSIMULACRA 2" : "",
                 butteraugli ? " Butteraugli    3-norm" : "", stream ? "     stream" : "");
}

void PrintFrameLine(std::FILE* out, const FrameResult& f) {
    std::fprintf(out, "%7" PRId64 " %10d %9s %9s %9s", f.index, f.bytes, FormatPsnr(f.error.y.Psnr(), false).c_str(),
                 FormatPsnr(f.error.cb.Psnr(), false).c_str(), FormatPsnr(f.error.cr.Psnr(), false).c_str());
    if (f.hasSsim) std::fprintf(out, " %9s", FormatSsim(f.ssim.all.Ssim(), false).c_str());
    if (f.hasSsimulacra2) std::fprintf(out, " %12s", FormatScore(f.ssimulacra2, false).c_str());
    if (f.hasButteraugli)
        std::fprintf(out, " %11s %9s", FormatScore(f.butteraugli.maxNorm, false).c_str(),
                     FormatScore(f.butteraugli.norm3, false).c_str());
    if (f.hasStream) std::fprintf(out, " %10lld", static_cast<long long>(f.stream.streamBytes));
    std::fputc('\n', out);
}

void PrintSummary(std::FILE* out, const RunDescription& run, const RunSummary& s) {
    const CodingSettings& set = run.settings;
    std::fprintf(out, "%s: %" PRId64 " frame%s of %dx%d at %d:%d fps\n", run.input.c_str(), s.frames,
                 s.frames == 1 ? "" : "s", run.format.width, run.format.height, run.format.rateNum, run.format.rateDen);
    std::fprintf(out, "settings: scale code %d (%s, quantiser scale %d), %s scan, %s DCT, matrix %s, model %s\n",
                 set.scaleCode, Mapping(set).c_str(), QuantiserScale(set.scaleCode, set.nonLinearScale),
                 set.alternateScan ? "alternate" : "zigzag", set.interlacedDct ? "interlaced" : "progressive",
                 run.matrixName.c_str(), DescribeModel(set.model).c_str());
    std::fprintf(out, "bytes: total %" PRId64 ", mean %.1f per frame, %.3f Mbit/s\n", s.totalBytes, s.meanBytes,
                 s.bitRate / 1e6);
    std::fprintf(out, "PSNR over the clip: Y %s dB, Cb %s dB, Cr %s dB\n", FormatPsnr(s.error.y.Psnr(), false).c_str(),
                 FormatPsnr(s.error.cb.Psnr(), false).c_str(), FormatPsnr(s.error.cr.Psnr(), false).c_str());
    if (s.hasSsim) {
        std::fprintf(out, "SSIM over the clip: Y %s, Cb %s, Cr %s, all %s (%s dB)\n",
                     FormatSsim(s.ssim.y.Ssim(), false).c_str(), FormatSsim(s.ssim.cb.Ssim(), false).c_str(),
                     FormatSsim(s.ssim.cr.Ssim(), false).c_str(), FormatSsim(s.ssim.all.Ssim(), false).c_str(),
                     FormatPsnr(SsimDb(s.ssim.all.Ssim()), false).c_str());
    }
    if (s.hasSsimulacra2)
        std::fprintf(out, "SSIMULACRA 2 over the clip: %s (the mean of the frames' scores)\n",
                     FormatScore(s.ssimulacra2, false).c_str());
    if (s.hasButteraugli)
        std::fprintf(out, "Butteraugli over the clip: max norm %s, 3-norm %s (the means of the frames')\n",
                     FormatScore(s.butteraugli.maxNorm, false).c_str(),
                     FormatScore(s.butteraugli.norm3, false).c_str());
    if (s.hasStream) {
        const FrameAccounting& a = s.stream;
        std::fprintf(out,
                     "stream: %lld bytes, %lld more than the estimate: in bits, headers %lld + slice headers %lld + "
                     "macroblocks %lld + end of block %lld + DC reset %lld + padding rows %lld + clipping %lld + "
                     "alignment %lld = %lld; the frames' rows above leave out the sequence end code (4 bytes), "
                     "counted here among the headers\n",
                     static_cast<long long>(a.streamBytes), static_cast<long long>(a.streamBytes - a.estimatedBytes),
                     static_cast<long long>(a.headerBits), static_cast<long long>(a.sliceHeaderBits),
                     static_cast<long long>(a.macroblockBits), static_cast<long long>(a.endOfBlockBits),
                     static_cast<long long>(a.dcResetBits), static_cast<long long>(a.paddingRowBits),
                     static_cast<long long>(a.clippingBits), static_cast<long long>(a.alignmentBits),
                     static_cast<long long>(a.TermBits()));
    }
}

std::string RunCsv(const std::vector<FrameResult>& frames, const RunSummary& summary, const std::string& model) {
    std::ostringstream csv;
    const bool ssim = summary.hasSsim;
    const bool stream = summary.hasStream;
    const std::string modelColumn = model.empty() ? "" : "," + CsvQuoted(model);
    const bool s2 = summary.hasSsimulacra2;
    const bool butteraugli = summary.hasButteraugli;
    csv << "frame,bytes,psnr_y,psnr_cb,psnr_cr" << (ssim ? ",ssim_y,ssim_cb,ssim_cr,ssim_all" : "")
        << (s2 ? ",ssimulacra2" : "") << (butteraugli ? ",butteraugli,butteraugli_3norm" : "");
    if (stream)
        for (const std::string& name : StreamStatsColumns()) csv << ',' << name;
    csv << (model.empty() ? "" : ",model") << '\n';
    auto streamColumns = [&](const FrameAccounting& a) {
        if (stream)
            for (int64_t v : StreamStatsValues(a)) csv << ',' << v;
    };
    for (const FrameResult& f : frames) {
        csv << f.index << ',' << f.bytes << ',' << PsnrColumns(f.error, ",", false);
        if (ssim) csv << ',' << SsimColumns(f.ssim, ",", false);
        if (s2) csv << ',' << FormatScore(f.ssimulacra2, false);
        if (butteraugli) csv << ButteraugliColumns(f.butteraugli);
        streamColumns(f.stream);
        csv << modelColumn << '\n';
    }
    csv << "total," << summary.totalBytes << ',' << PsnrColumns(summary.error, ",", false);
    if (ssim) csv << ',' << SsimColumns(summary.ssim, ",", false);
    if (s2) csv << ',' << FormatScore(summary.ssimulacra2, false);
    if (butteraugli) csv << ButteraugliColumns(summary.butteraugli);
    streamColumns(summary.stream);
    csv << modelColumn << '\n';
    return csv.str();
}

std::string RunJson(const RunDescription& run, const std::vector<FrameResult>& frames, const RunSummary& s) {
    const CodingSettings& set = run.settings;
    std::ostringstream json;
    json << "{\n  \"input\": " << JsonString(run.input) << ",\n  \"width\": " << run.format.width
         << ",\n  \"height\": " << run.format.height << ",\n  \"frame_rate\": [" << run.format.rateNum << ", "
         << run.format.rateDen << "],\n  \"settings\": {\"scale_code\": " << set.scaleCode
         << ", \"non_linear_scale\": " << set.nonLinearScale << ", \"alternate_scan\": " << set.alternateScan
         << ", \"interlaced_dct\": " << set.interlacedDct << ", \"matrix\": " << JsonString(run.matrixName)
         << ", \"matrix_entries\": " << MatrixJson(run.matrix)
         << ", \"model\": " << JsonString(DescribeModel(set.model))
         << ", \"intra_vlc_format\": " << set.model.intraVlcFormat << ", \"dc_precision\": " << set.model.dcPrecision
         << "},\n  \"frames\": [";
    for (size_t i = 0; i < frames.size(); ++i) {
        const FrameResult& f = frames[i];
        json << (i ? ",\n" : "\n") << "    {\"frame\": " << f.index << ", \"bytes\": " << f.bytes
             << ", \"psnr_y\": " << FormatPsnr(f.error.y.Psnr(), true)
             << ", \"psnr_cb\": " << FormatPsnr(f.error.cb.Psnr(), true)
             << ", \"psnr_cr\": " << FormatPsnr(f.error.cr.Psnr(), true) << (f.hasSsim ? SsimJson(f.ssim) : "")
             << (f.hasSsimulacra2 ? Ssimulacra2Json(f.ssimulacra2) : "")
             << (f.hasButteraugli ? ButteraugliJson(f.butteraugli) : "") << (f.hasStream ? StreamJson(f.stream) : "")
             << "}";
    }
    json << "\n  ],\n  \"summary\": {\"frames\": " << s.frames << ", \"total_bytes\": " << s.totalBytes
         << ", \"mean_bytes\": " << FormatDecimal(s.meanBytes) << ", \"bit_rate\": " << FormatDecimal(s.bitRate)
         << ", \"psnr_y\": " << FormatPsnr(s.error.y.Psnr(), true)
         << ", \"psnr_cb\": " << FormatPsnr(s.error.cb.Psnr(), true)
         << ", \"psnr_cr\": " << FormatPsnr(s.error.cr.Psnr(), true) << (s.hasSsim ? SsimJson(s.ssim) : "")
         << (s.hasSsimulacra2 ? Ssimulacra2Json(s.ssimulacra2) : "")
         << (s.hasButteraugli ? ButteraugliJson(s.butteraugli) : "") << (s.hasStream ? StreamJson(s.stream) : "")
         << "}\n}\n";
    return json.str();
}

}  // namespace vardelk
