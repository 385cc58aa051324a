// Speed of each kernel in every build this machine runs (the codec's and
// the media's tables), and of whole frames through the plain and the fast
// driver, with a memory-floor pass for comparison.
//
//   build/native/benchmarks/vardelk_bench                 (Google Benchmark)
//   WINEDEBUG=-all wine build/windows/benchmarks/vardelk_bench.exe
//
// Kernel figures are per block (per macroblock for bit cost and the
// gather/scatter pairs) and include copying the input into a work buffer;
// Copy/macroblock is that copy alone.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#if defined(VARDELK_MINI_BENCHMARK)
#include "benchmarks/mini_benchmark.h"
#else
#include <benchmark/benchmark.h>
#endif

#include "benchmarks/bench_inputs.h"
#include "codec/bit_cost.h"
#include "codec/forward_dct.h"
#include "codec/frame_coder.h"
#include "codec/inverse_dct.h"
#include "codec/kernels/quantiser_tables.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/quantise.h"
#include "media/kernel_table.h"
#include "media/y4m.h"
#include "testing/kernel_builds.h"

namespace vardelk::bench {
namespace {

constexpr int32_t kMacroblocks = 120;  // one 1920-pixel macroblock row
constexpr int32_t kTypicalQ = 16;      // scale code 8, linear

const StageBlocks& Blocks() {
    static const StageBlocks blocks = MakeStageBlocks(kMacroblocks, kDefaultIntraMatrix, kTypicalQ);
    return blocks;
}

const fast::QuantiserTables& Tables() {
    static const fast::QuantiserTables tables = [] {
        fast::QuantiserTables t;
        fast::PrepareQuantiser(kDefaultIntraMatrix, kTypicalQ, t);
        return t;
    }();
    return tables;
}

// The level blocks with every AC level cleared.
const std::vector<MacroblockBuffer>& FlatLevels() {
    static const std::vector<MacroblockBuffer> flat = [] {
        std::vector<MacroblockBuffer> blocks = Blocks().levels;
        for (MacroblockBuffer& mb : blocks)
            for (int i = 0; i < kMacroblockValues; ++i)
                if (i % kBlockValues != 0) mb.value[i] = 0;
        return blocks;
    }();
    return flat;
}

// Runs a per-block kernel over copies of every block of one stage.
template <class Kernel>
void RunBlocks(benchmark::State& state, const std::vector<MacroblockBuffer>& input, Kernel kernel) {
    MacroblockBuffer work;
    for (auto _ : state) {
        for (const MacroblockBuffer& mb : input) {
            work = mb;
            for (int b = 0; b < kBlocksPerMacroblock; ++b) kernel(work.Block(b));
            benchmark::DoNotOptimize(work);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(input.size()) * kBlocksPerMacroblock);
}

void RegisterKernels() {
    using benchmark::RegisterBenchmark;
    using benchmark::State;
    RegisterBenchmark("Copy/macroblock", [](State& s) {
        MacroblockBuffer work;
        for (auto _ : s)
            for (const MacroblockBuffer& mb : Blocks().samples) {
                work = mb;
                benchmark::DoNotOptimize(work);
            }
        s.SetItemsProcessed(s.iterations() * kMacroblocks * kBlocksPerMacroblock);
    });
    // The plain kernels of the pipeline (the reference walk uses these).
    RegisterBenchmark("ForwardDct/reference", [](State& s) { RunBlocks(s, Blocks().samples, ForwardDct); });
    RegisterBenchmark("InverseDct/reference", [](State& s) { RunBlocks(s, Blocks().reconstructed, InverseDct); });
    RegisterBenchmark("ReconstructFlat/reference", [](State& s) {
        RunBlocks(s, FlatLevels(), [](int32_t* b) {
            DequantiseBlock(b, kDefaultIntraMatrix, kTypicalQ);
            InverseDct(b);
        });
    });
    // Every entry of every kernel table this machine runs, named by its build.
    for (const testing::KernelBuild& build : testing::KernelBuilds()) {
        const fast::KernelTable* k = build.table;
        const std::string isa = std::string("/") + build.name;
        RegisterBenchmark(("ForwardDct" + isa).c_str(),
                          [k](State& s) { RunBlocks(s, Blocks().samples, k->forwardDct); });
        RegisterBenchmark(("Quantise" + isa).c_str(), [k](State& s) {
            const fast::QuantiserTables& t = Tables();
            RunBlocks(s, Blocks().coefficients, [&t, k](int32_t* b) { k->quantise(b, t); });
        });
        RegisterBenchmark(("Dequantise" + isa).c_str(), [k](State& s) {
            const fast::QuantiserTables& t = Tables();
            RunBlocks(s, Blocks().levels, [&t, k](int32_t* b) { k->dequantise(b, t); });
        });
        RegisterBenchmark(("InverseDct" + isa).c_str(),
                          [k](State& s) { RunBlocks(s, Blocks().reconstructed, k->inverseDct); });
        RegisterBenchmark(("ReconstructFlat" + isa).c_str(),
                          [k](State& s) { RunBlocks(s, FlatLevels(), k->reconstructFlat); });
    }

    for (int alternate = 0; alternate < 2; ++alternate) {
        const std::string scan = alternate ? "alternate" : "zigzag";
        for (int fastKernel = 0; fastKernel < 2; ++fastKernel) {
            const std::string name = "BitCost/" + std::string(fastKernel ? "fast/" : "plain/") + scan;
            RegisterBenchmark(name.c_str(), [alternate, fastKernel](State& s) {
                DcPredictors predictors;
                int32_t bits = 0;
                for (auto _ : s)
                    for (const MacroblockBuffer& mb : Blocks().levels)
                        bits += fastKernel ? fast::EstimateMacroblockBits(mb, AcCoding{alternate, 1}, predictors)
                                           : EstimateMacroblockBits(mb, alternate, predictors);
                benchmark::DoNotOptimize(bits);
                s.SetItemsProcessed(s.iterations() * kMacroblocks);
            });
        }
    }

    // Gather and scatter over one macroblock row of a 1920-wide picture.
    using Gather = void (*)(const YcPixel*, MacroblockBuffer&, int32_t, int32_t, int32_t);
    using Scatter = void (*)(const MacroblockBuffer&, YcPixel*, int32_t, int32_t, int32_t);
    struct Pair {
        std::string name;
        Gather gather;
        Scatter scatter;
    };
    std::vector<Pair> pairs;
    for (const testing::KernelBuild& build : testing::KernelBuilds()) {
        pairs.push_back({"progressive/" + std::string(build.name), build.table->gather[0], build.table->scatter[0]});
        pairs.push_back({"interlaced/" + std::string(build.name), build.table->gather[1], build.table->scatter[1]});
    }
    for (const Pair& pair : pairs) {
        const int32_t width = 16 * kMacroblocks;
        RegisterBenchmark(("Gather/" + pair.name).c_str(), [pair, width](State& s) {
            std::vector<YcPixel> picture(static_cast<size_t>(width) * 16);
            FillNaturalPicture(picture.data(), width, 16, width, 3);
            MacroblockBuffer work;
            for (auto _ : s)
                for (int32_t m = 0; m < kMacroblocks; ++m) {
                    pair.gather(picture.data() + 16 * m, work, 16, 16, width);
                    benchmark::DoNotOptimize(work);
                }
            s.SetItemsProcessed(s.iterations() * kMacroblocks);
        });
        RegisterBenchmark(("Scatter/" + pair.name).c_str(), [pair, width](State& s) {
            std::vector<YcPixel> picture(static_cast<size_t>(width) * 16);
            for (auto _ : s) {
                for (int32_t m = 0; m < kMacroblocks; ++m)
                    pair.scatter(Blocks().samples[static_cast<size_t>(m)], picture.data() + 16 * m, 16, 16, width);
                benchmark::DoNotOptimize(picture);
            }
            s.SetItemsProcessed(s.iterations() * kMacroblocks);
        });
    }
}

// The media kernels on one 1920x1080 4:2:0 frame; items are frames.
void RegisterMedia() {
    using benchmark::State;
    static const Y4mFormat format = [] {
        Y4mFormat f;
        f.width = 1920;
        f.height = 1080;
        return f;
    }();
    const size_t pixels = static_cast<size_t>(format.width) * static_cast<size_t>(format.height);
    for (const testing::MediaKernelBuild& build : testing::MediaKernelBuilds()) {
        const media::KernelTable* k = build.table;
        const std::string suffix = std::string("/") + build.name + "/1920x1080";
        benchmark::RegisterBenchmark(("YcToY4m" + suffix).c_str(), [k, pixels](State& s) {
            std::vector<YcPixel> picture(pixels);
            FillNaturalPicture(picture.data(), format.width, format.height, format.width, 2);
            Y4mFrame frame;
            frame.Allocate(format);
            uint8_t* const planes[3] = {frame.y.data(), frame.cb.data(), frame.cr.data()};
            for (auto _ : s) {
                k->toY4m(format, picture.data(), format.width, planes);
                benchmark::DoNotOptimize(frame.y);
            }
            s.SetItemsProcessed(s.iterations());
        });
        benchmark::RegisterBenchmark(("Y4mToYc" + suffix).c_str(), [k, pixels](State& s) {
            std::vector<YcPixel> picture(pixels);
            FillNaturalPicture(picture.data(), format.width, format.height, format.width, 2);
            Y4mFrame frame;
            frame.Allocate(format);
            uint8_t* const planes[3] = {frame.y.data(), frame.cb.data(), frame.cr.data()};
            k->toY4m(format, picture.data(), format.width, planes);
            for (auto _ : s) {
                k->toYc(format, planes, picture.data(), format.width);
                benchmark::DoNotOptimize(picture);
            }
            s.SetItemsProcessed(s.iterations());
        });
        benchmark::RegisterBenchmark(("SquaredError" + suffix).c_str(), [k, pixels](State& s) {
            std::vector<YcPixel> picture(pixels);
            FillNaturalPicture(picture.data(), format.width, format.height, format.width, 2);
            Y4mFrame a, b;
            a.Allocate(format);
            b.Allocate(format);
            uint8_t* const planesA[3] = {a.y.data(), a.cb.data(), a.cr.data()};
            uint8_t* const planesB[3] = {b.y.data(), b.cb.data(), b.cr.data()};
            k->toY4m(format, picture.data(), format.width, planesA);
            FillNaturalPicture(picture.data(), format.width, format.height, format.width, 3);
            k->toY4m(format, picture.data(), format.width, planesB);
            uint64_t sum = 0;
            for (auto _ : s) {
                sum += k->squaredError(a.y.data(), b.y.data(), a.y.size()) +
                       k->squaredError(a.cb.data(), b.cb.data(), a.cb.size()) +
                       k->squaredError(a.cr.data(), b.cr.data(), a.cr.size());
                benchmark::DoNotOptimize(sum);
            }
            s.SetItemsProcessed(s.iterations());
        });
    }
}

struct FrameCase {
    int32_t width, height;
    bool interlaced;
};

// Whole frames at typical settings: scale code 8 (q = 16), default matrix,
// zigzag scan, no log. Items are frames, so items per second is fps.
void RegisterFrames() {
    using benchmark::State;
    static const FrameCase cases[] = {{720, 480, false}, {1920, 1080, false}, {1920, 1080, true}};
    for (const FrameCase& c : cases) {
        const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
        // The reference walk, then the fast walk with each kernel table.
        std::vector<std::pair<std::string, int64_t>> walks{{"reference", -1}};
        for (const testing::KernelBuild& build : testing::KernelBuilds()) walks.push_back({build.name, build.flags});
        for (const auto& walk : walks) {
            const std::string name =
                "Frame/" + walk.first + "/" + size + (c.interlaced ? "/interlaced" : "/progressive");
            const int64_t flags = walk.second;
            benchmark::RegisterBenchmark(name.c_str(), [c, flags](State& s) {
                const size_t pixels = static_cast<size_t>(c.width) * static_cast<size_t>(c.height);
                std::vector<YcPixel> input(pixels), output(pixels);
                FillNaturalPicture(input.data(), c.width, c.height, c.width, 1);
                FilterSettings settings;
                settings.scaleCode = 8;
                settings.interlacedDct = c.interlaced ? 1 : 0;
                int32_t bytes = 0;
                FrameCoder coder(flags < 0 ? 0 : static_cast<uint32_t>(flags));
                const FrameGeometry geometry{c.width, c.height, c.width, c.height};
                for (auto _ : s) {
                    bytes = flags >= 0
                                ? coder.CodeFrame(settings, kDefaultIntraMatrix, input.data(), output.data(), geometry)
                                : coder.CodeFrameReference(settings, kDefaultIntraMatrix, input.data(), output.data(),
                                                           geometry);
                    benchmark::DoNotOptimize(bytes);
                }
                s.SetItemsProcessed(s.iterations());
                s.SetLabel(std::to_string(bytes) + " bytes/frame");
            });
        }
        if (c.interlaced) continue;
        // The floor: read the input frame once and write the output once.
        benchmark::RegisterBenchmark(("MemoryFloor/" + size).c_str(), [c](State& s) {
            const size_t pixels = static_cast<size_t>(c.width) * static_cast<size_t>(c.height);
            std::vector<YcPixel> input(pixels), output(pixels);
            FillNaturalPicture(input.data(), c.width, c.height, c.width, 1);
            for (auto _ : s) {
                std::memcpy(output.data(), input.data(), pixels * sizeof(YcPixel));
                benchmark::DoNotOptimize(output);
            }
            s.SetItemsProcessed(s.iterations());
        });
    }
}

}  // namespace
}  // namespace vardelk::bench

int main(int argc, char** argv) {
    vardelk::bench::RegisterKernels();
    vardelk::bench::RegisterMedia();
    vardelk::bench::RegisterFrames();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
