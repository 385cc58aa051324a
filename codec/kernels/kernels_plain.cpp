#include "codec/kernels/kernel_table.h"

#include "codec/cpu.h"
#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"

namespace vardelk {
namespace fast {
namespace {

// The bit count is table work with no vector code: the same build in
// every table.
int32_t MacroblockBits(const MacroblockBuffer& buffer, const uint64_t nonZero[kBlocksPerMacroblock],
                       const AcCoding& coding, DcPredictors& predictors) {
    return EstimateMacroblockBits(buffer, nonZero, coding, predictors);
}

KernelTable MakeTable(uint32_t cpuFlags) {
    KernelTable table{};
    InitPlainKernels(table);
    if ((cpuFlags & kCpuSse2) != 0) InitSse2Kernels(table);
    if ((cpuFlags & kCpuAvx2) != 0) InitAvx2Kernels(table);
    return table;
}

}  // namespace

void InitPlainKernels(KernelTable& table) {
    table.forwardDct = vardelk::ForwardDct;
    table.forwardDctAccurate = vardelk::ForwardDctAccurate;
    table.inverseDct = vardelk::InverseDct;
    table.quantise = plain::QuantiseBlock;
    table.quantiseSymmetric = plain::QuantiseSymmetricBlock;
    table.dequantise = plain::DequantiseBlock;
    table.macroblockBits = MacroblockBits;
    table.reconstructFlat = plain::ReconstructFlatBlock;
    table.gather[0] = vardelk::GatherMacroblockProgressive;
    table.gather[1] = vardelk::GatherMacroblockInterlaced;
    table.scatter[0] = vardelk::ScatterMacroblockProgressive;
    table.scatter[1] = vardelk::ScatterMacroblockInterlaced;
    table.gatherPlanar[0] = vardelk::GatherPlanarProgressive;
    table.gatherPlanar[1] = vardelk::GatherPlanarInterlaced;
    table.scatterPlanar[0] = vardelk::ScatterPlanarProgressive;
    table.scatterPlanar[1] = vardelk::ScatterPlanarInterlaced;
}

void InitSse2Kernels([[maybe_unused]] KernelTable& table) {
#if defined(__SSE2__)
    table.forwardDct = sse2::ForwardDct;
    table.forwardDctAccurate = sse2::ForwardDctAccurate;
    table.inverseDct = sse2::InverseDct;
#if defined(VARDELK_SSE2_QUANTISER)
    table.quantise = sse2::QuantiseBlock;
    table.quantiseSymmetric = sse2::QuantiseSymmetricBlock;
    table.dequantise = sse2::DequantiseBlock;
#endif
    table.reconstructFlat = sse2::ReconstructFlatBlock;
    table.gather[0] = sse2::GatherMacroblockProgressive;
    table.gather[1] = sse2::GatherMacroblockInterlaced;
    table.scatter[0] = sse2::ScatterMacroblockProgressive;
    table.scatter[1] = sse2::ScatterMacroblockInterlaced;
    table.gatherPlanar[0] = sse2::GatherPlanarProgressive;
    table.gatherPlanar[1] = sse2::GatherPlanarInterlaced;
    table.scatterPlanar[0] = sse2::ScatterPlanarProgressive;
    table.scatterPlanar[1] = sse2::ScatterPlanarInterlaced;
#endif
}

void InitAvx2Kernels([[maybe_unused]] KernelTable& table) {
#if defined(VARDELK_HAVE_AVX2)
    table.forwardDct = avx2::ForwardDct;
    table.forwardDctAccurate = avx2::ForwardDctAccurate;
    table.inverseDct = avx2::InverseDct;
    table.quantise = avx2::QuantiseBlock;
    table.quantiseSymmetric = avx2::QuantiseSymmetricBlock;
    table.dequantise = avx2::DequantiseBlock;
    table.reconstructFlat = avx2::ReconstructFlatBlock;
    table.gather[0] = avx2::GatherMacroblockProgressive;
    table.gather[1] = avx2::GatherMacroblockInterlaced;
    table.scatter[0] = avx2::ScatterMacroblockProgressive;
    table.scatter[1] = avx2::ScatterMacroblockInterlaced;
    table.gatherPlanar[0] = avx2::GatherPlanarProgressive;
    table.gatherPlanar[1] = avx2::GatherPlanarInterlaced;
    table.scatterPlanar[0] = avx2::ScatterPlanarProgressive;
    table.scatterPlanar[1] = avx2::ScatterPlanarInterlaced;
#endif
}

const KernelTable& KernelTableFor(uint32_t cpuFlags) {
    // One table per combination of the flags, all filled at the first call
    // (thread-safe: a function-local static).
    static const KernelTable tables[kAllCpuFlags + 1] = {MakeTable(0), MakeTable(1), MakeTable(2), MakeTable(3)};
    static_assert(kAllCpuFlags == 3, "one table per combination of the flags");
    return tables[cpuFlags & kAllCpuFlags];
}

}  // namespace fast
}  // namespace vardelk
