#include "sweep/ffmpeg_points.h"

#include "media/coded_planes.h"
#include "media/report_text.h"
#include "sweep/sweep_error.h"

namespace vardelk {
namespace {

std::string PointName(const std::string& matrix, const CodingSettings& settings) {
    return "matrix " + matrix + ", " + (settings.nonLinearScale ? "non-linear" : "linear") + " scale code " +
           std::to_string(settings.scaleCode);
}

// Pools the measures of every decoded frame against the clip's. A
// monochrome clip's PSNR and SSIM are of its luma alone, as a sweep predicts
// them: the neutral chroma it is coded with is no part of the picture.
void MeasureDecoded(const FfmpegRun& run, const std::string& point, const Y4mFormat& format, bool monochrome,
                    const std::vector<Y4mFrame>& clip, const PerceptualOriginals* perceptual, MeasuredPoint& measured) {
    size_t index = 0;
    double scores = 0;
    ButteraugliDistance distances;
    Y4mFormat measuredFormat = format;
    if (monochrome) measuredFormat.chroma = ChromaFormat::kMono;
    const size_t frames = run.ReadDecoded(format.width, format.height, point, [&](const Y4mFrame& frame) {
        if (index < clip.size()) {  // the rest only counted, for the message below
            measured.error.Add(monochrome ? FrameError{ComparePlanes(clip[index].y, frame.y), {}, {}}
                                          : CompareFrames(clip[index], frame));
            measured.ssim.Add(CompareFramesSsim(measuredFormat, clip[index], frame));
            if (perceptual && perceptual->Ssimulacra2()) scores += perceptual->Score(index, format, clip[index], frame);
            if (perceptual && perceptual->Butteraugli()) {
                const ButteraugliDistance d = perceptual->Distance(index, format, clip[index], frame);
                distances.maxNorm += d.maxNorm;
                distances.norm3 += d.norm3;
            }
        }
        ++index;
    });
    measured.ssimulacra2 = scores / double(clip.size());
    measured.butteraugli = {distances.maxNorm / double(clip.size()), distances.norm3 / double(clip.size())};
    if (frames != clip.size())
        throw SweepError("ffmpeg decoded " + std::to_string(frames) + " of " + std::to_string(clip.size()) +
                         " frames of " + point);
}

}  // namespace

std::vector<Y4mFrame> ConvertTo420(const Y4mFormat& format, const std::vector<Y4mFrame>& clip) {
    if (format.chroma == ChromaFormat::k420) return clip;
    std::vector<Y4mFrame> converted(clip.size());
    Y4mFormat planesFormat;
    for (size_t i = 0; i < clip.size(); ++i) CodedPlanes420(format, clip[i], planesFormat, converted[i]);
    return converted;
}

std::string FfmpegConfirmer::Locate() {
    const std::string path = FindOnPath("ffmpeg");
    if (path.empty())
        throw ValueError("confirm", "ffmpeg: ffmpeg is not on PATH; install it or add its folder to PATH");
    return path;
}

// Held to our coder's arithmetic: the default FfmpegOptions.
FfmpegConfirmer::FfmpegConfirmer(std::string ffmpeg, const Y4mFormat& format, const std::vector<Y4mFrame>& clip,
                                 FailureCheck stopped)
    : ffmpeg_{std::move(ffmpeg), FfmpegOptions{}},
      format_(CodedPlanesFormat(format)),
      monochrome_(format.chroma == ChromaFormat::kMono),
      clip_(clip),
      source_(folder_.File("source.y4m")),
      stopped_(std::move(stopped)) {
    // ffmpeg takes only the frame rates MPEG-2 can signal; the rate has no
    // part in coding I pictures at a fixed scale, so the source says 25.
    Y4mFormat sourceFormat = format_;
    sourceFormat.rateNum = 25;
    sourceFormat.rateDen = 1;
    if (sourceFormat.interlace != 't' && sourceFormat.interlace != 'b') sourceFormat.interlace = 'p';
    WriteY4mFile(source_, sourceFormat, clip_);
}

MeasuredPoint FfmpegConfirmer::Measure(const NamedMatrix& matrix, const CodingSettings& settings, int64_t index) const {
    MeasuredPoint point;
    if (!FfmpegCodes(settings)) return point;
    const std::string name = PointName(matrix.name, settings);
    const auto check = [&](const std::vector<uint8_t>& stream) {
        CheckFfmpegStream(stream, settings, matrix.entries, format_.height, int64_t(clip_.size()));
    };
    try {
        const FfmpegRun run(ffmpeg_, source_, settings, matrix.entries, folder_.File("point" + std::to_string(index)),
                            check);
        MeasureDecoded(run, name, format_, monochrome_, clip_, perceptual_, point);
        point.totalBytes = int64_t(run.Stream().size());
    } catch (const FfmpegFailure& failure) {
        if (stopped_) stopped_();  // throws when the run ended of the caller's stop
        throw SweepError("ffmpeg failed " + std::string(failure.coding ? "coding " : "decoding ") + name + " (" +
                         failure.Ending() + ")" + (failure.lastMessages.empty() ? "" : ":\n" + failure.lastMessages));
    }
    point.measured = true;
    point.meanBytes = double(point.totalBytes) / double(clip_.size());
    point.bitRate = BitRate(point.meanBytes, format_);
    return point;
}

}  // namespace vardelk
