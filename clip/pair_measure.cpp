#include "clip/pair_measure.h"

#include <memory>

#include "clip/clip_error.h"
#include "clip/clip_source.h"
#include "media/rgb_convert.h"
#include "pictures/picture_file.h"

namespace vardelk {
namespace {

bool IsPicture(const std::string& path) {
    const FileForm form = SniffFileForm(path);
    return form == FileForm::kPng || form == FileForm::kJpeg;
}

ButteraugliOptions ForButteraugli(const Ssimulacra2Options& options) {
    return ButteraugliOptions{options.threads, options.cpuFlags};
}

std::string Size(int32_t width, int32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

void CheckSameSize(const std::string& reference, const std::string& distorted, int32_t w1, int32_t h1, int32_t w2,
                   int32_t h2) {
    if (w1 != w2 || h1 != h2)
        throw ClipError("the pictures differ in size: " + reference + " is " + Size(w1, h1) + ", " + distorted +
                        " is " + Size(w2, h2));
}

PairMeasure MeasurePictures(const std::string& reference, const std::string& distorted,
                            const Ssimulacra2Options& options) {
    const RgbImage a = ReadPicture(reference), b = ReadPicture(distorted);
    CheckSameSize(reference, distorted, a.width, a.height, b.width, b.height);
    PairMeasure m;
    m.format = FormatForRgb(a.width, a.height);
    Y4mFrame fa, fb;
    RgbToFrame(a, fa);
    RgbToFrame(b, fb);
    PairFigures f;
    f.error = CompareFrames(fa, fb);
    f.ssim = CompareFramesSsim(m.format, fa, fb);
    f.ssimulacra2 = Ssimulacra2(a, b, options);
    f.butteraugli = Butteraugli(a, b, ForButteraugli(options));
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

PairMeasure MeasureClips(const std::string& reference, const std::string& distorted, const Ssimulacra2Options& options,
                         const std::function<void()>& checkStop) {
    std::unique_ptr<ClipSource> a = OpenClipSource(reference, 1), b = OpenClipSource(distorted, 1);
    const Y4mFormat& fa = a->Format();
    const Y4mFormat& fb = b->Format();
    CheckSameSize(reference, distorted, fa.width, fa.height, fb.width, fb.height);
    if (fa.chroma != fb.chroma)
        throw ClipError("the clips differ in chroma layout: " + reference + " is " + ChromaName(fa.chroma) + ", " +
                        distorted + " is " + ChromaName(fb.chroma));
    PairMeasure m;
    m.format = fa;
    Y4mFrame x, y;
    for (;;) {
        checkStop();
        const bool moreA = a->ReadFrame(x), moreB = b->ReadFrame(y);
        if (!moreA && !moreB) break;
        if (moreA != moreB) {
            // Count the rest of the longer clip, so that the message says how long both are.
            int64_t longer = int64_t(m.frames.size()) + 1;
            ClipSource& rest = moreA ? *a : *b;
            while (rest.ReadFrame(moreA ? x : y)) ++longer;
            const int64_t na = moreA ? longer : int64_t(m.frames.size());
            const int64_t nb = moreB ? longer : int64_t(m.frames.size());
            throw ClipError("the clips differ in length: " + reference + " has " + std::to_string(na) + " frames, " +
                            distorted + " has " + std::to_string(nb));
        }
        PairFigures f;
        f.error = CompareFrames(x, y);
        f.ssim = CompareFramesSsim(fa, x, y);
        f.ssimulacra2 = Ssimulacra2Frames(fa, x, y, options);
        f.butteraugli = ButteraugliFrames(fa, x, y, ForButteraugli(options));
        m.frames.push_back(f);
    }
    if (m.frames.empty()) throw ClipError(reference + ": holds no frames");
    return m;
}

}  // namespace

PairMeasure MeasurePair(const std::string& reference, const std::string& distorted, const Ssimulacra2Options& options,
                        const std::function<void()>& checkStop) {
    if (IsPicture(reference) && IsPicture(distorted)) return MeasurePictures(reference, distorted, options);
    return MeasureClips(reference, distorted, options, checkStop);
}

PairFigures MeanFigures(const std::vector<PairFigures>& frames) {
    PairFigures mean;
    for (const PairFigures& f : frames) {
        mean.error.Add(f.error);
        mean.ssim.Add(f.ssim);
        mean.ssimulacra2 += f.ssimulacra2;
        mean.butteraugli.maxNorm += f.butteraugli.maxNorm;
        mean.butteraugli.norm3 += f.butteraugli.norm3;
    }
    mean.ssimulacra2 /= double(frames.size());
    mean.butteraugli.maxNorm /= double(frames.size());
    mean.butteraugli.norm3 /= double(frames.size());
    return mean;
}

}  // namespace vardelk
