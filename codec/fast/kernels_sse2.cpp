// The SSE2 builds of the vector kernels, compiled from their bodies.
// Builds for targets without SSE2 (wasm32, for one) leave this file empty
// and their kernel tables plain.
#include "codec/fast/fast_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstddef>

#include "codec/dct_constants.h"
#include "codec/fast/flat_block.h"
#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/planar.h"
#include "codec/sample_scale.h"

namespace vardelk {
namespace fast {
namespace sse2 {
namespace {
#include "codec/fast/dct_sse2_body.h"
#include "codec/fast/flat_block_body.h"
#include "codec/fast/macroblock_body.h"
#include "codec/fast/planar_body.h"
}  // namespace

void ForwardDct(int32_t block[64]) { ForwardDctVector(block); }
void InverseDct(int32_t block[64]) { InverseDctVector(block); }
void ReconstructFlatBlock(int32_t block[64]) { ReconstructFlatBlockVector(block); }
void GatherMacroblockProgressive(const YcPixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                 int32_t remainingHeight, int32_t stride) {
    GatherWholeProgressive(source, buffer, remainingWidth, remainingHeight, stride);
}
void ScatterMacroblockProgressive(const MacroblockBuffer& buffer, YcPixel* destination, int32_t remainingWidth,
                                  int32_t remainingHeight, int32_t stride) {
    ScatterWholeProgressive(buffer, destination, remainingWidth, remainingHeight, stride);
}
void GatherMacroblockInterlaced(const YcPixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                int32_t remainingHeight, int32_t stride) {
    GatherWholeInterlaced(source, buffer, remainingWidth, remainingHeight, stride);
}
void ScatterMacroblockInterlaced(const MacroblockBuffer& buffer, YcPixel* destination, int32_t remainingWidth,
                                 int32_t remainingHeight, int32_t stride) {
    ScatterWholeInterlaced(buffer, destination, remainingWidth, remainingHeight, stride);
}

void GatherPlanarProgressive(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,
                             int32_t remainingHeight) {
    GatherPlanarProgressiveWhole(source, buffer, remainingWidth, remainingHeight);
}
void ScatterPlanarProgressive(const MacroblockBuffer& buffer, const PlanarOutput& destination, int32_t remainingWidth,
                              int32_t remainingHeight) {
    ScatterPlanarProgressiveWhole(buffer, destination, remainingWidth, remainingHeight);
}
void GatherPlanarInterlaced(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,
                            int32_t remainingHeight) {
    GatherPlanarInterlacedWhole(source, buffer, remainingWidth, remainingHeight);
}
void ScatterPlanarInterlaced(const MacroblockBuffer& buffer, const PlanarOutput& destination, int32_t remainingWidth,
                             int32_t remainingHeight) {
    ScatterPlanarInterlacedWhole(buffer, destination, remainingWidth, remainingHeight);
}

}  // namespace sse2
}  // namespace fast
}  // namespace vardelk
#endif
