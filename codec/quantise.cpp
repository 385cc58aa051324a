#include "codec/quantise.h"

namespace vardelk {
namespace {

int32_t Clamp(int64_t v, int32_t low, int32_t high) {
    return v < low ? low : (v > high ? high : static_cast<int32_t>(v));
}

}  // namespace

void ClampMatrix(const int32_t matrix[kMatrixEntries], int32_t clamped[kMatrixEntries]) {
    for (int i = 0; i < kMatrixEntries; ++i) clamped[i] = Clamp(matrix[i], kMinMatrixEntry, kMaxMatrixEntry);
}

// level = ((d >> 1) + F x 16) / d with d = W x q. The rounding offset is
// added whatever the sign and the division truncates toward zero, so
// positive coefficients round to nearest and negative ones lean toward zero.
void QuantiseBlock(int32_t block[64], const int32_t weights[kMatrixEntries], int32_t q) {
    for (int i = 1; i < 64; ++i) {
        const int64_t d = int64_t{weights[i]} * q;
        block[i] = static_cast<int32_t>(((d >> 1) + int64_t{block[i]} * 16) / d);
    }
}

// value = W x level x q / 16 truncated toward zero, saturated to
// -2048..2047 (the DC only saturated), then mismatch control on index 63.
void DequantiseBlock(int32_t block[64], const int32_t weights[kMatrixEntries], int32_t q) {
    uint32_t sum = 0;
    for (int i = 0; i < 64; ++i) {
        const int64_t value = i == 0 ? block[0] : int64_t{weights[i]} * block[i] * q / 16;
        block[i] = Clamp(value, kMinCoefficient, kMaxCoefficient);
        sum += static_cast<uint32_t>(block[i]);
    }
    ApplyMismatchControl(block, sum);
}

void QuantiseMacroblock(MacroblockBuffer& buffer, const int32_t weights[kMatrixEntries], int32_t q) {
    for (int b = 0; b < kBlocksPerMacroblock; ++b) QuantiseBlock(buffer.Block(b), weights, q);
}

void DequantiseMacroblock(MacroblockBuffer& buffer, const int32_t weights[kMatrixEntries], int32_t q) {
    for (int b = 0; b < kBlocksPerMacroblock; ++b) DequantiseBlock(buffer.Block(b), weights, q);
}

}  // namespace vardelk
