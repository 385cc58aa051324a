#include "ffmpeg_confirm.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "cli_error.h"
#include "codec/frame_coder.h"
#include "interrupt.h"
#include "media/yc_convert.h"
#include "stream/stream_error.h"
#include "stream/stream_reader.h"

namespace vardelk {
namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string PointName(const std::string& matrix, const CodingSettings& settings) {
    return "matrix " + matrix + ", " + (settings.nonLinearScale ? "non-linear" : "linear") + " scale code " +
           std::to_string(settings.scaleCode);
}

// The fields of a picture coding extension that the settings decide, read
// from the bytes after its start code. Its layout: extension id (4 bits),
// four f_codes (16), intra_dc_precision (2), picture_structure (2),
// top_field_first, frame_pred_frame_dct, concealment_motion_vectors,
// q_scale_type, intra_vlc_format, alternate_scan (1 each).
struct CodingExtension {
    int32_t dcPrecision, qScaleType, intraVlcFormat, alternateScan;
};
CodingExtension ReadCodingExtension(const uint8_t* bytes) {
    const uint64_t bits = (uint64_t(bytes[0]) << 32) | (uint64_t(bytes[1]) << 24) | (uint64_t(bytes[2]) << 16) |
                          (uint64_t(bytes[3]) << 8) | uint64_t(bytes[4]);
    return {int32_t((bits >> 18) & 3) + 8, int32_t((bits >> 12) & 1), int32_t((bits >> 11) & 1),
            int32_t((bits >> 10) & 1)};
}

void Mismatch(const std::string& what, int64_t got, int64_t wanted) {
    throw CliError("ffmpeg did not code as asked: " + what + " " + std::to_string(got) + " where " +
                   std::to_string(wanted) + " was asked");
}

}  // namespace

Y4mFormat Format420(const Y4mFormat& format) {
    Y4mFormat out = format;
    if (format.chroma != ChromaFormat::k420) {
        out.chroma = ChromaFormat::k420;
        out.chromaTag = "420jpeg";
    }
    return out;
}

std::vector<Y4mFrame> ConvertTo420(const Y4mFormat& format, const std::vector<Y4mFrame>& clip) {
    if (format.chroma == ChromaFormat::k420) return clip;
    const Y4mFormat target = Format420(format);
    std::vector<Pixel> pixels(size_t(format.width) * size_t(format.height));
    std::vector<Y4mFrame> converted(clip.size());
    for (size_t i = 0; i < clip.size(); ++i) {
        Y4mToYc(format, clip[i], pixels.data(), format.width);
        YcToY4m(target, pixels.data(), format.width, converted[i]);
    }
    return converted;
}

bool FfmpegCodes(const CodingSettings& settings) {
    return settings.nonLinearScale == 0 || settings.scaleCode <= kFfmpegMaxNonLinearCode;
}

std::vector<std::string> FfmpegEncodeArguments(const std::string& source, const std::string& stream,
                                               const CodingSettings& settings,
                                               const std::array<int32_t, kMatrixEntries>& matrix) {
    // The DC weight is not used for intra DC, but ffmpeg divides by it and
    // writes it in 8 bits: any value in 1..255 will do.
    std::string entries;
    for (int i = 0; i < kMatrixEntries; ++i) {
        const int32_t entry = i == 0 ? std::min(std::max(matrix[0], 1), 255) : matrix[size_t(i)];
        entries += (i ? "," : "") + std::to_string(entry);
    }
    const bool nonLinear = settings.nonLinearScale != 0;
    std::vector<std::string> arguments = {"-nostdin",
                                          "-v",
                                          "error",
                                          "-threads",
                                          "1",
                                          "-i",
                                          source,
                                          "-c:v",
                                          "mpeg2video",
                                          "-threads",
                                          "1",
                                          "-g",
                                          "1",
                                          "-bf",
                                          "0",
                                          "-qmin",
                                          "1",
                                          "-qmax",
                                          std::to_string(nonLinear ? kFfmpegMaxNonLinearCode : kMaxScaleCode),
                                          "-qscale:v",
                                          std::to_string(settings.scaleCode),
                                          "-intra_matrix",
                                          entries,
                                          "-intra_vlc",
                                          std::to_string(settings.model.intraVlcFormat),
                                          "-dc",
                                          std::to_string(settings.model.dcPrecision),
                                          "-dct",
                                          "int"};
    if (nonLinear) arguments.insert(arguments.end(), {"-non_linear_quant", "1"});
    if (settings.alternateScan) arguments.insert(arguments.end(), {"-alternate_scan", "1"});
    if (settings.interlacedDct) arguments.insert(arguments.end(), {"-flags", "+ildct"});
    arguments.insert(arguments.end(), {"-f", "mpeg2video", "-y", stream});
    return arguments;
}

