#include "clip/pair_report.h"

#include <sstream>

#include "media/report_text.h"

namespace vardelk {
namespace {

std::string FiguresJson(const PairFigures& f) {
    return "\"psnr_y\": " + FormatPsnr(f.error.y.Psnr(), true) +
           ", \"psnr_cb\": " + FormatPsnr(f.error.cb.Psnr(), true) +
           ", \"psnr_cr\": " + FormatPsnr(f.error.cr.Psnr(), true) +
           ", \"ssim_y\": " + FormatSsim(f.ssim.y.Ssim(), true) +
           ", \"ssim_cb\": " + FormatSsim(f.ssim.cb.Ssim(), true) +
           ", \"ssim_cr\": " + FormatSsim(f.ssim.cr.Ssim(), true) +
           ", \"ssim_all\": " + FormatSsim(f.ssim.all.Ssim(), true) +
           ", \"ssimulacra2\": " + FormatScore(f.ssimulacra2, true) +
           ", \"butteraugli\": " + FormatScore(f.butteraugli.maxNorm, true) +
           ", \"butteraugli_3norm\": " + FormatScore(f.butteraugli.norm3, true);
}

void PrintLine(std::FILE* out, const std::string& label, const PairFigures& f) {
    std::fprintf(out, "%7s %9s %9s %9s %9s %12s %11s %9s\n", label.c_str(), FormatPsnr(f.error.y.Psnr(), false).c_str(),
                 FormatPsnr(f.error.cb.Psnr(), false).c_str(), FormatPsnr(f.error.cr.Psnr(), false).c_str(),
                 FormatSsim(f.ssim.all.Ssim(), false).c_str(), FormatScore(f.ssimulacra2, false).c_str(),
                 FormatScore(f.butteraugli.maxNorm, false).c_str(), FormatScore(f.butteraugli.norm3, false).c_str());
}

}  // namespace

void PrintPairTable(std::FILE* out, const std::string& reference, const std::string& distorted, const PairMeasure& m) {
    std::fprintf(out, "%s against %s: %zu frame%s of %dx%d\n", distorted.c_str(), reference.c_str(), m.frames.size(),
                 m.frames.size() == 1 ? "" : "s", m.format.width, m.format.height);
    std::fprintf(out, "%7s %9s %9s %9s %9s %12s %11s %9s\n", "frame", "Y dB", "Cb dB", "Cr dB", "SSIM", "SSIMULACRA 2",
                 "Butteraugli", "3-norm");
    if (m.frames.size() > 1)
        for (size_t i = 0; i < m.frames.size(); ++i) PrintLine(out, std::to_string(i), m.frames[i]);
    PrintLine(out, "mean", MeanFigures(m.frames));
}

std::string PairJson(const std::string& reference, const std::string& distorted, const PairMeasure& m) {
    std::ostringstream json;
    json << "{\n  \"reference\": " << JsonString(reference) << ",\n  \"distorted\": " << JsonString(distorted)
         << ",\n  \"width\": " << m.format.width << ",\n  \"height\": " << m.format.height << ",\n  \"frames\": [";
    for (size_t i = 0; i < m.frames.size(); ++i)
        json << (i ? ",\n" : "\n") << "    {\"frame\": " << i << ", " << FiguresJson(m.frames[i]) << "}";
    json << "\n  ],\n  \"mean\": {\"frames\": " << m.frames.size() << ", " << FiguresJson(MeanFigures(m.frames))
         << "}\n}\n";
    return json.str();
}

}  // namespace vardelk
