// The kernels of the frame path, one table per set of CPU flags: filled
// first with the plain builds, then overwritten by each instruction set the
// flags allow, in rising order. Every entry gives exactly its plain
// counterpart's result for the domain stated in fast_kernels.h.
#pragma once

#include <cstdint>

#include "codec/bit_cost.h"
#include "codec/kernels/quantiser_tables.h"
#include "codec/planar.h"
#include "codec/types.h"

namespace vardelk {
namespace fast {

using GatherFunction = void (*)(const YcPixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                int32_t remainingHeight, int32_t stride);
using ScatterFunction = void (*)(const MacroblockBuffer& buffer, YcPixel* destination, int32_t remainingWidth,
                                 int32_t remainingHeight, int32_t stride);
using PlanarGatherFunction = void (*)(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                      int32_t remainingHeight);
using PlanarScatterFunction = void (*)(const MacroblockBuffer& buffer, const PlanarOutput& destination,
                                       int32_t remainingWidth, int32_t remainingHeight);
using FlatBlockFunction = void (*)(int32_t block[64]);
using MacroblockBitsFunction = int32_t (*)(const MacroblockBuffer& buffer, const uint64_t nonZero[kBlocksPerMacroblock],
                                           const AcCoding& coding, DcPredictors& predictors);

struct KernelTable {
    BlockTransform forwardDct;
    BlockTransform forwardDctAccurate;  // the encoders' transform, at 8 x the scale
    BlockTransform inverseDct;
    QuantiseFunction quantise;           // the filter's rule
    QuantiseFunction quantiseSymmetric;  // the real encoders' rules
    DequantiseFunction dequantise;
    MacroblockBitsFunction macroblockBits;
    FlatBlockFunction reconstructFlat;
    GatherFunction gather[2];              // [0] progressive, [1] interlaced
    ScatterFunction scatter[2];            // likewise
    PlanarGatherFunction gatherPlanar[2];  // 8-bit 4:2:0 planes, likewise
    PlanarScatterFunction scatterPlanar[2];
};

// The table for these flags (any bits beyond kAllCpuFlags are ignored).
// Each table is filled once, on first use, and lives as long as the process.
const KernelTable& KernelTableFor(uint32_t cpuFlags);

// The per-family fillers. Families the build lacks leave the table as it is.
void InitPlainKernels(KernelTable& table);
void InitSse2Kernels(KernelTable& table);
void InitAvx2Kernels(KernelTable& table);

}  // namespace fast
}  // namespace vardelk
