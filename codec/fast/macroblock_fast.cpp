// Gather and scatter of whole macroblocks with fixed loop bounds, row by
// row through the frame; partial macroblocks at the picture's right and
// bottom edges go to the plain operations, which handle the clipping.
// The values written are those of macroblock_progressive.cpp and
// macroblock_interlaced.cpp; only the order of the reads and writes differs.
#include <cstddef>

#include "codec/fast/fast_kernels.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/sample_scale.h"

namespace vardelk {
namespace fast {
namespace {

constexpr int32_t kWhole = 16;

bool IsWhole(int32_t remainingWidth, int32_t remainingHeight) {
    return remainingWidth >= kWhole && remainingHeight >= kWhole;
}

const YcPixel* Row(const YcPixel* origin, int32_t m, int32_t stride) {
    return origin + static_cast<ptrdiff_t>(m) * stride;
}
YcPixel* Row(YcPixel* origin, int32_t m, int32_t stride) { return origin + static_cast<ptrdiff_t>(m) * stride; }

// Sixteen luma samples of one frame row into two block rows (left, right).
inline void GatherLumaRow(const YcPixel* row, int32_t* left, int32_t* right) {
    for (int n = 0; n < 8; ++n) left[n] = ToSample(row[n].y);
    for (int n = 0; n < 8; ++n) right[n] = ToSample(row[8 + n].y);
}

// One frame row from two luma block rows and one row of each chroma block;
// every chroma entry covers two neighbouring pixels.
inline void ScatterRow(const int32_t* left, const int32_t* right, const int32_t* cb, const int32_t* cr,
                       YcPixel* row) {
    for (int n = 0; n < 16; ++n) {
        const int32_t luma = n < 8 ? left[n] : right[n - 8];
        row[n] = YcPixel{ToComponent(luma), ToComponent(cb[n / 2]), ToComponent(cr[n / 2])};
    }
}

}  // namespace

void GatherMacroblockProgressive(const YcPixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                 int32_t remainingHeight, int32_t stride) {
    if (!IsWhole(remainingWidth, remainingHeight)) {
        vardelk::GatherMacroblockProgressive(source, buffer, remainingWidth, remainingHeight, stride);
        return;
    }
    for (int32_t m = 0; m < 16; ++m) {
        const int top = m < 8 ? 0 : 2;
        GatherLumaRow(Row(source, m, stride), buffer.Block(top) + (m % 8) * 8, buffer.Block(top + 1) + (m % 8) * 8);
    }
    int32_t* cb = buffer.Block(kCbBlock);
    int32_t* cr = buffer.Block(kCrBlock);
    for (int32_t i = 0; i < 8; ++i) {
        const YcPixel* upper = Row(source, 2 * i, stride);
        const YcPixel* lower = upper + stride;
        for (int j = 0; j < 8; ++j) {
            cb[i * 8 + j] = (int32_t{upper[2 * j].cb} + lower[2 * j].cb) >> 5;
            cr[i * 8 + j] = (int32_t{upper[2 * j].cr} + lower[2 * j].cr) >> 5;
        }
    }
}

void ScatterMacroblockProgressive(const MacroblockBuffer& buffer, YcPixel* destination, int32_t remainingWidth,
                                  int32_t remainingHeight, int32_t stride) {
    if (!IsWhole(remainingWidth, remainingHeight)) {
        vardelk::ScatterMacroblockProgressive(buffer, destination, remainingWidth, remainingHeight, stride);
        return;
    }
    for (int32_t m = 0; m < 16; ++m) {
        const int top = m < 8 ? 0 : 2;
        const int32_t lumaRow = (m % 8) * 8;
        const int32_t chromaRow = (m / 2) * 8;
        ScatterRow(buffer.Block(top) + lumaRow, buffer.Block(top + 1) + lumaRow,
                   buffer.Block(kCbBlock) + chromaRow, buffer.Block(kCrBlock) + chromaRow,
                   Row(destination, m, stride));
    }
}

// Field order: even rows go to Y0/Y1, odd rows to Y2/Y3, row m to block
// row m / 2. Each group of four rows gives a top-field chroma row,
// (3 x row 4g + row 4g+2 + 2) >> 6, and a bottom-field one,
// (row 4g+1 + 3 x row 4g+3 + 2) >> 6, from the even pixel columns.
void GatherMacroblockInterlaced(const YcPixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                int32_t remainingHeight, int32_t stride) {
    if (!IsWhole(remainingWidth, remainingHeight)) {
        vardelk::GatherMacroblockInterlaced(source, buffer, remainingWidth, remainingHeight, stride);
        return;
    }
    for (int32_t m = 0; m < 16; ++m) {
        const int field = (m % 2) * 2;
        GatherLumaRow(Row(source, m, stride), buffer.Block(field) + (m / 2) * 8,
                      buffer.Block(field + 1) + (m / 2) * 8);
    }
    int32_t* cb = buffer.Block(kCbBlock);
    int32_t* cr = buffer.Block(kCrBlock);
    for (int32_t g = 0; g < 4; ++g) {
        const YcPixel* t0 = Row(source, 4 * g, stride);
        const YcPixel* b0 = t0 + stride;
        const YcPixel* t1 = b0 + stride;
        const YcPixel* b1 = t1 + stride;
        for (int j = 0; j < 8; ++j) {
            const int c = 2 * j;
            cb[(2 * g) * 8 + j] = (3 * int32_t{t0[c].cb} + t1[c].cb + 2) >> 6;
            cb[(2 * g + 1) * 8 + j] = (int32_t{b0[c].cb} + 3 * int32_t{b1[c].cb} + 2) >> 6;
            cr[(2 * g) * 8 + j] = (3 * int32_t{t0[c].cr} + t1[c].cr + 2) >> 6;
            cr[(2 * g + 1) * 8 + j] = (int32_t{b0[c].cr} + 3 * int32_t{b1[c].cr} + 2) >> 6;
        }
    }
}

void ScatterMacroblockInterlaced(const MacroblockBuffer& buffer, YcPixel* destination, int32_t remainingWidth,
                                 int32_t remainingHeight, int32_t stride) {
    if (!IsWhole(remainingWidth, remainingHeight)) {
        vardelk::ScatterMacroblockInterlaced(buffer, destination, remainingWidth, remainingHeight, stride);
        return;
    }
    for (int32_t m = 0; m < 16; ++m) {
        const int field = (m % 2) * 2;
        const int32_t lumaRow = (m / 2) * 8;
        const int32_t chromaRow = (2 * (m / 4) + m % 2) * 8;
        ScatterRow(buffer.Block(field) + lumaRow, buffer.Block(field + 1) + lumaRow,
                   buffer.Block(kCbBlock) + chromaRow, buffer.Block(kCrBlock) + chromaRow,
                   Row(destination, m, stride));
    }
}

}  // namespace fast
}  // namespace vardelk
