#include "codec/macroblock_edges.h"

#include <algorithm>

namespace vardelk {
namespace {

// Luma pixel (m, n) of the macroblock in the buffer: progressive blocks are
// its quadrants, field blocks hold the even rows (Y0, Y1) and the odd ones.
int32_t& Luma(MacroblockBuffer& buffer, bool fieldDct, int32_t m, int32_t n) {
    if (fieldDct) return buffer.Block((m % 2) * 2 + n / 8)[(m / 2) * 8 + n % 8];
    return buffer.Block((m / 8) * 2 + n / 8)[(m % 8) * 8 + n % 8];
}

void ExtendBlock(int32_t block[64], int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return;
    for (int32_t i = 0; i < 8; ++i)
        for (int32_t j = 0; j < 8; ++j)
            if (i >= height || j >= width)
                block[i * 8 + j] = block[std::min(i, height - 1) * 8 + std::min(j, width - 1)];
}

}  // namespace

void ExtendPartialMacroblock(MacroblockBuffer& buffer, int32_t insideWidth, int32_t insideHeight, bool fieldDct,
                             int32_t chromaWidth, int32_t chromaHeight) {
    const int32_t w = std::clamp(insideWidth, int32_t{1}, int32_t{16});
    const int32_t h = std::clamp(insideHeight, int32_t{1}, int32_t{16});
    // Rows in order, then columns: every sample copied is already final.
    for (int32_t m = 0; m < 16; ++m)
        for (int32_t n = 0; n < 16; ++n)
            if (m >= h || n >= w)
                Luma(buffer, fieldDct, m, n) = Luma(buffer, fieldDct, std::min(m, h - 1), std::min(n, w - 1));
    ExtendBlock(buffer.Block(kCbBlock), std::min(chromaWidth, int32_t{8}), std::min(chromaHeight, int32_t{8}));
    ExtendBlock(buffer.Block(kCrBlock), std::min(chromaWidth, int32_t{8}), std::min(chromaHeight, int32_t{8}));
}

}  // namespace vardelk
