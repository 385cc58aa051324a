// The plain family: portable C++ for every entry of the kernel table, the
// reference every other family is proven against. Most entries are the
// pipeline's own plain functions; the quantiser takes the frame's prepared
// tables, and blocks without AC levels go straight to samples.
#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"
#include "codec/kernels/flat_block.h"
#include "codec/kernels/kernel_table.h"
#include "codec/kernels/sparse_bit_cost.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/planar.h"
#include "codec/quantise.h"

namespace vardelk {
namespace kernels {
namespace {

// Integer division and products, as quantise.cpp and quantiser_rules.h.
uint64_t QuantiseBlock(int32_t block[64], const QuantiserTables& tables) {
    uint64_t nonZero = uint64_t{block[0] != 0};
    for (int i = 1; i < 64; ++i) {
        const int64_t d = tables.divisor[i];
        block[i] = static_cast<int32_t>((tables.halfDivisor[i] + int64_t{block[i]} * 16) / d);
        nonZero |= uint64_t{block[i] != 0} << i;
    }
    return nonZero;
}

// The two roundings in integers.
uint64_t QuantiseSymmetricBlock(int32_t block[64], const QuantiserTables& tables) {
    uint64_t nonZero = uint64_t{block[0] != 0};
    for (int i = 1; i < 64; ++i) {
        const int64_t m = block[i] < 0 ? -int64_t{block[i]} : int64_t{block[i]};
        const int64_t y = (tables.scale[i] * m + tables.offset[i]) / tables.stepDivisor[i];
        int64_t level = (y + tables.finalOffset) / tables.finalDivisor;
        if (level > tables.maxLevel) level = tables.maxLevel;
        block[i] = static_cast<int32_t>(block[i] < 0 ? -level : level);
        nonZero |= uint64_t{block[i] != 0} << i;
    }
    return nonZero;
}

void DequantiseBlock(int32_t block[64], const QuantiserTables& tables) {
    uint32_t sum = 0;
    for (int i = 0; i < 64; ++i) {
        const int64_t value = i == 0 ? block[0] : int64_t{tables.divisor[i]} * block[i] / 16;
        block[i] = value < kMinCoefficient ? kMinCoefficient
                                           : (value > kMaxCoefficient ? kMaxCoefficient : static_cast<int32_t>(value));
        sum += static_cast<uint32_t>(block[i]);
    }
    ApplyMismatchControl(block, sum);
}

void ReconstructFlatBlock(int32_t block[64]) {
    const int32_t d = flat::SaturatedDc(block[0]);
    const int32_t scaledDc = d * (1 << 17);
    if (flat::StaysFlat(d)) {
        const int32_t v = flat::SaturateSample((d + 4) >> 3);
        for (int i = 0; i < 64; ++i) block[i] = v;
        return;
    }
    for (int i = 0; i < 64; ++i) block[i] = flat::SaturateSample((scaledDc + flat::kFlatOffsets.value[i]) >> 20);
}

}  // namespace

void FillPlainKernels(KernelTable& table) {
    table.forwardDct = ForwardDct;
    table.forwardDctAccurate = ForwardDctFixed16;
    table.inverseDct = InverseDct;
    table.quantise = QuantiseBlock;
    table.quantiseSymmetric = QuantiseSymmetricBlock;
    table.quantiseReciprocal = QuantiseSymmetricBlock;  // integers already
    table.dequantise = DequantiseBlock;
    // Table work without vector code: the same in every family.
    table.macroblockBits = SparseMacroblockBits;
    table.reconstructFlat = ReconstructFlatBlock;
    table.gather = {GatherMacroblockProgressive, GatherMacroblockInterlaced};
    table.scatter = {ScatterMacroblockProgressive, ScatterMacroblockInterlaced};
    table.gatherPlanar = {GatherPlanarProgressive, GatherPlanarInterlaced};
    table.scatterPlanar = {ScatterPlanarProgressive, ScatterPlanarInterlaced};
}

}  // namespace kernels
}  // namespace vardelk
