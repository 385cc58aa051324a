// The coding models against the encoders they model. Every photograph is
// coded at scale codes 2..16 with three matrices (default, flat16, a steep
// one) by our pipeline with the encoder's preset (and written as a stream)
// and by the encoder itself; then, per point:
//   - the file sizes agree within 1 %,
//   - at least 99 % of the levels (both streams read by our reader) agree,
// and per photograph the Bjontegaard rate of flat16 against the default,
// at equal luma PSNR and at equal SSIM (our measures: of our reconstruction
// for the prediction, of the encoder's decoded output for the measurement),
// agrees within 1 point.
//
// Usage: encoder_agreement PHOTO[:WxH]...   (PNG or JPEG photographs, with
// the size of the centre crop to code)
// Prints one table row per photograph and encoder, and the mean over the
// photographs. Exit 0 when everything agrees, 1 when something does not,
// 77 when ffmpeg is missing. mpeg2enc is checked when it is installed.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "codec/frame_coder.h"
#include "encoders/child_process.h"
#include "media/psnr.h"
#include "media/y4m.h"
#include "quality/bd_rate.h"
#include "quality/ssim.h"
#include "stream/stream_reader.h"
#include "stream/stream_writer.h"

namespace vardelk {
namespace {

constexpr int32_t kFirstCode = 2, kLastCode = 16;
constexpr double kMaxBytesError = 0.01;
constexpr double kMinSameLevels = 0.99;
constexpr double kMaxBdDifference = 1.0;

struct Photo {
    std::string name;
    Y4mFormat format;
    Y4mFrame frame;
};

struct Matrix {
    std::string name;
    std::array<int32_t, kMatrixEntries> entries;
};

std::vector<Matrix> Matrices() {
    Matrix standard{"default", {}}, flat{"flat16", {}}, steep{"steep", {}};
    for (int i = 0; i < kMatrixEntries; ++i) {
        standard.entries[size_t(i)] = kDefaultIntraMatrix[i];
        flat.entries[size_t(i)] = 16;
        steep.entries[size_t(i)] = 12 + 14 * (i / 8 + i % 8);  // 12 .. 208
    }
    flat.entries[0] = steep.entries[0] = 8;
    return {standard, flat, steep};
}

// An encoder and how our preset matches its fixed-quantiser intra coding.
struct Encoder {
    std::string name;
    std::string path;
    EncoderPreset preset;
    bool nonLinear;  // its scale codes are those of the non-linear mapping
    bool alternateScan;
};

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot be read");
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

Y4mFrame ReadY4m(const std::string& path, Y4mFormat& format) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw std::runtime_error(path + ": cannot be opened");
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    Y4mReader reader(file, path);
    format = reader.Format();
    Y4mFrame frame;
    frame.Allocate(format);
    if (!reader.ReadFrame(frame)) throw std::runtime_error(path + ": no frame");
    return frame;
}

void Run(const std::vector<std::string>& arguments, const std::string& what, const std::string& input = "") {
    std::vector<std::string> command = arguments;
    if (!input.empty()) command = {"/bin/sh", "-c", "exec \"$0\" \"$@\" < '" + input + "'"};
    if (!input.empty())
        for (const std::string& a : arguments) command.push_back(a);
    const ChildResult result = RunChild(command, "", "");
    if (!result.Succeeded()) throw std::runtime_error(what + " failed: " + result.Describe());
}

// A 4:2:0 picture of the photograph: a centre crop of the size asked
// (PATH:WxH), or at most 640x448.
Photo Prepare(const std::string& ffmpeg, const std::string& argument, const TemporaryFolder& folder, int index) {
    const size_t colon = argument.rfind(':');
    const std::string path = colon == std::string::npos ? argument : argument.substr(0, colon);
    std::string size = colon == std::string::npos ? "" : argument.substr(colon + 1);
    const size_t x = size.find('x');
    const std::string crop = x == std::string::npos ? "crop='min(640,iw)':'min(448,ih)'"
                                                    : "crop=" + size.substr(0, x) + ":" + size.substr(x + 1);
    const std::string y4m = folder.File("photo" + std::to_string(index) + ".y4m");
    Run({ffmpeg, "-nostdin", "-v", "error", "-y", "-i", path, "-vf", crop, "-frames:v", "1", "-pix_fmt", "yuv420p",
         "-f", "yuv4mpegpipe", y4m},
        "converting " + path);
    Photo photo;
    photo.name = path.substr(path.find_last_of('/') + 1);
    photo.frame = ReadY4m(y4m, photo.format);
    return photo;
}

struct Point {
    double ourBytes = 0, theirBytes = 0;
    double ourPsnr = 0, theirPsnr = 0, ourSsim = 0, theirSsim = 0;
    int64_t levels = 0, sameLevels = 0;
};

CodingSettings SettingsFor(const Encoder& encoder, int32_t code) {
    CodingSettings settings;
    settings.scaleCode = code;
    settings.nonLinearScale = encoder.nonLinear ? 1 : 0;
    settings.alternateScan = encoder.alternateScan ? 1 : 0;
    settings.model = PresetModel(encoder.preset);
    return settings;
}

// Our coding: the stream the writer makes of the pipeline's levels, and the
// reconstruction's measures.
std::vector<uint8_t> CodeOurs(const Photo& photo, const Matrix& matrix, const CodingSettings& settings, Point& point) {
    const Y4mFormat& f = photo.format;
    Y4mFrame out;
    out.Allocate(f);
    const PlanarInput in{photo.frame.y.data(), photo.frame.cb.data(), photo.frame.cr.data(), f.width, ChromaWidth(f)};
    const PlanarOutput to{out.y.data(), out.cb.data(), out.cr.data(), f.width, ChromaWidth(f)};
    StreamFormat format;
    format.width = f.width;
    format.height = f.height;
    StreamWriter writer(format, settings, matrix.entries.data());
    FrameOutputs outputs;
    outputs.sink = &writer;
    FrameCoder coder;
    const int32_t estimate = coder.CodePlanarFrame(settings, matrix.entries.data(), in, to, f.width, f.height, outputs);
    std::vector<uint8_t> stream;
    writer.FinishFrame(estimate, stream);
    writer.FinishStream(stream);
    point.ourBytes = double(stream.size());
    point.ourPsnr = CompareFrames(photo.frame, out).y.Psnr();
    point.ourSsim = CompareFramesSsim(f, photo.frame, out).all.Db();
    return stream;
}

std::vector<std::string> EncoderCommand(const Encoder& encoder, const Matrix& matrix, int32_t code,
                                        const std::string& source, const std::string& matrixFile,
                                        const std::string& output) {
    if (encoder.preset == EncoderPreset::kFfmpeg) {
        std::string list;
        for (int32_t w : matrix.entries) list += (list.empty() ? "" : ",") + std::to_string(w);
        return {encoder.path,
                "-nostdin",
                "-v",
                "error",
                "-y",
                "-i",
                source,
                "-c:v",
                "mpeg2video",
                "-g",
                "1",
                "-bf",
                "0",
                "-threads",
                "1",
                "-qmin",
                "1",
                "-qscale:v",
                std::to_string(code),
                "-dct",
                "int",
                "-intra_matrix",
                list,
                "-f",
                "mpeg2video",
                output};
    }
    return {encoder.path,
            "-f",
            "3",
            "-q",
            std::to_string(code),
            "-b",
            "100000",
            "-V",
            "4000",
            "--no-constraints",
            "-g",
            "1",
            "-G",
            "1",
            "-R",
            "0",
            "-K",
            "file=" + matrixFile,
            "-o",
            output};
}

// The encoder's coding of the same picture: its file, its levels against
// ours, and the measures of its decoded output.
void CodeTheirs(const Encoder& encoder, const std::string& ffmpeg, const Photo& photo, const Matrix& matrix,
                int32_t code, const std::vector<uint8_t>& ours, const TemporaryFolder& folder, const std::string& tag,
                Point& point) {
    const std::string source = folder.File(tag + ".y4m"), stream = folder.File(tag + ".m2v");
    const std::string matrixFile = folder.File(tag + ".matrix"), decoded = folder.File(tag + "-decoded.y4m");
    {
        std::ofstream out(source, std::ios::binary);
        out << FormatY4mHeader(photo.format) << "\nFRAME\n";
        out.write(reinterpret_cast<const char*>(photo.frame.y.data()), std::streamsize(photo.frame.y.size()));
        out.write(reinterpret_cast<const char*>(photo.frame.cb.data()), std::streamsize(photo.frame.cb.size()));
        out.write(reinterpret_cast<const char*>(photo.frame.cr.data()), std::streamsize(photo.frame.cr.size()));
        std::ofstream m(matrixFile);
        for (int pass = 0; pass < 2; ++pass)  // the intra matrix, then a flat non-intra one
            for (int i = 0; i < kMatrixEntries; ++i)
                m << (pass == 0 ? matrix.entries[size_t(i)] : 16) << (i % 8 == 7 ? "\n" : ",");
    }
    const bool fromStdin = encoder.preset != EncoderPreset::kFfmpeg;
    Run(EncoderCommand(encoder, matrix, code, source, matrixFile, stream), encoder.name, fromStdin ? source : "");
    const std::vector<uint8_t> theirs = ReadBytes(stream);
    point.theirBytes = double(theirs.size());

    const ParsedStream a = ParseIntraStream(ours.data(), ours.size());
    const ParsedStream b = ParseIntraStream(theirs.data(), theirs.size());
    if (a.pictures.size() != 1 || b.pictures.size() != 1 || a.pictures[0].levels.size() != b.pictures[0].levels.size())
        throw std::runtime_error(tag + ": the two streams do not hold the same pictures");
    for (size_t i = 0; i < a.pictures[0].levels.size(); ++i)
        point.sameLevels += a.pictures[0].levels[i] == b.pictures[0].levels[i] ? 1 : 0;
    point.levels = int64_t(a.pictures[0].levels.size());

    Run({ffmpeg, "-nostdin", "-v", "error", "-y", "-f", "mpegvideo", "-i", stream, "-pix_fmt", "yuv420p", "-f",
         "yuv4mpegpipe", decoded},
        "decoding " + tag);
    Y4mFormat format;
    const Y4mFrame frame = ReadY4m(decoded, format);
    point.theirPsnr = CompareFrames(photo.frame, frame).y.Psnr();
    point.theirSsim = CompareFramesSsim(photo.format, photo.frame, frame).all.Db();
    for (const std::string& path : {source, stream, matrixFile, decoded}) std::remove(path.c_str());
}

double BdRate(const std::vector<Point>& anchor, const std::vector<Point>& test, bool theirs, bool ssim) {
    const auto curve = [&](const std::vector<Point>& points) {
        std::vector<BdPoint> c;
        for (const Point& p : points)
            c.push_back({theirs ? p.theirBytes : p.ourBytes,
                         ssim ? (theirs ? p.theirSsim : p.ourSsim) : (theirs ? p.theirPsnr : p.ourPsnr)});
        return c;
    };
    const BdResult r = BjontegaardDelta(curve(anchor), curve(test), BdInterpolation::kPchip);
    return r.rate.computable ? r.rate.value : NAN;
}

struct PhotoResult {
    double bd[4] = {};  // PSNR predicted, measured; SSIM predicted, measured
    double worstBytes = 0, worstLevels = 1;
    int failures = 0;
};

PhotoResult CheckPhoto(const Encoder& encoder, const std::string& ffmpeg, const Photo& photo,
                       const TemporaryFolder& folder, int index) {
    PhotoResult result;
    const std::vector<Matrix> matrices = Matrices();
    std::vector<std::vector<Point>> curves(matrices.size());
    for (size_t m = 0; m < matrices.size(); ++m)
        for (int32_t code = kFirstCode; code <= kLastCode; ++code) {
            Point point;
            const std::vector<uint8_t> ours = CodeOurs(photo, matrices[m], SettingsFor(encoder, code), point);
            const std::string tag =
                encoder.name + std::to_string(index) + "-" + matrices[m].name + std::to_string(code);
            CodeTheirs(encoder, ffmpeg, photo, matrices[m], code, ours, folder, tag, point);
            const double bytesError = std::fabs(point.ourBytes / point.theirBytes - 1);
            const double same = double(point.sameLevels) / double(point.levels);
            result.worstBytes = std::max(result.worstBytes, bytesError);
            result.worstLevels = std::min(result.worstLevels, same);
            if (bytesError > kMaxBytesError || same < kMinSameLevels) {
                std::printf("FAIL %s %s %s code %d: bytes %.0f vs %.0f, %.3f%% of levels agree\n", encoder.name.c_str(),
                            photo.name.c_str(), matrices[m].name.c_str(), code, point.ourBytes, point.theirBytes,
                            100 * same);
                ++result.failures;
            }
            curves[m].push_back(point);
        }
    for (int k = 0; k < 4; ++k) result.bd[k] = BdRate(curves[0], curves[1], k % 2 == 1, k >= 2);
    for (int k = 0; k < 4; k += 2)
        if (!(std::fabs(result.bd[k] - result.bd[k + 1]) <= kMaxBdDifference)) {
            std::printf("FAIL %s %s: flat16 BD-rate (%s) predicted %+.2f %% measured %+.2f %%\n", encoder.name.c_str(),
                        photo.name.c_str(), k == 0 ? "PSNR" : "SSIM", result.bd[k], result.bd[k + 1]);
            ++result.failures;
        }
    return result;
}

int Main(int argc, char** argv) {
    const std::string ffmpeg = FindOnPath("ffmpeg");
    if (ffmpeg.empty()) {
        std::puts("ffmpeg is not installed: nothing to compare with");
        return 77;
    }
    std::vector<Encoder> encoders = {{"ffmpeg", ffmpeg, EncoderPreset::kFfmpeg, false, false}};
    const std::string mpeg2enc = FindOnPath("mpeg2enc");
    if (!mpeg2enc.empty())
        encoders.push_back({"mpeg2enc", mpeg2enc, EncoderPreset::kMpeg2enc, true, true});
    else
        std::puts("mpeg2enc is not installed: only ffmpeg is checked");

    TemporaryFolder folder;
    std::vector<Photo> photos;
    for (int i = 1; i < argc; ++i) photos.push_back(Prepare(ffmpeg, argv[i], folder, i));

    int failures = 0;
    std::printf("%-10s %-40s %9s %9s %9s %9s %8s %8s\n", "encoder", "photograph", "PSNR pred", "measured", "SSIM pred",
                "measured", "bytes", "levels");
    for (const Encoder& encoder : encoders) {
        // Two photographs at a time; each prints its row when done.
        std::vector<PhotoResult> results(photos.size());
        std::vector<std::string> errors(photos.size());
        std::vector<bool> skipped(photos.size());
        // mpeg2enc fills partial macroblocks its own way, which the model
        // does not follow: it is checked on whole macroblocks only.
        for (size_t p = 0; p < photos.size(); ++p)
            skipped[p] = encoder.preset == EncoderPreset::kMpeg2enc &&
                         (photos[p].format.width % 16 != 0 || photos[p].format.height % 16 != 0);
        for (size_t first = 0; first < photos.size(); first += 2) {
            std::vector<std::thread> workers;
            for (size_t p = first; p < std::min(first + 2, photos.size()); ++p)
                if (!skipped[p])
                    workers.emplace_back([&, p] {
                        try {
                            results[p] = CheckPhoto(encoder, ffmpeg, photos[p], folder, int(p));
                        } catch (const std::exception& e) {
                            errors[p] = e.what();
                        }
                    });
            for (std::thread& w : workers) w.join();
        }
        double mean[4] = {};
        const double counted = double(std::count(skipped.begin(), skipped.end(), false));
        for (size_t p = 0; p < photos.size(); ++p) {
            if (skipped[p]) {
                std::printf("%-10s %-40s (not whole macroblocks: not checked)\n", encoder.name.c_str(),
                            photos[p].name.c_str());
                continue;
            }
            if (!errors[p].empty()) {
                std::printf("FAIL %s %s: %s\n", encoder.name.c_str(), photos[p].name.c_str(), errors[p].c_str());
                ++failures;
                continue;
            }
            const PhotoResult& r = results[p];
            failures += r.failures;
            for (int k = 0; k < 4; ++k) mean[k] += r.bd[k] / counted;
            std::printf("%-10s %-40s %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%% %7.2f%% %7.3f%%\n", encoder.name.c_str(),
                        photos[p].name.c_str(), r.bd[0], r.bd[1], r.bd[2], r.bd[3], 100 * r.worstBytes,
                        100 * r.worstLevels);
        }
        std::printf("%-10s %-40s %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%%\n", encoder.name.c_str(), "mean", mean[0], mean[1],
                    mean[2], mean[3]);
    }
    // The models without an encoder to run: their predictions alone.
    for (EncoderPreset preset : {EncoderPreset::kFilter, EncoderPreset::kTestModel}) {
        const Encoder model{PresetName(preset), "", preset, false, false};
        double mean[2] = {};
        for (const Photo& photo : photos) {
            std::vector<Point> curves[2];
            for (size_t m = 0; m < 2; ++m)
                for (int32_t code = kFirstCode; code <= kLastCode; ++code) {
                    Point point;
                    CodeOurs(photo, Matrices()[m], SettingsFor(model, code), point);
                    curves[m].push_back(point);
                }
            mean[0] += BdRate(curves[0], curves[1], false, false) / double(photos.size());
            mean[1] += BdRate(curves[0], curves[1], false, true) / double(photos.size());
        }
        std::printf("%-10s %-40s %+8.2f%% %9s %+8.2f%% %9s\n", model.name.c_str(), "mean (predicted only)", mean[0],
                    "-", mean[1], "-");
    }
    std::puts(
        "(flat16 against the default matrix, Bjontegaard rate at equal luma PSNR and at equal SSIM;\n"
        " bytes: the largest file-size difference of any point; levels: the smallest share that agree)");
    std::printf("%d disagreements\n", failures);
    return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace vardelk

int main(int argc, char** argv) {
    try {
        return vardelk::Main(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "encoder_agreement: %s\n", e.what());
        return 1;
    }
}
