// Speed and memory of the perceptual measure on one 1080p pair: a crop of a
// photograph and its coding at scale code 8 with the default matrix. Prints
// the time of one score from scratch and against a prepared original, for
// every kernel build and one and two threads, and the peak memory of a
// process that reads the pair's PNG files and scores them once. With
// VARDELK_SSIMULACRA2_REFERENCE naming the reference program, the same
// figures for it on the same files.
//   ssimulacra2_bench [PHOTO.png]
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "benchmarks/bench_pair.h"
#include "benchmarks/run_timing.h"
#include "pictures/png_file.h"
#include "quality/ssimulacra2.h"
#include "testing/kernel_builds.h"

namespace {

using namespace vardelk;

using bench::BestSeconds;

int Run(const std::string& photo) {
    const bench::BenchPair pair(photo, "ssimulacra2_bench");
    const RgbImage &original = pair.original, &distorted = pair.distorted;

    std::printf("1920x1080 pair: %s coded at scale code 8, default matrix\n", photo.c_str());
    std::printf("%-6s %7s %12s %14s %12s %8s\n", "build", "threads", "scratch ms", "prepared ms", "prepare ms",
                "score");
    for (const auto& build : testing::KernelBuilds()) {
        for (int32_t threads : {1, 2}) {
            const Ssimulacra2Options options{threads, build.flags};
            double score = 0;
            const double scratch = BestSeconds([&] { score = Ssimulacra2(original, distorted, options); });
            std::unique_ptr<Ssimulacra2Original> prepared;
            const double prepare =
                BestSeconds([&] { prepared = std::make_unique<Ssimulacra2Original>(original, options); });
            const double scored = BestSeconds([&] { score = prepared->Score(distorted); });
            std::printf("%-6s %7d %12.1f %14.1f %12.1f %8.4f\n", build.name, threads, scratch * 1e3, scored * 1e3,
                        prepare * 1e3, score);
        }
    }
    const bench::ProgramRun ours = bench::BestProgramRun(
        {bench::ThisProgram(), "--score", pair.originalFile, pair.distortedFile}, pair.folder, false);
    std::printf("ours (reads both PNGs, scores once, one thread): %.1f ms, peak memory %.1f MB (-1: unknown), score %s",
                ours.seconds * 1e3, ours.peakKilobytes / 1024.0, ours.output.c_str());
    if (const char* reference = std::getenv("VARDELK_SSIMULACRA2_REFERENCE")) {
        const bench::ProgramRun theirs =
            bench::BestProgramRun({reference, pair.originalFile, pair.distortedFile}, pair.folder, false);
        std::printf("reference (%s): %.1f ms, peak memory %.1f MB, score %s", reference, theirs.seconds * 1e3,
                    theirs.peakKilobytes / 1024.0, theirs.output.c_str());
        std::printf("ours / reference: time %.2fx faster, memory %.2f of theirs\n", theirs.seconds / ours.seconds,
                    double(ours.peakKilobytes) / double(theirs.peakKilobytes));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The child's job: read the pair and score it once, as the reference does.
    if (argc == 4 && std::string(argv[1]) == "--score") {
        const RgbImage a = ReadPng(argv[2]), b = ReadPng(argv[3]);
        std::printf("%.8f\n", Ssimulacra2(a, b));
        return 0;
    }
    try {
        return Run(argc > 1 ? argv[1] : bench::kBenchPhoto);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
