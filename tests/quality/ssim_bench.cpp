// Speed of SSIM on a 1920x1080 4:2:0 frame (noise against noise plus a small
// offset), whole frame and the luma macroblock map.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "quality/ssim.h"

namespace {

struct Frames {
    vardelk::Y4mFormat format;
    vardelk::Y4mFrame a, b;

    Frames() {
        format.width = 1920, format.height = 1080;
        a.Allocate(format), b.Allocate(format);
        uint32_t seed = 1;
        for (std::vector<uint8_t>* plane : {&a.y, &a.cb, &a.cr, &b.y, &b.cb, &b.cr}) {
            for (uint8_t& s : *plane) {
                seed = seed * 1664525u + 1013904223u;
                s = uint8_t(seed >> 24);
            }
        }
    }
};

void FrameSsim1080p(benchmark::State& state) {
    static const Frames f;
    for (auto _ : state) benchmark::DoNotOptimize(vardelk::CompareFramesSsim(f.format, f.a, f.b).all.Ssim());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(FrameSsim1080p)->Unit(benchmark::kMillisecond);

void MacroblockMap1080p(benchmark::State& state) {
    static const Frames f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vardelk::MacroblockSsimMap(f.a.y.data(), 1920, f.b.y.data(), 1920, 1920, 1080));
    }
}
BENCHMARK(MacroblockMap1080p)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
