// Speed of each kernel, plain and fast, and of whole frames through the
// plain and the fast driver, with a memory-floor pass for comparison.
//
//   build/native/benchmarks/vardelk_bench                 (Google Benchmark)
//   WINEDEBUG=-all wine build/windows/benchmarks/vardelk_bench.exe
//
// Kernel figures are per block (per macroblock for bit cost and the
// gather/scatter pairs) and include copying the input into a work buffer;
// Copy/macroblock is that copy alone.
#include <cstring>
#include <string>
#include <vector>

#if defined(VARDELK_MINI_BENCHMARK)
#include "benchmarks/mini_benchmark.h"
#else
#include <benchmark/benchmark.h>
#endif

#include "benchmarks/bench_inputs.h"
#include "codec/bit_cost.h"
#include "codec/fast/fast_kernels.h"
#include "codec/forward_dct.h"
#include "codec/frame_coder.h"
#include "codec/inverse_dct.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/quantise.h"

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
    RegisterBenchmark("ForwardDct/plain", [](State& s) { RunBlocks(s, Blocks().samples, ForwardDct); });
    // fast: the build the frame driver picks on this CPU; fast-sse2: the
    // baseline build every x86 CPU runs.
    RegisterBenchmark("ForwardDct/fast", [](State& s) { RunBlocks(s, Blocks().samples, fast::ForwardDct); });
    RegisterBenchmark("ForwardDct/fast-sse2",
                      [](State& s) { RunBlocks(s, Blocks().samples, fast::sse2::ForwardDct); });
    RegisterBenchmark("Quantise/plain", [](State& s) {
        RunBlocks(s, Blocks().coefficients,
                  [](int32_t* b) { QuantiseBlock(b, kDefaultIntraMatrix, kTypicalQ); });
    });
    RegisterBenchmark("Quantise/fast", [](State& s) {
        const fast::QuantiserTables& t = Tables();
        const fast::QuantiseFunction quantise = fast::QuantiseBlockFunction();
        RunBlocks(s, Blocks().coefficients, [&t, quantise](int32_t* b) { quantise(b, t); });
    });
    RegisterBenchmark("Quantise/fast-sse2", [](State& s) {
        const fast::QuantiserTables& t = Tables();
        RunBlocks(s, Blocks().coefficients, [&t](int32_t* b) { fast::QuantiseBlock(b, t); });
    });
    RegisterBenchmark("Dequantise/plain", [](State& s) {
        RunBlocks(s, Blocks().levels, [](int32_t* b) { DequantiseBlock(b, kDefaultIntraMatrix, kTypicalQ); });
    });
    RegisterBenchmark("Dequantise/fast", [](State& s) {
        const fast::QuantiserTables& t = Tables();
        const fast::DequantiseFunction dequantise = fast::DequantiseBlockFunction();
        RunBlocks(s, Blocks().levels, [&t, dequantise](int32_t* b) { dequantise(b, t); });
    });
    RegisterBenchmark("Dequantise/fast-sse2", [](State& s) {
        const fast::QuantiserTables& t = Tables();
        RunBlocks(s, Blocks().levels, [&t](int32_t* b) { fast::DequantiseBlock(b, t); });
    });
    RegisterBenchmark("InverseDct/plain", [](State& s) { RunBlocks(s, Blocks().reconstructed, InverseDct); });
    RegisterBenchmark("InverseDct/fast", [](State& s) { RunBlocks(s, Blocks().reconstructed, fast::InverseDct); });
    RegisterBenchmark("InverseDct/fast-sse2",
                      [](State& s) { RunBlocks(s, Blocks().reconstructed, fast::sse2::InverseDct); });
    // Blocks without AC levels (the levels' DCs, both parities): dequantise
    // and inverse transform, against the direct reconstruction.
    RegisterBenchmark("ReconstructFlat/plain", [](State& s) {
        RunBlocks(s, FlatLevels(), [](int32_t* b) {
            DequantiseBlock(b, kDefaultIntraMatrix, kTypicalQ);
            InverseDct(b);
        });
    });
    RegisterBenchmark("ReconstructFlat/fast",
                      [](State& s) { RunBlocks(s, FlatLevels(), fast::ReconstructFlatBlock); });

    for (int alternate = 0; alternate < 2; ++alternate) {
        const std::string scan = alternate ? "alternate" : "zigzag";
        for (int fastKernel = 0; fastKernel < 2; ++fastKernel) {
            const std::string name = "BitCost/" + std::string(fastKernel ? "fast/" : "plain/") + scan;
            RegisterBenchmark(name.c_str(), [alternate, fastKernel](State& s) {
                DcPredictors predictors;
                int32_t bits = 0;
                for (auto _ : s)
                    for (const MacroblockBuffer& mb : Blocks().levels)
                        bits += fastKernel ? fast::EstimateMacroblockBits(mb, alternate, predictors)
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
        const char* name;
        Gather gather;
        Scatter scatter;
    };
    static const Pair pairs[] = {
        {"progressive/plain", GatherMacroblockProgressive, ScatterMacroblockProgressive},
        {"progressive/fast", fast::GatherMacroblockProgressive, fast::ScatterMacroblockProgressive},
        {"interlaced/plain", GatherMacroblockInterlaced, ScatterMacroblockInterlaced},
        {"interlaced/fast", fast::GatherMacroblockInterlaced, fast::ScatterMacroblockInterlaced},
    };
    for (const Pair& pair : pairs) {
        const int32_t width = 16 * kMacroblocks;
        RegisterBenchmark(("Gather/" + std::string(pair.name)).c_str(), [pair, width](State& s) {
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
        RegisterBenchmark(("Scatter/" + std::string(pair.name)).c_str(), [pair, width](State& s) {
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
        for (int fastDriver = 0; fastDriver < 2; ++fastDriver) {
            const std::string name = "Frame/" + std::string(fastDriver ? "fast/" : "plain/") + size +
                                     (c.interlaced ? "/interlaced" : "/progressive");
            benchmark::RegisterBenchmark(name.c_str(), [c, fastDriver](State& s) {
                const size_t pixels = static_cast<size_t>(c.width) * static_cast<size_t>(c.height);
                std::vector<YcPixel> input(pixels), output(pixels);
                FillNaturalPicture(input.data(), c.width, c.height, c.width, 1);
                FilterSettings settings;
                settings.scaleCode = 8;
                settings.interlacedDct = c.interlaced ? 1 : 0;
                int32_t bytes = 0;
                FrameCoder coder;
                const FrameGeometry geometry{c.width, c.height, c.width, c.height};
                for (auto _ : s) {
                    bytes = fastDriver ? coder.CodeFrame(settings, kDefaultIntraMatrix, input.data(), output.data(),
                                                         geometry)
                                       : coder.CodeFrameReference(settings, kDefaultIntraMatrix, input.data(),
                                                                  output.data(), geometry);
                    benchmark::DoNotOptimize(bytes);
                }
                s.SetItemsProcessed(s.iterations());
                s.SetLabel(std::to_string(bytes) + " bytes/frame");
            });
        }
        if (c.interlaced) continue;
        // The fast driver with the AVX2 builds switched off: what a CPU
        // with SSE2 only gets.
        benchmark::RegisterBenchmark(("Frame/fast-sse2/" + size + "/progressive").c_str(), [c](State& s) {
            const size_t pixels = static_cast<size_t>(c.width) * static_cast<size_t>(c.height);
            std::vector<YcPixel> input(pixels), output(pixels);
            FillNaturalPicture(input.data(), c.width, c.height, c.width, 1);
            FilterSettings settings;
            settings.scaleCode = 8;
            fast::AllowWiderInstructions(false);
            int32_t bytes = 0;
            FrameCoder coder;
            const FrameGeometry geometry{c.width, c.height, c.width, c.height};
            for (auto _ : s) {
                bytes = coder.CodeFrame(settings, kDefaultIntraMatrix, input.data(), output.data(), geometry);
                benchmark::DoNotOptimize(bytes);
            }
            fast::AllowWiderInstructions(true);
            s.SetItemsProcessed(s.iterations());
            s.SetLabel(std::to_string(bytes) + " bytes/frame");
        });
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
    vardelk::bench::RegisterFrames();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
