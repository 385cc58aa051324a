#include "benchmarks/bench_inputs.h"

#include <algorithm>
#include <cmath>

#include "codec/forward_dct.h"
#include "codec/macroblock_progressive.h"
#include "codec/quantise.h"

namespace vardelk::bench {
namespace {

int16_t Clamp16(double v, double low, double high) {
    return static_cast<int16_t>(std::lround(std::min(high, std::max(low, v))));
}

}  // namespace

void FillNaturalPicture(Pixel* pixels, int32_t width, int32_t height, int32_t stride, uint32_t seed) {
    uint32_t state = seed * 2654435761u + 1u;
    const auto noise = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state % 97) - 48.0;
    };
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const double fx = x, fy = y;
            double luma = 1900 + 900 * std::sin(fx / 91 + fy / 143) + 350 * std::sin(fx / 7.3) * std::cos(fy / 11.1);
            if (((x / 173) + (y / 97)) % 3 == 0) luma += 700;  // hard-edged shapes
            const double cb = 500 * std::sin(fx / 211 - fy / 89) + 0.3 * noise();
            const double cr = -400 * std::cos(fx / 157 + fy / 301) + 0.3 * noise();
            Pixel& p = pixels[static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x)];
            p.y = Clamp16(luma + noise(), 0, 4080);
            p.cb = Clamp16(cb, -2040, 2040);
            p.cr = Clamp16(cr, -2040, 2040);
        }
    }
}

StageBlocks MakeStageBlocks(int32_t macroblocks, const int32_t weights[kMatrixEntries], int32_t q) {
    const int32_t width = 16 * macroblocks, height = 16;
    std::vector<Pixel> picture(static_cast<size_t>(width) * height);
    FillNaturalPicture(picture.data(), width, height, width, 7);
    StageBlocks s;
    for (int32_t m = 0; m < macroblocks; ++m) {
        MacroblockBuffer b{};
        GatherMacroblockProgressive(picture.data() + 16 * m, b, 16, 16, width);
        s.samples.push_back(b);
        for (int k = 0; k < kBlocksPerMacroblock; ++k) ForwardDct(b.Block(k));
        s.coefficients.push_back(b);
        QuantiseMacroblock(b, weights, q);
        s.levels.push_back(b);
        DequantiseMacroblock(b, weights, q);
        s.reconstructed.push_back(b);
    }
    return s;
}

}  // namespace vardelk::bench
