// The kernels of the frame path, one table per set of CPU flags, filled by
// codec/kernels/dispatch.h from the families in kernels_plain.cpp,
// kernels_sse2.cpp and kernels_avx2.cpp. The plain table is the reference:
// every other table's entries give exactly its results on the domain stated
// below.
#pragma once

#include <array>
#include <cstdint>

#include "codec/bit_cost.h"
#include "codec/kernels/dispatch.h"
#include "codec/kernels/quantiser_tables.h"
#include "codec/planar.h"
#include "codec/types.h"

namespace vardelk {
namespace kernels {

// Forward transform: samples in -2048..2047 (any host component >> 4, any
// chroma mean). Inverse transform: coefficients in -2048..2047, as
// dequantisation leaves them. The vector builds hand a block whose
// intermediate values would not fit them to the plain transform.
using BlockTransform = void (*)(int32_t block[64]);
// A block of levels whose 63 AC levels are all zero, reconstructed to
// samples: dequantisation followed by the inverse transform, for any DC
// level (codec/kernels/flat_block.h).
using FlatBlockFunction = void (*)(int32_t block[64]);
// The contract of the plain gathers and scatters (macroblock_progressive.h,
// macroblock_interlaced.h, planar.h): whole macroblocks take a straight
// path, partial ones at the picture's edges the plain code. The gathers
// leave entries outside the inside part as they were, so partial
// macroblocks need a zeroed buffer.
using GatherFunction = void (*)(const Pixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                int32_t remainingHeight, int32_t stride);
using ScatterFunction = void (*)(const MacroblockBuffer& buffer, Pixel* destination, int32_t remainingWidth,
                                 int32_t remainingHeight, int32_t stride);
using PlanarGatherFunction = void (*)(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                      int32_t remainingHeight);
using PlanarScatterFunction = void (*)(const MacroblockBuffer& buffer, const PlanarOutput& destination,
                                       int32_t remainingWidth, int32_t remainingHeight);
// The bits of a macroblock's levels (EstimateMacroblockBits of bit_cost.h)
// from each block's non-zero mask as the quantiser returned it; updates the
// predictors. Any levels.
using MacroblockBitsFunction = int32_t (*)(const MacroblockBuffer& buffer, const uint64_t nonZero[kBlocksPerMacroblock],
                                           const AcCoding& coding, DcPredictors& predictors);

struct KernelTable {
    BlockTransform forwardDct;
    BlockTransform forwardDctAccurate;  // ffmpeg's transform (ForwardDctFixed16), at 8 x the scale
    BlockTransform inverseDct;
    QuantiseFunction quantise;            // the filter's rule
    QuantiseFunction quantiseSymmetric;   // the real encoders' rules
    QuantiseFunction quantiseReciprocal;  // the same, faster, for ffmpeg's rule
    DequantiseFunction dequantise;
    MacroblockBitsFunction macroblockBits;
    FlatBlockFunction reconstructFlat;
    std::array<GatherFunction, 2> gather;  // [0] progressive, [1] interlaced
    std::array<ScatterFunction, 2> scatter;
    std::array<PlanarGatherFunction, 2> gatherPlanar;  // 8-bit 4:2:0 planes, likewise
    std::array<PlanarScatterFunction, 2> scatterPlanar;
};

// A rule's quantiser among the table's kernels: the filter's own, ffmpeg's
// in integer products, or the sign-symmetric kernel of the other encoders'
// rules (it takes ffmpeg's tables too, more slowly).
inline QuantiseFunction QuantiserFor(const KernelTable& table, QuantiserRule rule) {
    switch (rule) {
        case QuantiserRule::kFilter:
            return table.quantise;
        case QuantiserRule::kFfmpeg:
            return table.quantiseReciprocal;
        case QuantiserRule::kMpeg2enc:
        case QuantiserRule::kTestModel:
            return table.quantiseSymmetric;
    }
    return table.quantise;
}

// The table for these flags (any bits beyond kAllCpuFlags are ignored); it
// lives as long as the process.
inline const KernelTable& KernelTableFor(uint32_t cpuFlags) { return KernelTableOf<KernelTable>(cpuFlags); }

// The families' fillers, one file each.
void FillPlainKernels(KernelTable& table);
void FillSse2Kernels(KernelTable& table);
void FillAvx2Kernels(KernelTable& table);

}  // namespace kernels
}  // namespace vardelk
