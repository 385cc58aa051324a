// Deterministic picture content for the benchmarks: smooth shading, texture,
// hard edges and a little noise, within the host's nominal ranges, so that
// the kernels see the mix of zero and non-zero levels a real frame gives.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/types.h"

namespace vardelk::bench {

void FillNaturalPicture(Pixel* pixels, int32_t width, int32_t height, int32_t stride, uint32_t seed);

// Blocks gathered from such a picture at each stage of the pipeline, for
// the per-kernel benchmarks: samples, coefficients, levels and
// reconstructed coefficients of the same macroblocks.
struct StageBlocks {
    std::vector<MacroblockBuffer> samples, coefficients, levels, reconstructed;
};
StageBlocks MakeStageBlocks(int32_t macroblocks, const int32_t weights[kMatrixEntries], int32_t q);

}  // namespace vardelk::bench
