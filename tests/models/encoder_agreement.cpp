// The coding models against the encoders they model. Every photograph is
// coded at scale codes 1..16 with three matrices (default, flat16, a steep
// one) by our pipeline with the encoder's preset (and written as a stream)
// and by the encoder itself; then, per point, the file sizes and the levels
// (both streams read by our reader) agree as closely as README.md says:
//   ffmpeg:   every level identical, files within 0.1 %;
//   mpeg2enc: at least 99 % of the levels, files within 1 %;
// and per photograph the Bjontegaard rate of flat16 against the default,
// at equal luma PSNR, at equal SSIM and at equal SSIMULACRA 2 (our measures:
// of our reconstruction for the prediction, of the encoder's decoded output
// for the measurement, both against the photograph's 4:2:0 planes, scored as
// RGB through FrameToRgb), agrees within 1 point (mpeg2enc's SSIMULACRA 2:
// 3 points per photograph, its mean within 1).
//
// ffmpeg runs through the product's FfmpegRun (the arguments of
// FfmpegEncodeArguments, the stream checked by CheckFfmpegStream) with its
// own transform and quantiser, as it codes without -dct (kFfmpegAsModelled),
// on one thread and with the matrix always loaded, so that the two streams
// hold the same headers. The product never runs mpeg2enc, so its command
// line here is the test's own.
//
// README.md's model table holds the means printed here: the test fails when
// a figure there differs from the measured one by more than its rounding,
// and with VARDELK_UPDATE_README=1 it rewrites the table instead.
//
// Usage: encoder_agreement --readme README.md PHOTO[:WxH]...   (PNG or JPEG
// photographs, with the size of the centre crop to code)
// Prints one table row per photograph and encoder, and the mean over the
// photographs. Exit 0 when everything agrees, 1 when something does not,
// skipped (testing/skip.h) when ffmpeg or mpeg2enc is missing, naming it.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "codec/frame_coder.h"
#include "encoders/child_process.h"
#include "encoders/ffmpeg_mpeg2.h"
#include "media/psnr.h"
#include "media/y4m.h"
#include "quality/bd_rate.h"
#include "quality/ssim.h"
#include "quality/ssimulacra2.h"
#include "stream/stream_reader.h"
#include "stream/stream_writer.h"
#include "testing/skip.h"

