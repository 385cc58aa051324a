// Shared records of the simulated intra codec: the pixel format of the
// frames, the macroblock buffer every stage works on in place, the intra
// matrix's limits and the user's settings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/coding_model.h"

namespace vardelk {

// One pixel as the coder reads and writes it: luma and two colour
// differences, each a signed 16-bit number at sixteen times the 8-bit sample
// scale (luma 0..4095 for black to white, colour differences centred on 0).
struct Pixel {
    int16_t y;
    int16_t cb;
    int16_t cr;
};
static_assert(sizeof(Pixel) == 6, "three packed 16-bit numbers");

// The pixel `row` rows below and `column` pixels right of `origin` in a
// frame whose rows are `stride` pixels apart.
inline const Pixel* PixelAt(const Pixel* origin, int32_t row, int32_t column, int32_t stride) {
    return origin + static_cast<ptrdiff_t>(row) * stride + column;
}
inline Pixel* PixelAt(Pixel* origin, int32_t row, int32_t column, int32_t stride) {
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
// A stream's matrix entries are 8 bits wide: the largest it carries.
constexpr int32_t kMaxStreamMatrixEntry = 255;
constexpr size_t kMatrixBytes = kMatrixEntries * sizeof(int32_t);

// The standard's default intra matrix, natural order.
extern const int32_t kDefaultIntraMatrix[kMatrixEntries];

// The AC entries of a matrix above a limit (the DC weight, entry 0, is
// never used for intra blocks): how many, and the first in natural order
// (-1 when there is none).
struct EntriesAbove {
    int32_t count = 0;
    int32_t first = -1;
};
EntriesAbove AcEntriesAbove(const int32_t matrix[kMatrixEntries], int32_t limit);

// How a frame is coded: the quantiser scale code (1..31; the coder clamps
// any other value into that range), its mapping to a scale, the coefficient
// scan, frame or field DCT, and the coding model (the filter's own unless
// a face picks an encoder's).
struct CodingSettings {
    int32_t scaleCode = 1;
    bool nonLinearScale = false;
    bool alternateScan = false;
    bool interlacedDct = false;
    CodingModel model{};
};

}  // namespace vardelk
