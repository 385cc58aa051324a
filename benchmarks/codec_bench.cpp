// Speed of every kernel table entry in every build this machine runs (the
// codec's and the media's tables), and of whole frames through the frame
// coder's plain reference walk and with each build's table, with a
// memory-floor pass for comparison.
//
//   build/native/benchmarks/vardelk_bench                 (Google Benchmark)
//   WINEDEBUG=-all wine build/windows/benchmarks/vardelk_bench.exe
//
// Kernel figures are per block (per macroblock for bit cost and the
// gather/scatter pairs) and include copying the input into a work buffer;
// Copy/macroblock is that copy alone.
#include <array>
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
#include "codec/kernels/kernel_table.h"
#include "codec/kernels/sparse_bit_cost.h"
#include "codec/quantise.h"
#include "media/kernel_table.h"
#include "media/y4m.h"
#include "testing/kernel_builds.h"

namespace vardelk::bench {
namespace {

constexpr int32_t kMacroblocks = 120;  // one 1920-pixel macroblock row
constexpr int32_t kRowWidth = 16 * kMacroblocks;
constexpr int32_t kTypicalQ = 16;  // scale code 8, linear

const StageBlocks& Blocks() {
    static const StageBlocks blocks = MakeStageBlocks(kMacroblocks, kDefaultIntraMatrix, kTypicalQ);
    return blocks;
}

// The frame's tables of the filter's rule and of a real encoder's.
const kernels::QuantiserTables& Tables(QuantiserRule rule) {
    static const auto prepare = [](QuantiserRule r) {
        kernels::QuantiserTables t;
        kernels::PrepareQuantiser(r, kDefaultIntraMatrix, kTypicalQ, t);
        return t;
    };
    static const kernels::QuantiserTables filter = prepare(QuantiserRule::kFilter);
    static const kernels::QuantiserTables symmetric = prepare(QuantiserRule::kMpeg2enc);
    return rule == QuantiserRule::kFilter ? filter : symmetric;
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

// Registers one row per build of a table entry, name/build, each running
// run(state, that build's entry).
template <typename Table, typename Entry, typename Run>
void RegisterEveryBuild(const std::string& name, Entry Table::*entry, Run run) {
    for (const auto& k : testing::EveryBuildOf(entry))
        benchmark::RegisterBenchmark((name + "/" + k.build).c_str(),
                                     [run, kernel = k.kernel](benchmark::State& s) { run(s, kernel); });
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
    // What the flat-block entry saves: dequantisation and the inverse transform.
    RegisterBenchmark("ReconstructFlat/reference", [](State& s) {
        RunBlocks(s, FlatLevels(), [](int32_t* b) {
            DequantiseBlock(b, kDefaultIntraMatrix, kTypicalQ);
            InverseDct(b);
        });
    });

    // Every entry of the kernel table in every build this machine runs.
    using Transform = kernels::BlockTransform;
    RegisterEveryBuild("ForwardDct", &kernels::KernelTable::forwardDct,
                       [](State& s, Transform k) { RunBlocks(s, Blocks().samples, k); });
    RegisterEveryBuild("ForwardDctAccurate", &kernels::KernelTable::forwardDctAccurate,
                       [](State& s, Transform k) { RunBlocks(s, Blocks().samples, k); });
    RegisterEveryBuild("InverseDct", &kernels::KernelTable::inverseDct,
                       [](State& s, Transform k) { RunBlocks(s, Blocks().reconstructed, k); });
    RegisterEveryBuild("ReconstructFlat", &kernels::KernelTable::reconstructFlat,
                       [](State& s, Transform k) { RunBlocks(s, FlatLevels(), k); });
    RegisterEveryBuild("Quantise", &kernels::KernelTable::quantise, [](State& s, kernels::QuantiseFunction k) {
        const kernels::QuantiserTables& t = Tables(QuantiserRule::kFilter);
        RunBlocks(s, Blocks().coefficients, [&t, k](int32_t* b) { k(b, t); });
    });
    RegisterEveryBuild("QuantiseSymmetric", &kernels::KernelTable::quantiseSymmetric,
                       [](State& s, kernels::QuantiseFunction k) {
                           const kernels::QuantiserTables& t = Tables(QuantiserRule::kMpeg2enc);
                           RunBlocks(s, Blocks().coefficients, [&t, k](int32_t* b) { k(b, t); });
                       });
    RegisterEveryBuild("Dequantise", &kernels::KernelTable::dequantise, [](State& s, kernels::DequantiseFunction k) {
        const kernels::QuantiserTables& t = Tables(QuantiserRule::kFilter);
        RunBlocks(s, Blocks().levels, [&t, k](int32_t* b) { k(b, t); });
    });
    for (int alternate = 0; alternate < 2; ++alternate)
        RegisterEveryBuild(
            std::string("BitCost/") + (alternate ? "alternate" : "zigzag"), &kernels::KernelTable::macroblockBits,
            [alternate](State& s, kernels::MacroblockBitsFunction k) {
                // The masks come with the levels, as the quantiser hands them over.
                std::vector<std::array<uint64_t, kBlocksPerMacroblock>> masks;
                for (const MacroblockBuffer& mb : Blocks().levels) {
                    masks.emplace_back();
                    for (int b = 0; b < kBlocksPerMacroblock; ++b)
                        masks.back()[static_cast<size_t>(b)] = kernels::NonZeroMask(mb.Block(b));
                }
                DcPredictors predictors;
                int32_t bits = 0;
                for (auto _ : s)
                    for (size_t m = 0; m < masks.size(); ++m)
                        bits += k(Blocks().levels[m], masks[m].data(), AcCoding{alternate, 1}, predictors);
                benchmark::DoNotOptimize(bits);
                s.SetItemsProcessed(s.iterations() * kMacroblocks);
            });

    // Gather and scatter over one macroblock row of a 1920-wide picture.
    for (size_t layout : {0, 1}) {
        const std::string suffix = layout == 0 ? "/progressive" : "/interlaced";
        RegisterEveryBuild("Gather" + suffix, &kernels::KernelTable::gather, [layout](State& s, auto k) {
            std::vector<Pixel> picture(static_cast<size_t>(kRowWidth) * 16);
            FillNaturalPicture(picture.data(), kRowWidth, 16, kRowWidth, 3);
            MacroblockBuffer work;
            for (auto _ : s)
                for (int32_t m = 0; m < kMacroblocks; ++m) {
                    k[layout](picture.data() + 16 * m, work, 16, 16, kRowWidth);
                    benchmark::DoNotOptimize(work);
                }
            s.SetItemsProcessed(s.iterations() * kMacroblocks);
        });
        RegisterEveryBuild("Scatter" + suffix, &kernels::KernelTable::scatter, [layout](State& s, auto k) {
            std::vector<Pixel> picture(static_cast<size_t>(kRowWidth) * 16);
            for (auto _ : s) {
                for (int32_t m = 0; m < kMacroblocks; ++m)
                    k[layout](Blocks().samples[static_cast<size_t>(m)], picture.data() + 16 * m, 16, 16, kRowWidth);
                benchmark::DoNotOptimize(picture);
            }
            s.SetItemsProcessed(s.iterations() * kMacroblocks);
        });
        // The same row as 8-bit 4:2:0 planes.
        RegisterEveryBuild("GatherPlanar" + suffix, &kernels::KernelTable::gatherPlanar, [layout](State& s, auto k) {
            std::vector<uint8_t> luma(static_cast<size_t>(kRowWidth) * 16), chroma(luma.size() / 4);
            for (size_t i = 0; i < luma.size(); ++i) luma[i] = static_cast<uint8_t>(i * 7 + i / kRowWidth * 13);
            for (size_t i = 0; i < chroma.size(); ++i) chroma[i] = static_cast<uint8_t>(96 + i % 64);
            const PlanarInput planes{luma.data(), chroma.data(), chroma.data(), kRowWidth, kRowWidth / 2};
            MacroblockBuffer work;
            for (auto _ : s)
                for (int32_t m = 0; m < kMacroblocks; ++m) {
                    k[layout](planes.At(0, 16 * m), work, 16, 16);
                    benchmark::DoNotOptimize(work);
                }
            s.SetItemsProcessed(s.iterations() * kMacroblocks);
        });
        RegisterEveryBuild("ScatterPlanar" + suffix, &kernels::KernelTable::scatterPlanar, [layout](State& s, auto k) {
            std::vector<uint8_t> luma(static_cast<size_t>(kRowWidth) * 16), cb(luma.size() / 4), cr(cb.size());
            const PlanarOutput planes{luma.data(), cb.data(), cr.data(), kRowWidth, kRowWidth / 2};
            for (auto _ : s) {
                for (int32_t m = 0; m < kMacroblocks; ++m)
                    k[layout](Blocks().samples[static_cast<size_t>(m)], planes.At(0, 16 * m), 16, 16);
                benchmark::DoNotOptimize(luma);
            }
            s.SetItemsProcessed(s.iterations() * kMacroblocks);
        });
    }
}

// The media kernels on one 1920x1080 4:2:0 frame; items are frames.
const Y4mFormat& MediaFormat() {
    static const Y4mFormat format = [] {
        Y4mFormat f;
        f.width = 1920;
        f.height = 1080;
        return f;
    }();
    return format;
}

// The frame's planes from a natural picture (seed), converted by the plain table.
Y4mFrame MediaFrame(uint32_t seed) {
    const Y4mFormat& format = MediaFormat();
    std::vector<Pixel> picture(static_cast<size_t>(format.width) * static_cast<size_t>(format.height));
    FillNaturalPicture(picture.data(), format.width, format.height, format.width, seed);
    Y4mFrame frame;
    frame.Allocate(format);
    uint8_t* const planes[3] = {frame.y.data(), frame.cb.data(), frame.cr.data()};
    media::KernelTableFor(0).toY4m(format, picture.data(), format.width, planes);
    return frame;
}

void RegisterMedia() {
    using benchmark::State;
    RegisterEveryBuild("YcToY4m/1920x1080", &media::KernelTable::toY4m, [](State& s, media::ToY4mFunction k) {
        const Y4mFormat& format = MediaFormat();
        std::vector<Pixel> picture(static_cast<size_t>(format.width) * static_cast<size_t>(format.height));
        FillNaturalPicture(picture.data(), format.width, format.height, format.width, 2);
        Y4mFrame frame;
        frame.Allocate(format);
        uint8_t* const planes[3] = {frame.y.data(), frame.cb.data(), frame.cr.data()};
        for (auto _ : s) {
            k(format, picture.data(), format.width, planes);
            benchmark::DoNotOptimize(frame.y);
        }
        s.SetItemsProcessed(s.iterations());
    });
    RegisterEveryBuild("Y4mToYc/1920x1080", &media::KernelTable::toYc, [](State& s, media::ToYcFunction k) {
        const Y4mFormat& format = MediaFormat();
        const Y4mFrame frame = MediaFrame(2);
        const uint8_t* const planes[3] = {frame.y.data(), frame.cb.data(), frame.cr.data()};
        std::vector<Pixel> picture(static_cast<size_t>(format.width) * static_cast<size_t>(format.height));
        for (auto _ : s) {
            k(format, planes, picture.data(), format.width);
            benchmark::DoNotOptimize(picture);
        }
        s.SetItemsProcessed(s.iterations());
    });
    RegisterEveryBuild("SquaredError/1920x1080", &media::KernelTable::squaredError,
                       [](State& s, media::SquaredErrorFunction k) {
                           const Y4mFrame a = MediaFrame(2), b = MediaFrame(3);
                           uint64_t sum = 0;
                           for (auto _ : s) {
                               sum += k(a.y.data(), b.y.data(), a.y.size()) + k(a.cb.data(), b.cb.data(), a.cb.size()) +
                                      k(a.cr.data(), b.cr.data(), a.cr.size());
                               benchmark::DoNotOptimize(sum);
                           }
                           s.SetItemsProcessed(s.iterations());
                       });
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
                std::vector<Pixel> input(pixels), output(pixels);
                FillNaturalPicture(input.data(), c.width, c.height, c.width, 1);
                CodingSettings settings;
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
            std::vector<Pixel> input(pixels), output(pixels);
            FillNaturalPicture(input.data(), c.width, c.height, c.width, 1);
            for (auto _ : s) {
                std::memcpy(output.data(), input.data(), pixels * sizeof(Pixel));
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
