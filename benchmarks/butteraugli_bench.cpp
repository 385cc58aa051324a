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
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "benchmarks/bench_pair.h"
#include "benchmarks/run_timing.h"
#include "media/yc_convert.h"
#include "pictures/png_file.h"
#include "quality/butteraugli.h"
#include "quality/ssimulacra2.h"
#include "testing/kernel_builds.h"

namespace {

using namespace vardelk;
using bench::BestSeconds;
using bench::BestTiming;
using bench::Timing;

int Run(const std::string& photo) {
    const bench::BenchPair pair(photo, "butteraugli_bench");
    const RgbImage &original = pair.original, &distorted = pair.distorted;

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

    const bench::ProgramRun ours = bench::BestProgramRun(
        {bench::ThisProgram(), "--measure", pair.originalFile, pair.distortedFile}, pair.folder, true);
    std::printf(
        "ours (reads both PNGs, measures once, one thread%s): %.1f ms, processor %.1f ms, peak memory %.1f MB "
        "(-1: unknown)\n%s",
        ours.oneCpu ? ", one CPU" : "", ours.seconds * 1e3, ours.processorSeconds * 1e3, ours.peakKilobytes / 1024.0,
        ours.output.c_str());
    if (const char* reference = std::getenv("VARDELK_BUTTERAUGLI_REFERENCE")) {
        const bench::ProgramRun theirs = bench::BestProgramRun(
            {reference, pair.originalFile, pair.distortedFile, "--pnorm", "3"}, pair.folder, true);
        std::printf("program (%s%s): %.1f ms, processor %.1f ms, peak memory %.1f MB\n%s", reference,
                    theirs.oneCpu ? ", one CPU" : "", theirs.seconds * 1e3, theirs.processorSeconds * 1e3,
                    theirs.peakKilobytes / 1024.0, theirs.output.c_str());
        std::printf("ours / program: %.2fx faster (%.2fx by processor time), memory %.2f of theirs\n",
                    theirs.seconds / ours.seconds, theirs.processorSeconds / ours.processorSeconds,
                    double(ours.peakKilobytes) / double(theirs.peakKilobytes));
    }
    return 0;
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
    try {
        return Run(argc > 1 ? argv[1] : bench::kBenchPhoto);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
