// Speed and memory of the Butteraugli distance on one 1080p pair: a crop of
// a photograph and its coding at scale code 8 with the default matrix.
// Prints the time of one measure from scratch and against a prepared
// original, for every kernel build and one and two threads; the time of an
// evaluation by SSIMULACRA 2 alone and by both measures from one RGB
// conversion (prepared originals, as the search scores a candidate); and
// the time and peak memory of a process that reads the pair's PNG files and
// measures them once, pinned to one CPU. With VARDELK_BUTTERAUGLI_REFERENCE
// naming `butteraugli_main`, the same figures for it on the same files (it
// starts four threads of its own: pinned to one CPU they share it).
//   butteraugli_bench [PHOTO.png]
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codec/frame_coder.h"
#include "media/yc_convert.h"
#include "pictures/png_file.h"
#include "quality/butteraugli.h"
#include "quality/ssimulacra2.h"
#include "testing/kernel_builds.h"

namespace {

using namespace vardelk;

constexpr int kRuns = 3;

// The best wall-clock and processor times (all threads of this process) of
// a few runs; on a busy machine the processor time is the steadier figure.
struct Timing {
    double wall = 1e30;
    double processor = 1e30;
};

double ProcessorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

Timing BestTiming(const std::function<void()>& body) {
    Timing best;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double processorStart = ProcessorSeconds();
        body();
        best.processor = std::min(best.processor, ProcessorSeconds() - processorStart);
        best.wall =
            std::min(best.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

double BestSeconds(const std::function<void()>& body) { return BestTiming(body).wall; }

// The picture's 4:2:0 planes and their coding, both as RGB.
void Code(const RgbImage& rgb, RgbImage& original, RgbImage& distorted) {
    Y4mFormat format = FormatForRgb(rgb.width, rgb.height);
    Y4mFrame full, planes, reconstruction;
    RgbToFrame(rgb, full);
    std::vector<Pixel> pixels(size_t(rgb.width) * size_t(rgb.height)), output(pixels.size());
    Y4mToYc(format, full, pixels.data(), rgb.width);
    format.chroma = ChromaFormat::k420;
    format.chromaTag = "420jpeg";
    YcToY4m(format, pixels.data(), rgb.width, planes);
    Y4mToYc(format, planes, pixels.data(), rgb.width);
    CodingSettings settings;
    settings.scaleCode = 8;
    FrameCoder coder;
    coder.CodeFrame(settings, kDefaultIntraMatrix, pixels.data(), output.data(),
                    FrameGeometry{rgb.width, rgb.height, rgb.width, rgb.height});
    YcToY4m(format, output.data(), rgb.width, reconstruction);
    FrameToRgb(format, planes, original);
    FrameToRgb(format, reconstruction, distorted);
}

struct ChildRun {
    double seconds = 0;
    double cpuSeconds = -1;  // user and system time, from /usr/bin/time
    long peakKilobytes = 0;
    std::string output;
};

// Runs argv to the end, its standard output captured.
bool RunChild(const std::vector<std::string>& args, ChildRun& run) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return false;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        dup2(pipeEnds[1], 1);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[256];
    ssize_t got;
    run.output.clear();
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, size_t(got));
    close(pipeEnds[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The best of a few runs. The peak memory and the processor time come from
// /usr/bin/time, which starts the program from its own small process: a
// program started straight from this one would count this process's memory
// as its own. On a busy machine the processor time is the steadier figure.
ChildRun BestChild(std::vector<std::string> args, const std::string& folder) {
    const std::string memory = folder + "/peak.txt";
    const bool timed = access("/usr/bin/time", X_OK) == 0;
    if (timed) args.insert(args.begin(), {"/usr/bin/time", "-o", memory, "-f", "%M %U %S"});
    ChildRun best, run;
    best.seconds = 1e30;
    best.peakKilobytes = -1;
    for (int i = 0; i < kRuns; ++i) {
        if (!RunChild(args, run)) {
            std::fprintf(stderr, "%s failed\n", args.back().c_str());
            std::exit(1);
        }
        run.peakKilobytes = -1;
        run.cpuSeconds = -1;
        if (FILE* f = timed ? std::fopen(memory.c_str(), "r") : nullptr) {
            double user = 0, system = 0;
            if (std::fscanf(f, "%ld %lf %lf", &run.peakKilobytes, &user, &system) == 3) {
                run.cpuSeconds = user + system;
            } else {
                run.peakKilobytes = -1;
            }
            std::fclose(f);
        }
        if (run.seconds < best.seconds) best.seconds = run.seconds;
        if (best.cpuSeconds < 0 || (run.cpuSeconds >= 0 && run.cpuSeconds < best.cpuSeconds))
            best.cpuSeconds = run.cpuSeconds;
        best.peakKilobytes = std::max(best.peakKilobytes, run.peakKilobytes);
        best.output = run.output;
    }
    std::remove(memory.c_str());
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    // The child's job: read the pair and measure it once, as the program does.
    if (argc == 4 && std::string(argv[1]) == "--measure") {
        const RgbImage a = ReadPng(argv[2]), b = ReadPng(argv[3]);
        const ButteraugliDistance d = Butteraugli(a, b, ButteraugliOptions{1, DetectedCpuFlags()});
        std::printf("%.10f\n3-norm: %f\n", d.maxNorm, d.norm3);
        return 0;
    }
    const std::string photo = argc > 1 ? argv[1] : "/usr/share/libjxl-testdata/jxl/flower/flower.png";
    const RgbImage source = ReadPng(photo);
    if (source.width < 1920 || source.height < 1080) {
        std::fprintf(stderr, "%s is smaller than 1920x1080\n", photo.c_str());
        return 1;
    }
    RgbImage crop;
    crop.Resize(1920, 1080);
    const int32_t x0 = (source.width - 1920) / 2, y0 = (source.height - 1080) / 2;
    for (int32_t y = 0; y < 1080; ++y) std::copy_n(source.At(x0, y0 + y), 1920 * 3, crop.At(0, y));
    RgbImage original, distorted;
    Code(crop, original, distorted);

    char folder[] = "/tmp/butteraugli_bench.XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string a = std::string(folder) + "/original.png", b = std::string(folder) + "/distorted.png";
    WritePng(a, original);
    WritePng(b, distorted);

    std::printf("1920x1080 pair: %s coded at scale code 8, default matrix\n", photo.c_str());
    std::printf("%-6s %7s %12s %14s %12s %12s %10s\n", "build", "threads", "scratch ms", "prepared ms", "prepare ms",
                "max norm", "3-norm");
    for (const auto& build : testing::KernelBuilds()) {
        for (int32_t threads : {1, 2}) {
            const ButteraugliOptions options{threads, build.flags};
            ButteraugliDistance d;
            const double scratch = BestSeconds([&] { d = Butteraugli(original, distorted, options); });
            std::unique_ptr<ButteraugliOriginal> prepared;
            const double prepare =
                BestSeconds([&] { prepared = std::make_unique<ButteraugliOriginal>(original, options); });
            const double measured = BestSeconds([&] { d = prepared->Measure(distorted); });
            std::printf("%-6s %7d %12.1f %14.1f %12.1f %12.6f %10.6f\n", build.name, threads, scratch * 1e3,
                        measured * 1e3, prepare * 1e3, d.maxNorm, d.norm3);
        }
    }

    // An evaluation of a candidate: its 4:2:0 planes to RGB once, then
    // SSIMULACRA 2 alone or both measures against prepared originals.
    {
        Y4mFormat format = FormatForRgb(1920, 1080);
        format.chroma = ChromaFormat::k420;
        format.chromaTag = "420jpeg";
        Y4mFrame full, planes;
        RgbToFrame(distorted, full);
        std::vector<Pixel> pixels(size_t(1920) * 1080);
        Y4mToYc(FormatForRgb(1920, 1080), full, pixels.data(), 1920);
        YcToY4m(format, pixels.data(), 1920, planes);
        std::printf("%-7s %24s %24s %8s %16s\n", "threads", "SSIMULACRA 2 alone /s", "both measures /s", "ratio",
                    "processor ratio");
        for (int32_t threads : {1, 2}) {
            const Ssimulacra2Original s2(original, Ssimulacra2Options{threads, DetectedCpuFlags()});
            const ButteraugliOriginal ba(original, ButteraugliOptions{threads, DetectedCpuFlags()});
            RgbImage rgb;
            const Timing alone = BestTiming([&] {
                FrameToRgb(format, planes, rgb);
                (void)s2.Score(rgb);
            });
            const Timing both = BestTiming([&] {
                FrameToRgb(format, planes, rgb);
                (void)s2.Score(rgb);
                (void)ba.Measure(rgb);
            });
            std::printf("%-7d %24.2f %24.2f %8.2f %16.2f\n", threads, 1.0 / alone.wall, 1.0 / both.wall,
                        alone.wall / both.wall, alone.processor / both.processor);
        }
    }

    char self[4096];
    const ssize_t selfLength = readlink("/proc/self/exe", self, sizeof self - 1);
    if (selfLength <= 0) return 1;
    const bool pin = access("/usr/bin/taskset", X_OK) == 0;
    const auto pinned = [&](std::vector<std::string> args) {
        if (pin) args.insert(args.begin(), {"/usr/bin/taskset", "-c", "0"});
        return args;
    };
    const ChildRun ours = BestChild(pinned({std::string(self, size_t(selfLength)), "--measure", a, b}), folder);
    std::printf(
        "ours (reads both PNGs, measures once, one thread%s): %.1f ms, processor %.1f ms, peak memory %.1f MB "
        "(-1: unknown)\n%s",
        pin ? ", one CPU" : "", ours.seconds * 1e3, ours.cpuSeconds * 1e3, ours.peakKilobytes / 1024.0,
        ours.output.c_str());
    if (const char* reference = std::getenv("VARDELK_BUTTERAUGLI_REFERENCE")) {
        const ChildRun theirs = BestChild(pinned({reference, a, b, "--pnorm", "3"}), folder);
        std::printf("program (%s%s): %.1f ms, processor %.1f ms, peak memory %.1f MB\n%s", reference,
                    pin ? ", one CPU" : "", theirs.seconds * 1e3, theirs.cpuSeconds * 1e3,
                    theirs.peakKilobytes / 1024.0, theirs.output.c_str());
        std::printf("ours / program: %.2fx faster (%.2fx by processor time), memory %.2f of theirs\n",
                    theirs.seconds / ours.seconds, theirs.cpuSeconds / ours.cpuSeconds,
                    double(ours.peakKilobytes) / double(theirs.peakKilobytes));
    }
    std::remove(a.c_str());
    std::remove(b.c_str());
    rmdir(folder);
    return 0;
}