namespace vardelk {
namespace {

constexpr int32_t kFirstCode = 1, kLastCode = 16;

// What the ffmpeg model follows: ffmpeg's default transform (no -dct int).
constexpr FfmpegOptions kFfmpegAsModelled{false, true, true};
constexpr double kMaxBdDifference = 1.0;

struct Photo {
    std::string name;
    Y4mFormat format;
    Y4mFrame frame;
    std::string source;                                   // the frame as a Y4M file, for the encoders
    std::shared_ptr<const Ssimulacra2Original> prepared;  // the frame, for SSIMULACRA 2
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

// An encoder, how our preset matches its fixed-quantiser intra coding, and
// how closely README.md says the model follows it.
struct Encoder {
    std::string name;
    std::string path;
    EncoderPreset preset;
    bool nonLinear;  // its scale codes are those of the non-linear mapping
    bool alternateScan;
    double maxBytesError;  // of any point's file
    double minSameLevels;  // share of any point's levels
    // Of each photograph's SSIMULACRA 2 BD-rate (the mean's is held to
    // kMaxBdDifference): the score weighs the few levels a model misses
    // more than PSNR and SSIM do.
    double maxSsimulacra2Difference;
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
    photo.prepared = std::make_shared<const Ssimulacra2Original>(photo.format, photo.frame);
    photo.source = folder.File("source" + std::to_string(index) + ".y4m");
    WriteY4mFile(photo.source, photo.format, {photo.frame});
    return photo;
}

struct Point {
    double ourBytes = 0, theirBytes = 0;
    double ourPsnr = 0, theirPsnr = 0, ourSsim = 0, theirSsim = 0, ourS2 = 0, theirS2 = 0;
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

// SSIMULACRA 2 is scored for the two matrices of the table only.
constexpr size_t kScoredMatrices = 2;

// Our coding: the stream the writer makes of the pipeline's levels, and the
// reconstruction's measures.
std::vector<uint8_t> CodeOurs(const Photo& photo, const Matrix& matrix, const CodingSettings& settings, Point& point,
                              bool ssimulacra2) {
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
    if (ssimulacra2) point.ourS2 = photo.prepared->Score(f, out);
    return stream;
}

// mpeg2enc at a fixed quantiser, every picture intra, reading the Y4M
// source on standard input.
std::vector<std::string> Mpeg2encCommand(const std::string& program, int32_t code, const std::string& matrixFile,
                                         const std::string& output) {
    return {program,
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

void Measure(const Photo& photo, const Y4mFrame& decoded, Point& point, bool ssimulacra2) {
    point.theirPsnr = CompareFrames(photo.frame, decoded).y.Psnr();
    point.theirSsim = CompareFramesSsim(photo.format, photo.frame, decoded).all.Db();
    if (ssimulacra2) point.theirS2 = photo.prepared->Score(photo.format, decoded);
}

// The encoder's coding of the same picture (its Y4M file `source`): its
// file, its levels against ours, and the measures of its decoded output.
void CodeTheirs(const Encoder& encoder, const std::string& ffmpeg, const Photo& photo, const std::string& source,
                const Matrix& matrix, const CodingSettings& settings, const std::vector<uint8_t>& ours,
                const TemporaryFolder& folder, const std::string& tag, bool ssimulacra2, Point& point) {
    std::vector<uint8_t> theirs;
    if (encoder.preset == EncoderPreset::kFfmpeg) {
        const auto check = [&](const std::vector<uint8_t>& stream) {
            CheckFfmpegStream(stream, settings, matrix.entries, photo.format.height, 1);
        };
        const FfmpegRun run(Ffmpeg{encoder.path, kFfmpegAsModelled}, source, settings, matrix.entries, folder.File(tag),
                            check);
        theirs = run.Stream();
        const size_t frames = run.ReadDecoded(photo.format.width, photo.format.height, tag, [&](const Y4mFrame& frame) {
            Measure(photo, frame, point, ssimulacra2);
        });
        if (frames != 1) throw std::runtime_error(tag + ": ffmpeg decoded " + std::to_string(frames) + " pictures");
    } else {
        const std::string stream = folder.File(tag + ".m2v"), matrixFile = folder.File(tag + ".matrix");
        const std::string decoded = folder.File(tag + "-decoded.y4m");
        {
            std::ofstream m(matrixFile);
            for (int pass = 0; pass < 2; ++pass)  // the intra matrix, then a flat non-intra one
                for (int i = 0; i < kMatrixEntries; ++i)
                    m << (pass == 0 ? matrix.entries[size_t(i)] : 16) << (i % 8 == 7 ? "\n" : ",");
        }
        Run(Mpeg2encCommand(encoder.path, settings.scaleCode, matrixFile, stream), encoder.name, source);
        theirs = ReadBytes(stream);
        Run(FfmpegDecodeArguments(ffmpeg, stream, decoded, kFfmpegAsModelled), "decoding " + tag);
        Y4mFormat format;
        Measure(photo, ReadY4m(decoded, format), point, ssimulacra2);
        for (const std::string& path : {stream, matrixFile, decoded}) std::remove(path.c_str());
    }
    point.theirBytes = double(theirs.size());

    const ParsedStream a = ParseIntraStream(ours.data(), ours.size());
    const ParsedStream b = ParseIntraStream(theirs.data(), theirs.size());
    if (a.pictures.size() != 1 || b.pictures.size() != 1 || a.pictures[0].levels.size() != b.pictures[0].levels.size())
        throw std::runtime_error(tag + ": the two streams do not hold the same pictures");
    for (size_t i = 0; i < a.pictures[0].levels.size(); ++i)
        point.sameLevels += a.pictures[0].levels[i] == b.pictures[0].levels[i] ? 1 : 0;
    point.levels = int64_t(a.pictures[0].levels.size());
}

// The measures of the table, in its order.
enum Quality { kPsnr, kSsim, kSsimulacra2, kQualities };
const char* const kQualityNames[kQualities] = {"PSNR", "SSIM", "SSIMULACRA 2"};

double BdRate(const std::vector<Point>& anchor, const std::vector<Point>& test, bool theirs, Quality quality) {
    const auto value = [&](const Point& p) {
        switch (quality) {
            case kSsim:
                return theirs ? p.theirSsim : p.ourSsim;
            case kSsimulacra2:
                return theirs ? p.theirS2 : p.ourS2;
            default:
                return theirs ? p.theirPsnr : p.ourPsnr;
        }
    };
    const auto curve = [&](const std::vector<Point>& points) {
        std::vector<BdPoint> c;
        for (const Point& p : points) c.push_back({theirs ? p.theirBytes : p.ourBytes, value(p)});
        return c;
    };
    const BdResult r = BjontegaardDelta(curve(anchor), curve(test), BdInterpolation::kPchip);
    return r.rate.computable ? r.rate.value : NAN;
}

struct PhotoResult {
    double bd[2 * kQualities] = {};  // PSNR predicted, measured; SSIM ...; SSIMULACRA 2 ...
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
            const CodingSettings settings = SettingsFor(encoder, code);
            const bool scored = m < kScoredMatrices;
            const std::vector<uint8_t> ours = CodeOurs(photo, matrices[m], settings, point, scored);
            const std::string tag =
                encoder.name + std::to_string(index) + "-" + matrices[m].name + std::to_string(code);
            CodeTheirs(encoder, ffmpeg, photo, photo.source, matrices[m], settings, ours, folder, tag, scored, point);
            const double bytesError = std::fabs(point.ourBytes / point.theirBytes - 1);
            const double same = double(point.sameLevels) / double(point.levels);
            result.worstBytes = std::max(result.worstBytes, bytesError);
            result.worstLevels = std::min(result.worstLevels, same);
            if (bytesError > encoder.maxBytesError || same < encoder.minSameLevels) {
                std::printf("FAIL %s %s %s code %d: bytes %.0f vs %.0f, %.3f%% of levels agree\n", encoder.name.c_str(),
                            photo.name.c_str(), matrices[m].name.c_str(), code, point.ourBytes, point.theirBytes,
                            100 * same);
                ++result.failures;
            }
            curves[m].push_back(point);
        }
    for (int k = 0; k < 2 * kQualities; ++k) result.bd[k] = BdRate(curves[0], curves[1], k % 2 == 1, Quality(k / 2));
    for (int k = 0; k < 2 * kQualities; k += 2)
        if (!(std::fabs(result.bd[k] - result.bd[k + 1]) <=
              (k / 2 == kSsimulacra2 ? encoder.maxSsimulacra2Difference : kMaxBdDifference))) {
            std::printf("FAIL %s %s: flat16 BD-rate (%s) predicted %+.2f %% measured %+.2f %%\n", encoder.name.c_str(),
                        photo.name.c_str(), kQualityNames[k / 2], result.bd[k], result.bd[k + 1]);
            ++result.failures;
        }
    return result;
}

// README.md's model table: one row per model, its figures the means over
// the photographs (flat16 against the default matrix).
struct ModelRow {
    std::string label;         // the row's first cell
    std::string measuredNote;  // the measured PSNR cell of a model no encoder checks
    // PSNR predicted, measured; SSIM predicted, measured; SSIMULACRA 2 predicted, measured.
    double figures[2 * kQualities] = {NAN, NAN, NAN, NAN, NAN, NAN};
    bool done = false;
};

const char* const kTableStart = "<!-- model-table -->";
const char* const kTableEnd = "<!-- /model-table -->";

// "+3.51 %" or "−5.67 %" (a minus sign, as the README prints it).
std::string Percent(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %%", std::fabs(value));
    return (std::signbit(value) && std::fabs(value) >= 0.005 ? "\u2212" : "+") + std::string(text);
}

std::string RowText(const ModelRow& r) {
    const bool measured = r.measuredNote.empty();
    return "| " + r.label + " | " + Percent(r.figures[0]) + " | " +
           (measured ? Percent(r.figures[1]) : r.measuredNote) + " | " + Percent(r.figures[2]) + " | " +
           (measured ? Percent(r.figures[3]) + " | " : "| ") + Percent(r.figures[4]) + " | " +
           (measured ? Percent(r.figures[5]) + " |" : "|");
}

std::string TableText(const std::vector<ModelRow>& rows) {
    std::string text = std::string(kTableStart) +
                       "\n| model | flat16 vs default, luma PSNR BD-rate: predicted | measured by the encoder | SSIM "
                       "BD-rate: predicted | measured | SSIMULACRA 2 BD-rate: predicted | measured |\n"
                       "|---|---|---|---|---|---|---|\n";
    for (const ModelRow& r : rows) text += RowText(r) + "\n";
    return text + kTableEnd;
}

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// The README's figures in a row, in order.
std::vector<double> RowFigures(const std::string& line) {
    static const std::regex figure("(\\+|-|\u2212)([0-9]+\\.[0-9]+) %");
    std::vector<double> figures;
    for (std::sregex_iterator m(line.begin(), line.end(), figure), end; m != end; ++m)
        figures.push_back(((*m)[1] == "+" ? 1 : -1) * std::stod((*m)[2]));
    return figures;
}

// Compares the README's table with the measured rows; returns the number of
// differences, each printed.
int CheckTable(const std::string& readme, const std::vector<ModelRow>& rows) {
    const std::string text = ReadText(readme);
    const size_t start = text.find(kTableStart), end = text.find(kTableEnd);
    if (start == std::string::npos || end == std::string::npos || end < start) {
        std::printf("FAIL %s: no table between %s and %s\n", readme.c_str(), kTableStart, kTableEnd);
        return 1;
    }
    std::istringstream table(text.substr(start, end - start));
    std::vector<std::string> lines;
    for (std::string line; std::getline(table, line);) lines.push_back(line);
    int differences = 0;
    for (const ModelRow& r : rows) {
        if (!r.done) continue;
        const auto line = std::find_if(lines.begin(), lines.end(),
                                       [&](const std::string& l) { return l.rfind("| " + r.label + " |", 0) == 0; });
        const std::vector<double> written = line == lines.end() ? std::vector<double>{} : RowFigures(*line);
        std::vector<double> measured;
        for (double f : r.figures)
            if (!std::isnan(f)) measured.push_back(f);
        bool same = written.size() == measured.size();
        for (size_t k = 0; same && k < written.size(); ++k) same = std::fabs(written[k] - measured[k]) <= 0.005 + 1e-9;
        if (!same) {
            std::printf("FAIL %s's model table, row %s: it says\n  %s\nmeasured:\n  %s\n", readme.c_str(),
                        r.label.c_str(), line == lines.end() ? "(no such row)" : line->c_str(), RowText(r).c_str());
            ++differences;
        }
    }
    if (differences)
        std::puts("(VARDELK_UPDATE_README=1 ctest -R models_agree_with_encoders writes the measured table)");
    return differences;
}

// Replaces the README's table with the measured one, the whole file
// written aside first and then renamed over the old one.
void WriteTable(const std::string& readme, const std::vector<ModelRow>& rows) {
    std::string text = ReadText(readme);
    const size_t start = text.find(kTableStart), end = text.find(kTableEnd);
    if (start == std::string::npos || end == std::string::npos || end < start)
        throw std::runtime_error(readme + ": no table between " + kTableStart + " and " + kTableEnd);
    text.replace(start, end + std::strlen(kTableEnd) - start, TableText(rows));
    const std::string aside = readme + ".new";
    {
        std::ofstream out(aside, std::ios::binary);
        out << text;
        if (!out.flush()) throw std::runtime_error(aside + ": cannot be written");
    }
    if (std::rename(aside.c_str(), readme.c_str()) != 0) throw std::runtime_error(readme + ": cannot be replaced");
    std::printf("%s: model table written\n", readme.c_str());
}

int Main(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "--readme") != 0)
        throw std::runtime_error("usage: encoder_agreement --readme README.md PHOTO[:WxH]...");
    const std::string readme = argv[2];
    const std::string ffmpeg = FindOnPath("ffmpeg");
    if (ffmpeg.empty())
        return testing::ReportSkip("ffmpeg: not installed (scripts/setup.sh installs it): nothing to compare with");
    std::vector<Encoder> encoders = {{"ffmpeg", ffmpeg, EncoderPreset::kFfmpeg, false, false, 0.001, 1.0, 1.0}};
    const std::string mpeg2enc = FindOnPath("mpeg2enc");
    if (!mpeg2enc.empty())
        encoders.push_back({"mpeg2enc", mpeg2enc, EncoderPreset::kMpeg2enc, true, true, 0.01, 0.99, 3.0});
    else
        std::puts("mpeg2enc is not installed: only ffmpeg is checked");