// Start codes never occur inside coded data, so a scan for them finds every
// header. A slice starts with quantiser_scale_code (5 bits), after a 3-bit
// row extension in pictures over 2800 lines.
void CheckFfmpegStream(const std::vector<uint8_t>& stream, const CodingSettings& settings,
                       const std::array<int32_t, kMatrixEntries>& matrix, int32_t height, int64_t frames) {
    int64_t pictures = 0, slices = 0;
    for (size_t i = 0; i + 8 < stream.size(); ++i) {
        if (stream[i] != 0 || stream[i + 1] != 0 || stream[i + 2] != 1) continue;
        const uint8_t code = stream[i + 3];
        if (code >= 0x01 && code <= 0xaf) {
            const int32_t scaleCode = height > 2800 ? stream[i + 4] & 0x1f : stream[i + 4] >> 3;
            if (scaleCode != settings.scaleCode) Mismatch("quantiser_scale_code", scaleCode, settings.scaleCode);
            ++slices;
        } else if (code == 0xb5 && (stream[i + 4] >> 4) == 8) {
            const CodingExtension e = ReadCodingExtension(stream.data() + i + 4);
            if (e.dcPrecision != settings.model.dcPrecision)
                Mismatch("DC precision", e.dcPrecision, settings.model.dcPrecision);
            if (e.qScaleType != settings.nonLinearScale)
                Mismatch("q_scale_type", e.qScaleType, settings.nonLinearScale);
            if (e.intraVlcFormat != settings.model.intraVlcFormat)
                Mismatch("intra_vlc_format", e.intraVlcFormat, settings.model.intraVlcFormat);
            if (e.alternateScan != settings.alternateScan)
                Mismatch("alternate_scan", e.alternateScan, settings.alternateScan);
            ++pictures;
        }
    }
    if (pictures != frames) Mismatch("pictures (with a coding extension)", pictures, frames);
    if (slices < pictures) Mismatch("slices", slices, pictures);
    std::array<int32_t, kMatrixEntries> written{};
    try {
        written = ReadIntraMatrix(stream.data(), stream.size());
    } catch (const StreamError& error) {
        throw CliError(std::string("ffmpeg's stream cannot be read back: ") + error.what());
    }
    for (int i = 1; i < kMatrixEntries; ++i) {
        if (written[size_t(i)] != matrix[size_t(i)])
            Mismatch("matrix entry " + std::to_string(i + 1) + " =", written[size_t(i)], matrix[size_t(i)]);
    }
}

std::string FfmpegConfirmer::Locate() {
    const std::string path = FindOnPath("ffmpeg");
    if (path.empty()) throw CliError("--confirm ffmpeg: ffmpeg is not on PATH; install it or add its folder to PATH");
    return path;
}

