#include "codec/macroblock_progressive.h"

#include <algorithm>
#include <cstddef>

#include "codec/sample_scale.h"

namespace vardelk {
namespace {

// Quadrant origins (row, column) of Y0, Y1, Y2, Y3.
constexpr int32_t kQuadrantRow[4] = {0, 0, 8, 8};
constexpr int32_t kQuadrantColumn[4] = {0, 8, 0, 8};

// The part of luma quadrant b inside a w x h macroblock; empty when either
// side is 0 or less.
struct QuadrantExtent {
    int32_t width;
    int32_t height;
    bool Empty() const { return width <= 0 || height <= 0; }
};

QuadrantExtent LumaQuadrant(int b, int32_t w, int32_t h) {
    return {std::min(8, w - kQuadrantColumn[b]), std::min(8, h - kQuadrantRow[b])};
}

}  // namespace

void GatherLumaBlock(const Pixel* source, int32_t block[64], int32_t width, int32_t height, int32_t stride) {
    for (int32_t i = 0; i < height; ++i)
        for (int32_t j = 0; j < width; ++j) block[i * 8 + j] = ToSample(PixelAt(source, i, j, stride)->y);
}

void ScatterLumaBlock(const int32_t block[64], Pixel* destination, int32_t width, int32_t height, int32_t stride) {
    for (int32_t i = 0; i < height; ++i)
        for (int32_t j = 0; j < width; ++j) PixelAt(destination, i, j, stride)->y = ToComponent(block[i * 8 + j]);
}

// Each chroma entry is the mean of the two vertically adjacent pixels in
// the left column of its 2x2 square, at 1/16 scale, rounded down.
void GatherChromaBlocks(const Pixel* source, int32_t cbBlock[128], int32_t columns, int32_t rows, int32_t stride) {
    int32_t* crBlock = cbBlock + 64;
    for (int32_t i = 0; i < rows; ++i) {
        for (int32_t j = 0; j < columns; ++j) {
            const Pixel* upper = PixelAt(source, 2 * i, 2 * j, stride);
            const Pixel* lower = upper + stride;
            cbBlock[i * 8 + j] = (int32_t{upper->cb} + lower->cb) >> 5;
            crBlock[i * 8 + j] = (int32_t{upper->cr} + lower->cr) >> 5;
        }
    }
}

// Each chroma entry covers its whole 2x2 square, cut at the picture edge.
void ScatterChromaBlocks(const int32_t cbBlock[128], Pixel* destination, int32_t width, int32_t height,
                         int32_t stride) {
    const int32_t* crBlock = cbBlock + 64;
    for (int32_t m = 0; m < height; ++m) {
        for (int32_t n = 0; n < width; ++n) {
            Pixel* pixel = PixelAt(destination, m, n, stride);
            const int32_t entry = (m / 2) * 8 + n / 2;
            pixel->cb = ToComponent(cbBlock[entry]);
            pixel->cr = ToComponent(crBlock[entry]);
        }
    }
}

void GatherMacroblockProgressive(const Pixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                 int32_t remainingHeight, int32_t stride) {
    const int32_t w = InsideExtent(remainingWidth);
    const int32_t h = InsideExtent(remainingHeight);
    for (int b = 0; b < 4; ++b) {
        const QuadrantExtent q = LumaQuadrant(b, w, h);
        if (q.Empty()) continue;
        const Pixel* origin = PixelAt(source, kQuadrantRow[b], kQuadrantColumn[b], stride);
        GatherLumaBlock(origin, buffer.Block(b), q.width, q.height, stride);
    }
    GatherChromaBlocks(source, buffer.Block(kCbBlock), w / 2, h / 2, stride);
}

void ScatterMacroblockProgressive(const MacroblockBuffer& buffer, Pixel* destination, int32_t remainingWidth,
                                  int32_t remainingHeight, int32_t stride) {
    const int32_t w = InsideExtent(remainingWidth);
    const int32_t h = InsideExtent(remainingHeight);
    for (int b = 0; b < 4; ++b) {
        const QuadrantExtent q = LumaQuadrant(b, w, h);
        if (q.Empty()) continue;
        Pixel* origin = PixelAt(destination, kQuadrantRow[b], kQuadrantColumn[b], stride);
        ScatterLumaBlock(buffer.Block(b), origin, q.width, q.height, stride);
    }
    ScatterChromaBlocks(buffer.Block(kCbBlock), destination, w, h, stride);
}

}  // namespace vardelk
