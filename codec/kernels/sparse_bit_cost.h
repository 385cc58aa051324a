// The bit counts of bit_cost.h driven by the non-zero masks the quantisers
// return (codec/kernels/quantiser_tables.h): only the non-zero levels are
// visited. The same counts as AcBlockBits and EstimateMacroblockBits for
// any levels, given each block's true mask. The kernel table's
// macroblockBits entry in every family.
#pragma once

#include <cstdint>

#include "codec/bit_cost.h"
#include "codec/types.h"

namespace vardelk {
namespace kernels {

// Bit i set when block[i] is not zero: the mask a quantiser returns.
inline uint64_t NonZeroMask(const int32_t block[64]) {
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) mask |= uint64_t{block[i] != 0} << i;
    return mask;
}

// nonZero: the block's mask (bit 0, the DC, is not read).
int32_t SparseAcBlockBits(const int32_t block[64], uint64_t nonZero, const AcCoding& coding);
// Updates the predictors as EstimateMacroblockBits does.
int32_t SparseMacroblockBits(const MacroblockBuffer& buffer, const uint64_t nonZero[kBlocksPerMacroblock],
                             const AcCoding& coding, DcPredictors& predictors);

}  // namespace kernels
}  // namespace vardelk
