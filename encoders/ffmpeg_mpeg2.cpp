#include "encoders/ffmpeg_mpeg2.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

#include "codec/frame_coder.h"
#include "stream/stream_error.h"
#include "stream/stream_reader.h"

namespace vardelk {
namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool EmptyFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    return !file || file.tellg() <= 0;
}

void Mismatch(const std::string& what, int64_t got, int64_t wanted) {
    throw EncoderError("ffmpeg did not code as asked: " + what + " " + std::to_string(got) + " where " +
                       std::to_string(wanted) + " was asked");
}

std::string EndingOf(const ChildResult& result) { return result.Succeeded() ? "no output" : result.Describe(); }

bool IsDefaultMatrix(const FfmpegMatrix& matrix) {
    return std::equal(matrix.begin() + 1, matrix.end(), kDefaultIntraMatrix + 1);
}

}  // namespace

bool FfmpegCodes(const CodingSettings& settings) {
    return !settings.nonLinearScale || settings.scaleCode <= kFfmpegMaxNonLinearCode;
}

std::vector<std::string> FfmpegEncodeArguments(const std::string& program, const std::string& source,
                                               const std::string& stream, const CodingSettings& settings,
                                               const FfmpegMatrix& matrix, const FfmpegOptions& options) {
    std::vector<std::string> arguments = {program, "-nostdin", "-v", "error"};
    if (options.oneThread) arguments.insert(arguments.end(), {"-threads", "1"});
    arguments.insert(arguments.end(), {"-i", source, "-c:v", "mpeg2video"});
    if (options.oneThread) arguments.insert(arguments.end(), {"-threads", "1"});
    const int32_t maxCode = settings.nonLinearScale ? kFfmpegMaxNonLinearCode : kMaxScaleCode;
    arguments.insert(arguments.end(), {"-g", "1", "-bf", "0", "-qmin", "1", "-qmax", std::to_string(maxCode),
                                       "-qscale:v", std::to_string(settings.scaleCode)});
    if (options.loadDefaultMatrix || !IsDefaultMatrix(matrix)) {
        std::string entries;
        for (int i = 0; i < kMatrixEntries; ++i) {
            const int32_t entry = i == 0 ? std::clamp(matrix[0], 1, kMaxStreamMatrixEntry) : matrix[size_t(i)];
            entries += (i ? "," : "") + std::to_string(entry);
        }
        arguments.insert(arguments.end(), {"-intra_matrix", entries});
    }
    arguments.insert(arguments.end(), {"-intra_vlc", std::to_string(settings.model.intraVlcFormat), "-dc",
                                       std::to_string(settings.model.dcPrecision)});
    if (options.integerDct) arguments.insert(arguments.end(), {"-dct", "int"});
    if (settings.nonLinearScale) arguments.insert(arguments.end(), {"-non_linear_quant", "1"});
    if (settings.alternateScan) arguments.insert(arguments.end(), {"-alternate_scan", "1"});
    if (settings.interlacedDct) arguments.insert(arguments.end(), {"-flags", "+ildct"});
    arguments.insert(arguments.end(), {"-f", "mpeg2video", "-y", stream});
    return arguments;
}

std::vector<std::string> FfmpegDecodeArguments(const std::string& program, const std::string& stream,
                                               const std::string& decoded, const FfmpegOptions& options) {
    std::vector<std::string> arguments = {program, "-nostdin", "-v", "error"};
    if (options.oneThread) arguments.insert(arguments.end(), {"-threads", "1"});
    // The stream's form is named: ffmpeg's probe can take a one-picture
    // stream for something else and refuse it ("Invalid data found").
    arguments.insert(arguments.end(),
                     {"-f", "mpegvideo", "-i", stream, "-f", "yuv4mpegpipe", "-pix_fmt", "yuv420p", "-y", decoded});
    return arguments;
}

