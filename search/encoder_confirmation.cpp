#include "search/encoder_confirmation.h"

#include <atomic>
#include <cstdio>
#include <utility>

#include "encoders/butteraugli_tool.h"
#include "encoders/encoder_error.h"
#include "encoders/ffmpeg_mpeg2.h"
#include "parallel/parallel_for.h"

namespace vardelk {
namespace {

// ffmpeg as a person runs it: its own transform and threads, and the
// default matrix left to it, so that a stream with the default loads none
// (as the search counts it).
constexpr FfmpegOptions kAsRunByHand{false, false, false};

CodingSettings SearchSettingsAt(int32_t scaleCode, const CodingModel& model) {
    CodingSettings settings;  // linear mapping, zigzag scan, frame DCT
    settings.scaleCode = scaleCode;
    settings.model = model;
    return settings;
}

// Codes one point; a failure names the point (`point`: picture and scale
// code) and the encoder's first message.
FfmpegRun RunPoint(const std::string& program, const std::string& input, const SearchMatrix& matrix,
                   const CodingSettings& settings, const std::string& stem, const std::string& point) {
    try {
        return FfmpegRun(Ffmpeg{program, kAsRunByHand}, input, settings, matrix, stem);
    } catch (const FfmpegFailure& failure) {
        throw EncoderError(point + ": " + program + " failed" +
                           (failure.firstMessage.empty() ? "" : ": " + failure.firstMessage));
    } catch (const EncoderError& error) {
        throw EncoderError(point + ": " + error.what());
    }
}

}  // namespace

ConfirmingEncoder FindConfirmingEncoder(const CodingModel& model) {
    ConfirmingEncoder encoder;
    if (PresetOfRule(model.rule) != EncoderPreset::kFfmpeg) {
        encoder.missing = "no real encoder is run for this model here (only the ffmpeg model is confirmed)";
        return encoder;
    }
    encoder.program = FindOnPath("ffmpeg");
    if (encoder.program.empty())
        encoder.missing = "ffmpeg is not installed (no executable ffmpeg on the PATH)";
    else
        encoder.name = "ffmpeg";
    return encoder;
}

std::vector<std::string> EncoderArguments(const std::string& program, const std::string& input,
                                          const std::string& output, const SearchMatrix& matrix, int32_t scaleCode,
                                          const CodingModel& model) {
    return FfmpegEncodeArguments(program, input, output, SearchSettingsAt(scaleCode, model), matrix, kAsRunByHand);
}

EncoderConfirmation::EncoderConfirmation(ConfirmingEncoder encoder, CodingModel model,
                                         const std::vector<CodedPicture>& pictures, std::string butteraugli)
    : encoder_(std::move(encoder)),
      model_(SafeModel(model)),
      pictures_(pictures),
      butteraugli_(std::move(butteraugli)),
      scratch_("vardelk-confirm") {
    // The encoder gets exactly the planes the search codes, as 4:2:0 (a
    // mono picture with neutral chroma), progressive, square pixels and
    // without colour tags.
    for (size_t i = 0; i < pictures_.size(); ++i) {
        const CodedPicture& picture = pictures_[i];
        Y4mFormat format = picture.format;
        format.chroma = ChromaFormat::k420;
        format.chromaTag = "420jpeg";
        format.interlace = 'p';
        format.aspectNum = format.aspectDen = 1;
        std::vector<Y4mFrame> frame = {picture.original};
        if (picture.format.chroma == ChromaFormat::kMono) {
            frame[0].cb.assign(size_t(ChromaWidth(format)) * size_t(ChromaHeight(format)), 128);
            frame[0].cr = frame[0].cb;
        }
        WriteY4mFile(InputPath(i), format, frame);
        if (!butteraugli_.empty()) {
            RgbImage rgb;
            FrameToRgb(picture.format, picture.original, rgb);
            WritePpmFile(OriginalRgbPath(i), rgb);
        }
    }
}

std::string EncoderConfirmation::OriginalRgbPath(size_t index) const {
    return scratch_.File("picture" + std::to_string(index) + ".ppm");
}

std::string EncoderConfirmation::InputPath(size_t index) const {
    return scratch_.File("picture" + std::to_string(index) + ".y4m");
}

PointResult EncoderConfirmation::Code(size_t index, const SearchMatrix& matrix, int32_t scaleCode,
                                      PointMeasures measures, int64_t run) const {
    const CodedPicture& picture = pictures_.at(index);
    const FfmpegRun coded = RunPoint(encoder_.program, InputPath(index), matrix, SearchSettingsAt(scaleCode, model_),
                                     scratch_.File("run" + std::to_string(run)),
                                     picture.name + ", scale code " + std::to_string(scaleCode));
    PointResult result;
    result.bytes = int64_t(coded.Stream().size());
    Y4mFrame frame;
    const size_t frames = coded.ReadDecoded(picture.format.width, picture.format.height, picture.name,
                                            [&](const Y4mFrame& decoded) { frame = decoded; });
    if (frames != 1)
        throw EncoderError(picture.name + ": " + encoder_.name + " decoded " + std::to_string(frames) + " pictures");
    if (picture.format.chroma == ChromaFormat::kMono) frame.cb.clear(), frame.cr.clear();
    MeasurePoint(picture, frame, measures, result);
    if ((measures & kMeasureButteraugli) && !butteraugli_.empty()) {
        RgbImage rgb;
        FrameToRgb(picture.format, frame, rgb);
        const std::string stem = scratch_.File("run" + std::to_string(run) + "-rgb");
        WritePpmFile(stem + ".ppm", rgb);
        result.butteraugli = ButteraugliNorm(butteraugli_, OriginalRgbPath(index), stem + ".ppm", stem,
                                             picture.name + ", scale code " + std::to_string(scaleCode));
        std::remove((stem + ".ppm").c_str());
    }
    return result;
}

std::optional<std::vector<RdCurveData>> EncoderConfirmation::Curves(const SearchMatrix& matrix,
                                                                    const std::vector<int32_t>& scaleCodes,
                                                                    QualityMeasure measure, int32_t threads,
                                                                    const std::function<bool()>& stop) const {
    auto curves = CurvesByMeasure(matrix, scaleCodes, {measure}, threads, stop);
    if (!curves) return std::nullopt;
    return std::move(curves->front());
}

std::optional<std::vector<std::vector<RdCurveData>>> EncoderConfirmation::CurvesByMeasure(
    const SearchMatrix& matrix, const std::vector<int32_t>& scaleCodes, const std::vector<QualityMeasure>& measures,
    int32_t threads, const std::function<bool()>& stop) const {
    const size_t codes = scaleCodes.size();
    std::vector<std::vector<RdCurveData>> curves(measures.size(),
                                                 std::vector<RdCurveData>(pictures_.size(), RdCurveData(codes)));
    std::atomic<bool> stopped{false};
    const auto stopNow = [&] {
        if (!stopped.load() && stop && stop()) stopped.store(true);
        return stopped.load();
    };
    ParallelFor(threads, int64_t(pictures_.size() * codes), [&](int64_t task) {
        if (stopNow()) return;
        const size_t picture = size_t(task) / codes, code = size_t(task) % codes;
        try {
            const PointResult point = Code(picture, matrix, scaleCodes[code], MeasuresFor(measures), task);
            for (size_t m = 0; m < measures.size(); ++m) {
                curves[m][picture][code] =
                    CurvePoint{scaleCodes[code], double(point.bytes), MeasureQuality(measures[m], point)};
            }
        } catch (...) {
            if (!stopNow()) throw;
        }
    });
    if (stopped.load()) return std::nullopt;
    return curves;
}

}  // namespace vardelk
