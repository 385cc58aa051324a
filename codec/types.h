// Shared records of the simulated intra codec: the pixel format of the
// frames, the macroblock buffer every stage works on in place, the intra
// matrix's limits and the user's settings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/coding_model.h"

namespace vardelk {

// One pixel in the host's YC format: luma and two colour differences at
// sixteen times the 8-bit sample scale.
struct YcPixel {
    int16_t y;
    int16_t cb;
    int16_t cr;
};
static_assert(sizeof(YcPixel) == 6, "the host packs pixels in 6 bytes");

// The pixel `row` rows below and `column` pixels right of `origin` in a
// frame whose rows are `stride` pixels apart.
inline const YcPixel* PixelAt(const YcPixel* origin, int32_t row, int32_t column, int32_t stride) {
    return origin + static_cast<ptrdiff_t>(row) * stride + column;
}
inline YcPixel* PixelAt(YcPixel* origin, int32_t row, int32_t column, int32_t stride) {
    return origin + static_cast<ptrdiff_t>(row) * stride + column;
}

constexpr int kBlockValues = 64;
constexpr int kBlocksPerMacroblock = 6;  // Y0, Y1, Y2, Y3, Cb, Cr
constexpr int kMacroblockValues = kBlockValues * kBlocksPerMacroblock;
constexpr int kCbBlock = 4;
constexpr int kCrBlock = 5;

// Six 8x8 blocks, each row-major. The same storage holds samples,
// coefficients, levels, reconstructed coefficients and samples again.
struct MacroblockBuffer {
    alignas(64) int32_t value[kMacroblockValues];

    int32_t* Block(int index) { return value + index * kBlockValues; }
    const int32_t* Block(int index) const { return value + index * kBlockValues; }
};

// Intra quantiser weights, row-major (index = row x 8 + column).
constexpr int kMatrixEntries = 64;
constexpr int32_t kMinMatrixEntry = 1;
constexpr int32_t kMaxMatrixEntry = 4095;
constexpr size_t kMatrixBytes = kMatrixEntries * sizeof(int32_t);

// The standard's default intra matrix, natural order.
extern const int32_t kDefaultIntraMatrix[kMatrixEntries];

// The five user settings as the host hands them over: a scale code that
// should lie in 1..31 and four flags where any non-zero value means on;
// and the coding model, which the module leaves at the filter's own.
struct FilterSettings {
    int32_t scaleCode = 1;
    int32_t nonLinearScale = 0;
    int32_t alternateScan = 0;
    int32_t interlacedDct = 0;
    int32_t logOutput = 0;
    CodingModel model{};
};

}  // namespace vardelk
