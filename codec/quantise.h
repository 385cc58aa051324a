// Quantisation with the intra matrix and the quantiser scale, and the
// decoder's reconstruction with saturation and mismatch control. The DC
// coefficient passes through both unscaled.
#pragma once

#include <cstdint>

#include "codec/types.h"

namespace vardelk {

constexpr int32_t kMinCoefficient = -2048;
constexpr int32_t kMaxCoefficient = 2047;

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