// The stream read back whole by the strict reader, every picture's coding
// extension and every macroblock's scale code held to the settings.
void CheckFfmpegStream(const std::vector<uint8_t>& stream, const CodingSettings& settings, const FfmpegMatrix& matrix,
                       int32_t height, int64_t frames) {
    ParsedStream parsed;
    try {
        parsed = ParseIntraStream(stream.data(), stream.size());
    } catch (const StreamError& error) {
        throw EncoderError(std::string("ffmpeg's stream cannot be read back: ") + error.what());
    }
    if (parsed.sequence.height != height) Mismatch("picture height", parsed.sequence.height, height);
    if (int64_t(parsed.pictures.size()) != frames) Mismatch("pictures", int64_t(parsed.pictures.size()), frames);
    for (const StreamPicture& picture : parsed.pictures) {
        for (const int32_t scaleCode : picture.scaleCodes)
            if (scaleCode != settings.scaleCode) Mismatch("quantiser_scale_code", scaleCode, settings.scaleCode);
        const int32_t dcPrecision = kMinDcPrecision + picture.intraDcPrecision;
        if (dcPrecision != settings.model.dcPrecision)
            Mismatch("DC precision", dcPrecision, settings.model.dcPrecision);
        if (picture.qScaleType != int32_t(settings.nonLinearScale))
            Mismatch("q_scale_type", picture.qScaleType, settings.nonLinearScale);
        if (picture.intraVlcFormat != settings.model.intraVlcFormat)
            Mismatch("intra_vlc_format", picture.intraVlcFormat, settings.model.intraVlcFormat);
        if (picture.alternateScan != settings.alternateScan)
            Mismatch("alternate_scan", picture.alternateScan, settings.alternateScan);
        for (int i = 1; i < kMatrixEntries; ++i) {
            if (picture.intraMatrix[size_t(i)] != matrix[size_t(i)])
                Mismatch("matrix entry " + std::to_string(i + 1) + " =", picture.intraMatrix[size_t(i)],
                         matrix[size_t(i)]);
        }
    }
}

void WriteY4mFile(const std::string& path, const Y4mFormat& format, const std::vector<Y4mFrame>& frames) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) throw EncoderError(path + ": cannot be written");
    Y4mWriter writer(file.get(), format, path);
    for (const Y4mFrame& frame : frames) writer.WriteFrame(frame);
    if (std::fclose(file.release()) != 0) throw EncoderError(path + ": write failed");
}

FfmpegFailure::FfmpegFailure(const std::string& program, bool codingStep, ChildResult ending, std::string first,
                             std::string last)
    : EncoderError(program + " failed " + (codingStep ? "coding" : "decoding") + " (" + EndingOf(ending) + ")" +
                   (last.empty() ? "" : ":\n" + last)),
      coding(codingStep),
      result(ending),
      firstMessage(std::move(first)),
      lastMessages(std::move(last)) {}

std::string FfmpegFailure::Ending() const { return EndingOf(result); }

FfmpegRun::Files::~Files() {
    for (const std::string* path : {&stream, &decoded, &log}) std::remove(path->c_str());
}

FfmpegRun::FfmpegRun(const Ffmpeg& ffmpeg, const std::string& source, const CodingSettings& settings,
                     const FfmpegMatrix& matrix, const std::string& stem, const StreamCheck& check)
    : files_{stem + ".m2v", stem + ".y4m", stem + ".log"} {
    Run(FfmpegEncodeArguments(ffmpeg.program, source, files_.stream, settings, matrix, ffmpeg.options), files_.stream,
        true);
    stream_ = ReadBytes(files_.stream);
    if (check) check(stream_);
    Run(FfmpegDecodeArguments(ffmpeg.program, files_.stream, files_.decoded, ffmpeg.options), files_.decoded, false);
}

size_t FfmpegRun::ReadDecoded(int32_t width, int32_t height, const std::string& what,
                              const std::function<void(const Y4mFrame& frame)>& use) const {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(files_.decoded.c_str(), "rb"), std::fclose);
    if (!file) throw EncoderError(files_.decoded + ": cannot be opened");
    Y4mReader reader(file.get(), "ffmpeg's decoding of " + what);
    const Y4mFormat& format = reader.Format();
    if (format.width != width || format.height != height)
        throw EncoderError("ffmpeg decoded " + std::to_string(format.width) + "x" + std::to_string(format.height) +
                           " pictures of " + what + " from a " + std::to_string(width) + "x" + std::to_string(height) +
                           " source");
    Y4mFrame frame;
    size_t frames = 0;
    for (; reader.ReadFrame(frame); ++frames) use(frame);
    return frames;
}

void FfmpegRun::Run(const std::vector<std::string>& arguments, const std::string& output, bool coding) const {
    const ChildResult result = RunChild(arguments, "", files_.log);
    if (result.Succeeded() && !EmptyFile(output)) return;
    throw FfmpegFailure(arguments.front(), coding, result, FileFirstLine(files_.log), FileTail(files_.log));
}

}  // namespace vardelk
