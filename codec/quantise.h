// Quantisation with the intra matrix and the quantiser scale, and the
// decoder's reconstruction with saturation and mismatch control. The DC
// coefficient passes through both unscaled.
#pragma once

#include <cstdint>

#include "codec/types.h"

namespace vardelk {

constexpr int32_t kMinCoefficient = -2048;
constexpr int32_t kMaxCoefficient = 2047;

// Mismatch control: when the sum of the 64 reconstructed coefficients is
// even, coefficient 63 moves by one toward an odd value (odd values step
// down, even values step up); an odd sum leaves it alone. Indexed by
// (coefficient parity) + 2 x (sum parity), on two's-complement bits, so
// that -3 counts as odd and a sum that wrapped keeps its parity.
inline constexpr int32_t kMismatchToggle[4] = {+1, -1, 0, 0};

inline int32_t MismatchStep(int32_t last, uint32_t sum) {
    return kMismatchToggle[(static_cast<uint32_t>(last) & 1u) + 2u * (sum & 1u)];
}
inline void ApplyMismatchControl(int32_t block[64], uint32_t sum) { block[63] += MismatchStep(block[63], sum); }

// Copies a matrix with every entry clamped to 1..4095, so that a matrix the
// host restored with 0, negative or huge entries never divides by zero.
void ClampMatrix(const int32_t matrix[kMatrixEntries], int32_t clamped[kMatrixEntries]);

// Both operations need weights in 1..4095 and q in 1..112, and coefficients
// as ForwardDct makes them from host samples.
void QuantiseMacroblock(MacroblockBuffer& buffer, const int32_t weights[kMatrixEntries], int32_t q);
void DequantiseMacroblock(MacroblockBuffer& buffer, const int32_t weights[kMatrixEntries], int32_t q);

void QuantiseBlock(int32_t block[64], const int32_t weights[kMatrixEntries], int32_t q);
void DequantiseBlock(int32_t block[64], const int32_t weights[kMatrixEntries], int32_t q);

}  // namespace vardelk
