#include "search/encoder_confirmation.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <utility>

#include "parallel/parallel_for.h"

extern char** environ;

namespace vardelk {
namespace {

// The first directory of PATH holding an executable of that name.
std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Runs the program with stdin from /dev/null, stdout and stderr into the
// files; throws with the program's first message when it fails.
void RunProgram(const std::vector<std::string>& arguments, const std::string& out, const std::string& err) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error(arguments[0] + ": cannot be run: " + std::strerror(spawned));
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error(arguments[0] + ": lost track of the process");
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
    const std::string message = FirstLine(err);
    throw std::runtime_error(arguments[0] + " failed" + (message.empty() ? "" : ": " + message));
}

int64_t FileBytes(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? int64_t(info.st_size) : -1;
}

}  // namespace

ConfirmingEncoder FindConfirmingEncoder(const CodingModel& model) {
    ConfirmingEncoder encoder;
    if (model.rule != QuantiserRule::kFfmpeg) {
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
    std::vector<std::string> arguments = {
        program,      "-nostdin", "-v", "error", "-i", input,       "-c:v",
        "mpeg2video", "-g",       "1",  "-bf",   "0",  "-qscale:v", std::to_string(scaleCode)};
    // The default matrix is the encoder's own: its stream loads none.
    if (MatrixLoadBytes(model, matrix.data()) > 0) {
        std::string entries;
        for (int32_t w : matrix) entries += (entries.empty() ? "" : ",") + std::to_string(w);
        arguments.insert(arguments.end(), {"-intra_matrix", entries});
    }
    arguments.insert(arguments.end(), {"-intra_vlc", std::to_string(model.intraVlcFormat), "-dc",
                                       std::to_string(model.dcPrecision), "-f", "mpeg2video", "-y", output});
    return arguments;
}

std::vector<std::string> DecoderArguments(const std::string& program, const std::string& stream) {
    return {program, "-nostdin", "-v", "error", "-i", stream, "-f", "yuv4mpegpipe", "-pix_fmt", "yuv420p", "-"};
}

EncoderConfirmation::EncoderConfirmation(ConfirmingEncoder encoder, CodingModel model,
                                         const std::vector<CodedPicture>& pictures)
    : encoder_(std::move(encoder)), model_(SafeModel(model)), pictures_(pictures) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/vardelk-confirm-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error(pattern + ": no scratch folder: " + strerror(errno));
    scratch_ = pattern;
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
        Y4mFrame frame = picture.original;
        if (picture.format.chroma == ChromaFormat::kMono) {
            frame.cb.assign(size_t(ChromaWidth(format)) * size_t(ChromaHeight(format)), 128);
            frame.cr = frame.cb;
        }
        const File file(std::fopen(InputPath(i).c_str(), "wb"));
        if (!file) throw std::runtime_error(InputPath(i) + ": cannot be written");
        Y4mWriter writer(file.get(), format, InputPath(i));
        writer.WriteFrame(frame);
    }
}

EncoderConfirmation::~EncoderConfirmation() {
    for (size_t i = 0; i < pictures_.size(); ++i) std::remove(InputPath(i).c_str());
    rmdir(scratch_.c_str());
}

std::string EncoderConfirmation::InputPath(size_t index) const {
    return scratch_ + "/picture" + std::to_string(index) + ".y4m";
}

PointResult EncoderConfirmation::Code(size_t index, const SearchMatrix& matrix, int32_t scaleCode,
                                      PointMeasures measures, int64_t run) const {
    const CodedPicture& picture = pictures_.at(index);
    const std::string base = scratch_ + "/run" + std::to_string(run);
    const std::string stream = base + ".m2v", decoded = base + ".y4m", log = base + ".log";
    struct Cleanup {
        std::vector<std::string> paths;
        ~Cleanup() {
            for (const std::string& p : paths) std::remove(p.c_str());
        }
    } cleanup{{stream, decoded, log}};
    try {
        RunProgram(EncoderArguments(encoder_.program, InputPath(index), stream, matrix, scaleCode, model_), "/dev/null",
                   log);
        RunProgram(DecoderArguments(encoder_.program, stream), decoded, log);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(picture.name + ", scale code " + std::to_string(scaleCode) + ": " + e.what());
    }
    PointResult result;
    result.bytes = FileBytes(stream);
    const File file(std::fopen(decoded.c_str(), "rb"));
    if (!file) throw std::runtime_error(decoded + ": the decoded picture is missing");
    Y4mReader reader(file.get(), encoder_.name + " output for " + picture.name);
    const Y4mFormat& format = reader.Format();
    if (format.width != picture.format.width || format.height != picture.format.height)
        throw std::runtime_error(picture.name + ": " + encoder_.name + " decoded a picture of another size");
    Y4mFrame frame;
    frame.Allocate(format);
    if (!reader.ReadFrame(frame)) throw std::runtime_error(picture.name + ": " + encoder_.name + " decoded nothing");
    if (picture.format.chroma == ChromaFormat::kMono) frame.cb.clear(), frame.cr.clear();
    if (measures == PointMeasures::kLumaPsnr)
        result.error.y = ComparePlanes(picture.original.y, frame.y);
    else if (measures != PointMeasures::kSsim)
        result.error = CompareFrames(picture.original, frame);
    if (measures != PointMeasures::kPsnr) result.ssim = CompareFramesSsim(picture.format, picture.original, frame);
    return result;
}

std::optional<std::vector<RdCurveData>> EncoderConfirmation::Curves(const SearchMatrix& matrix,
                                                                    const std::vector<int32_t>& scaleCodes,
                                                                    QualityMeasure measure, int32_t threads,
                                                                    const std::function<bool()>& stop) const {
    const size_t codes = scaleCodes.size();
    std::vector<RdCurveData> curves(pictures_.size(), RdCurveData(codes));
    std::atomic<bool> stopped{false};
    const auto stopNow = [&] {
        if (!stopped.load() && stop && stop()) stopped.store(true);
        return stopped.load();
    };
    ParallelFor(threads, int64_t(pictures_.size() * codes), [&](int64_t task) {
        if (stopNow()) return;
        const size_t picture = size_t(task) / codes, code = size_t(task) % codes;
        try {
            const PointResult point = Code(picture, matrix, scaleCodes[code], MeasuresFor(measure), task);
            curves[picture][code] = CurvePoint{scaleCodes[code], double(point.bytes), MeasureQuality(measure, point)};
        } catch (...) {
            if (!stopNow()) throw;
        }
    });
    if (stopped.load()) return std::nullopt;
    return curves;
}

}  // namespace vardelk