    std::vector<ModelRow> rows(4);
    rows[0].label = "`filter`";
    rows[0].measuredNote = "(the module itself)";
    rows[1].label = "`ffmpeg`";
    rows[2].label = "`mpeg2enc` (non-linear scale, alternate scan)";
    rows[3].label = "`tm5`";
    rows[3].measuredNote = "(not run)";

    TemporaryFolder folder;
    std::vector<Photo> photos;
    for (int i = 3; i < argc; ++i) photos.push_back(Prepare(ffmpeg, argv[i], folder, i));

    int failures = 0;
    std::printf("%-10s %-40s %9s %9s %9s %9s %9s %9s %8s %8s\n", "encoder", "photograph", "PSNR pred", "measured",
                "SSIM pred", "measured", "SSIMU2 pr", "measured", "bytes", "levels");
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
        double mean[2 * kQualities] = {};
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
            for (int k = 0; k < 2 * kQualities; ++k) mean[k] += r.bd[k] / counted;
            std::printf("%-10s %-40s %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%% %7.2f%% %7.3f%%\n",
                        encoder.name.c_str(), photos[p].name.c_str(), r.bd[0], r.bd[1], r.bd[2], r.bd[3], r.bd[4],
                        r.bd[5], 100 * r.worstBytes, 100 * r.worstLevels);
        }
        std::printf("%-10s %-40s %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%%\n", encoder.name.c_str(), "mean",
                    mean[0], mean[1], mean[2], mean[3], mean[4], mean[5]);
        if (!(std::fabs(mean[4] - mean[5]) <= kMaxBdDifference)) {
            std::printf("FAIL %s mean: flat16 BD-rate (SSIMULACRA 2) predicted %+.2f %% measured %+.2f %%\n",
                        encoder.name.c_str(), mean[4], mean[5]);
            ++failures;
        }
        ModelRow& row = rows[encoder.preset == EncoderPreset::kFfmpeg ? 1 : 2];
        std::copy(mean, mean + 2 * kQualities, row.figures);
        row.done = true;
    }
    // The models without an encoder to run: their predictions alone.
    for (EncoderPreset preset : {EncoderPreset::kFilter, EncoderPreset::kTestModel}) {
        const Encoder model{PresetName(preset), "", preset, false, false, 0, 0, 0};
        double mean[kQualities] = {};
        for (const Photo& photo : photos) {
            std::vector<Point> curves[kScoredMatrices];
            for (size_t m = 0; m < kScoredMatrices; ++m)
                for (int32_t code = kFirstCode; code <= kLastCode; ++code) {
                    Point point;
                    CodeOurs(photo, Matrices()[m], SettingsFor(model, code), point, true);
                    curves[m].push_back(point);
                }
            for (int q = 0; q < kQualities; ++q)
                mean[q] += BdRate(curves[0], curves[1], false, Quality(q)) / double(photos.size());
        }
        std::printf("%-10s %-40s %+8.2f%% %9s %+8.2f%% %9s %+8.2f%% %9s\n", model.name.c_str(), "mean (predicted only)",
                    mean[0], "-", mean[1], "-", mean[2], "-");
        ModelRow& row = rows[preset == EncoderPreset::kFilter ? 0 : 3];
        for (int q = 0; q < kQualities; ++q) row.figures[2 * q] = mean[q];
        row.done = true;
    }
    std::puts(
        "(flat16 against the default matrix, Bjontegaard rate at equal luma PSNR, SSIM and SSIMULACRA 2;\n"
        " bytes: the largest file-size difference of any point; levels: the smallest share that agree)");
    std::printf("%d disagreements\n", failures);

    const char* update = std::getenv("VARDELK_UPDATE_README");
    if (update != nullptr && std::strcmp(update, "1") == 0) {
        if (failures != 0 || mpeg2enc.empty()) {
            std::printf("%s not rewritten: %s\n", readme.c_str(),
                        failures != 0 ? "the models disagree with the encoders" : "mpeg2enc was not run");
            return 1;
        }
        WriteTable(readme, rows);
    } else {
        failures += CheckTable(readme, rows);
    }
    if (failures != 0) return 1;
    if (mpeg2enc.empty())
        return testing::ReportSkip("mpeg2enc: not installed (scripts/setup.sh installs it): only ffmpeg checked");
    return 0;
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
