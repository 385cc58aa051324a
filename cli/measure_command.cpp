#include "measure_command.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "cli_error.h"
#include "clip_source.h"
#include "exit_status.h"
#include "interrupt.h"
#include "media/psnr.h"
#include "media/report_text.h"
#include "options.h"
#include "pictures/picture_file.h"
#include "quality/ssim.h"
#include "quality/ssimulacra2.h"
#include "sweep/sweep_report.h"

namespace vardelk {
namespace {

struct FrameFigures {
    FrameError error;
    FrameSsim ssim;
    double ssimulacra2 = 0;
};

struct Measured {
    Y4mFormat format;
    std::vector<FrameFigures> frames;
};

bool IsPicture(const std::string& path) {
    const FileForm form = SniffFileForm(path);
    return form == FileForm::kPng || form == FileForm::kJpeg;
}

std::string Size(int32_t width, int32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

void CheckSameSize(const MeasureOptions& o, int32_t w1, int32_t h1, int32_t w2, int32_t h2) {
    if (w1 != w2 || h1 != h2)
        throw CliError("the pictures differ in size: " + o.reference + " is " + Size(w1, h1) + ", " + o.distorted +
                       " is " + Size(w2, h2));
}

// Two pictures: PSNR and SSIM of their Y'CbCr (4:4:4, as every picture is
// read), SSIMULACRA 2 of their RGB as it is.
Measured MeasurePictures(const MeasureOptions& o, const Ssimulacra2Options& options) {
    const RgbImage a = ReadPicture(o.reference), b = ReadPicture(o.distorted);
    CheckSameSize(o, a.width, a.height, b.width, b.height);
    Measured m;
    m.format = FormatForRgb(a.width, a.height);
    Y4mFrame fa, fb;
    RgbToFrame(a, fa);
    RgbToFrame(b, fb);
    FrameFigures f;
    f.error = CompareFrames(fa, fb);
    f.ssim = CompareFramesSsim(m.format, fa, fb);
    f.ssimulacra2 = Ssimulacra2(a, b, options);
    m.frames.push_back(f);
    return m;
}

const char* ChromaName(ChromaFormat c) {
    switch (c) {
        case ChromaFormat::k420:
            return "4:2:0";
        case ChromaFormat::k422:
            return "4:2:2";
        case ChromaFormat::k444:
            return "4:4:4";
        case ChromaFormat::kMono:
            return "mono";
    }
    return "?";
}

// Two clips (a picture is a one-frame 4:4:4 clip), frame by frame, in the
// same size and layout; each frame is scored by SSIMULACRA 2 through
// FrameToRgb.
Measured MeasureClips(const MeasureOptions& o, const Ssimulacra2Options& options) {
    std::unique_ptr<ClipSource> a = OpenClipSource(o.reference, 1), b = OpenClipSource(o.distorted, 1);
    const Y4mFormat& fa = a->Format();
    const Y4mFormat& fb = b->Format();
    CheckSameSize(o, fa.width, fa.height, fb.width, fb.height);
    if (fa.chroma != fb.chroma)
        throw CliError("the clips differ in chroma layout: " + o.reference + " is " + ChromaName(fa.chroma) + ", " +
                       o.distorted + " is " + ChromaName(fb.chroma));
    Measured m;
    m.format = fa;
    Y4mFrame x, y;
    for (;;) {
        ThrowIfInterrupted();
        const bool moreA = a->ReadFrame(x), moreB = b->ReadFrame(y);
        if (!moreA && !moreB) break;
        if (moreA != moreB) {
            // Count the rest of the longer clip, so that the message says how long both are.
            int64_t longer = int64_t(m.frames.size()) + 1;
            ClipSource& rest = moreA ? *a : *b;
            while (rest.ReadFrame(moreA ? x : y)) ++longer;
            const int64_t na = moreA ? longer : int64_t(m.frames.size());
            const int64_t nb = moreB ? longer : int64_t(m.frames.size());
            throw CliError("the clips differ in length: " + o.reference + " has " + std::to_string(na) + " frames, " +
                           o.distorted + " has " + std::to_string(nb));
        }
        FrameFigures f;
        f.error = CompareFrames(x, y);
        f.ssim = CompareFramesSsim(fa, x, y);
        f.ssimulacra2 = Ssimulacra2Frames(fa, x, y, options);
        m.frames.push_back(f);
    }
    if (m.frames.empty()) throw CliError(o.reference + ": holds no frames");
    return m;
}

// Over a clip: PSNR of the pooled squared error, SSIM and SSIMULACRA 2 the
// mean of the frames'.
FrameFigures Mean(const std::vector<FrameFigures>& frames) {
    FrameFigures mean;
    for (const FrameFigures& f : frames) {
        mean.error.Add(f.error);
        mean.ssim.Add(f.ssim);
        mean.ssimulacra2 += f.ssimulacra2;
    }
    mean.ssimulacra2 /= double(frames.size());
    return mean;
}

std::string FiguresJson(const FrameFigures& f) {
    return "\"psnr_y\": " + FormatPsnr(f.error.y.Psnr(), true) +
           ", \"psnr_cb\": " + FormatPsnr(f.error.cb.Psnr(), true) +
           ", \"psnr_cr\": " + FormatPsnr(f.error.cr.Psnr(), true) +
           ", \"ssim_y\": " + FormatSsim(f.ssim.y.Ssim(), true) +
           ", \"ssim_cb\": " + FormatSsim(f.ssim.cb.Ssim(), true) +
           ", \"ssim_cr\": " + FormatSsim(f.ssim.cr.Ssim(), true) +
           ", \"ssim_all\": " + FormatSsim(f.ssim.all.Ssim(), true) +
           ", \"ssimulacra2\": " + FormatSsimulacra2(f.ssimulacra2, true);
}

std::string Json(const MeasureOptions& o, const Measured& m) {
    std::ostringstream json;
    json << "{\n  \"reference\": " << JsonString(o.reference) << ",\n  \"distorted\": " << JsonString(o.distorted)
         << ",\n  \"width\": " << m.format.width << ",\n  \"height\": " << m.format.height << ",\n  \"frames\": [";
    for (size_t i = 0; i < m.frames.size(); ++i)
        json << (i ? ",\n" : "\n") << "    {\"frame\": " << i << ", " << FiguresJson(m.frames[i]) << "}";
    json << "\n  ],\n  \"mean\": {\"frames\": " << m.frames.size() << ", " << FiguresJson(Mean(m.frames)) << "}\n}\n";
    return json.str();
}

void PrintLine(std::FILE* out, const std::string& label, const FrameFigures& f) {
    std::fprintf(out, "%7s %9s %9s %9s %9s %12s\n", label.c_str(), FormatPsnr(f.error.y.Psnr(), false).c_str(),
                 FormatPsnr(f.error.cb.Psnr(), false).c_str(), FormatPsnr(f.error.cr.Psnr(), false).c_str(),
                 FormatSsim(f.ssim.all.Ssim(), false).c_str(), FormatSsimulacra2(f.ssimulacra2, false).c_str());
}

void PrintText(std::FILE* out, const MeasureOptions& o, const Measured& m) {
    std::fprintf(out, "%s against %s: %zu frame%s of %dx%d\n", o.distorted.c_str(), o.reference.c_str(),
                 m.frames.size(), m.frames.size() == 1 ? "" : "s", m.format.width, m.format.height);
    std::fprintf(out, "%7s %9s %9s %9s %9s %12s\n", "frame", "Y dB", "Cb dB", "Cr dB", "SSIM", "SSIMULACRA 2");
    if (m.frames.size() > 1)
        for (size_t i = 0; i < m.frames.size(); ++i) PrintLine(out, std::to_string(i), m.frames[i]);
    PrintLine(out, "mean", Mean(m.frames));
}

}  // namespace

void DefineMeasureOptions(CLI::App& app, MeasureOptions& o) {
    app.description(
        "Measures a distorted picture or clip against its reference: PSNR of Y, Cb and Cr, SSIM and SSIMULACRA 2, "
        "per frame and over the clip. Two PNG or JPEG pictures are scored by SSIMULACRA 2 in their own RGB; Y4M "
        "clips (or a picture against a 4:4:4 clip) through their planes turned to RGB with BT.601 in studio range, "
        "each pixel taking the chroma sample that covers it.");
    app.add_option("REFERENCE", o.reference, "The original: PNG, JPEG or Y4M")->required()->type_name("REFERENCE");
    app.add_option("DISTORTED", o.distorted, "The same size (and chroma layout, for clips), and as many frames")
        ->required()
        ->type_name("DISTORTED");
    app.add_flag("--json", o.json, "Print the figures as JSON instead of a table");
    app.add_option("-j,--threads", o.threadsText, "Threads for SSIMULACRA 2, 1..1024 (default: every core)")
        ->type_name("N");
    app.footer(
        "Exit status: 0 on success, 1 when an input cannot be read or the two do not match, 2 for a wrong "
        "command line.");
}

int RunMeasureCommand(int argc, char** argv) {
    CLI::App app{"vardelk measure"};
    app.name("vardelk measure");
    MeasureOptions o;
    DefineMeasureOptions(app, o);
    return RunWithExitStatus(app, argc, argv, {"vardelk measure", ""}, [&] {
        const Ssimulacra2Options options{ParseThreads(o.threadsText), DetectedCpuFlags()};
        const Measured m =
            IsPicture(o.reference) && IsPicture(o.distorted) ? MeasurePictures(o, options) : MeasureClips(o, options);
        if (o.json)
            std::fputs(Json(o, m).c_str(), stdout);
        else
            PrintText(stdout, o, m);
        return std::fflush(stdout) == 0 ? 0 : 1;
    });
}

}  // namespace vardelk