FfmpegConfirmer::FfmpegConfirmer(std::string ffmpeg, const Y4mFormat& format, const std::vector<Y4mFrame>& clip)
    : ffmpeg_(std::move(ffmpeg)), format_(Format420(format)), clip_(clip), source_(folder_.File("source.y4m")) {
    // ffmpeg takes only the frame rates MPEG-2 can signal; the rate has no
    // part in coding I pictures at a fixed scale, so the source says 25.
    Y4mFormat sourceFormat = format_;
    sourceFormat.rateNum = 25;
    sourceFormat.rateDen = 1;
    if (sourceFormat.interlace != 't' && sourceFormat.interlace != 'b') sourceFormat.interlace = 'p';
    std::FILE* file = std::fopen(source_.c_str(), "wb");
    if (file == nullptr) throw CliError(source_ + ": cannot be written");
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    Y4mWriter writer(file, sourceFormat, source_);
    for (const Y4mFrame& frame : clip_) writer.WriteFrame(frame);
    if (std::fflush(file) != 0) throw CliError(source_ + ": write failed");
}

void FfmpegConfirmer::Run(const std::vector<std::string>& arguments, const std::string& output,
                          const std::string& errors, const std::string& what) const {
    const ChildResult result = RunChild(arguments, "", errors);
    std::ifstream written(output, std::ios::binary | std::ios::ate);
    const bool empty = !written || written.tellg() <= 0;
    if (result.Succeeded() && !empty) return;
    ThrowIfInterrupted();  // Ctrl-C reaches ffmpeg too: stopped, not failed
    const std::string tail = FileTail(errors);
    throw CliError("ffmpeg failed " + what + " (" + (result.Succeeded() ? "no output" : result.Describe()) + ")" +
                   (tail.empty() ? "" : ":\n" + tail));
}

MeasuredPoint FfmpegConfirmer::Measure(const NamedMatrix& matrix, const CodingSettings& settings, int64_t index) const {
    MeasuredPoint point;
    if (!FfmpegCodes(settings)) return point;
    const std::string name = "point" + std::to_string(index);
    const std::string stream = folder_.File(name + ".m2v"), decoded = folder_.File(name + ".y4m");
    const std::string errors = folder_.File(name + ".log");
    std::vector<std::string> encode = {ffmpeg_};
    for (std::string& argument : FfmpegEncodeArguments(source_, stream, settings, matrix.entries))
        encode.push_back(std::move(argument));
    Run(encode, stream, errors, "coding " + PointName(matrix.name, settings));
    const std::vector<uint8_t> bytes = ReadBytes(stream);
    CheckFfmpegStream(bytes, settings, matrix.entries, format_.height, int64_t(clip_.size()));
    Run({ffmpeg_, "-nostdin", "-v", "error", "-threads", "1", "-i", stream, "-f", "yuv4mpegpipe", "-pix_fmt", "yuv420p",
         "-y", decoded},
        decoded, errors, "decoding " + PointName(matrix.name, settings));

    std::FILE* file = std::fopen(decoded.c_str(), "rb");
    if (file == nullptr) throw CliError(decoded + ": cannot be opened");
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    Y4mReader reader(file, "ffmpeg's decoding of " + PointName(matrix.name, settings));
    if (reader.Format().width != format_.width || reader.Format().height != format_.height)
        throw CliError("ffmpeg decoded " + std::to_string(reader.Format().width) + "x" +
                       std::to_string(reader.Format().height) + " pictures from a " + std::to_string(format_.width) +
                       "x" + std::to_string(format_.height) + " source");
    Y4mFrame frame;
    size_t frames = 0;
    for (; reader.ReadFrame(frame); ++frames) {
        if (frames >= clip_.size()) continue;  // counted for the message below
        point.error.Add(CompareFrames(clip_[frames], frame));
        point.ssim.Add(CompareFramesSsim(format_, clip_[frames], frame));
    }
    if (frames != clip_.size())
        throw CliError("ffmpeg decoded " + std::to_string(frames) + " of " + std::to_string(clip_.size()) +
                       " frames of " + PointName(matrix.name, settings));
    closer.reset();
    for (const std::string& path : {stream, decoded, errors}) std::remove(path.c_str());
    point.measured = true;
    point.totalBytes = int64_t(bytes.size());
    point.meanBytes = double(point.totalBytes) / double(clip_.size());
    point.bitRate = point.meanBytes * 8.0 * format_.rateNum / format_.rateDen;
    return point;
}

}  // namespace vardelk
