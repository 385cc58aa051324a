#include "codec/macroblock_interlaced.h"

#include <algorithm>
#include <cstddef>

#include "codec/sample_scale.h"

namespace vardelk {
namespace {

// Luma block of macroblock pixel (m, n): top field (even m) in Y0/Y1, bottom
// field in Y2/Y3, left half in Y0/Y2, right half in Y1/Y3.
int LumaBlockOf(int32_t m, int32_t n) { return (m % 2) * 2 + (n >= 8 ? 1 : 0); }
int32_t LumaEntryOf(int32_t m, int32_t n) { return (m / 2) * 8 + n % 8; }

// Chroma row of macroblock row m: groups of four rows give a top-field
// entry (rows 4g and 4g + 2) and a bottom-field entry (rows 4g + 1, 4g + 3).
int32_t ChromaRowOf(int32_t m) { return 2 * (m / 4) + m % 2; }

// The four lines of one chroma group at one pixel column, with the lines
// below the picture stood in for: a missing upper line of the bottom field
// is 0, a missing lower line repeats its field's upper line.
struct FieldLines {
    int32_t t0, b0, t1, b1;
};

FieldLines GroupLines(const Pixel* column, int32_t firstRow, int32_t height, int32_t stride,
                      int16_t Pixel::*component) {
    auto line = [&](int32_t row) { return int32_t{PixelAt(column, row, 0, stride)->*component}; };
    FieldLines f;
    f.t0 = line(firstRow);
    f.b0 = firstRow + 1 < height ? line(firstRow + 1) : 0;
    f.t1 = firstRow + 2 < height ? line(firstRow + 2) : f.t0;
    f.b1 = firstRow + 3 < height ? line(firstRow + 3) : f.b0;
    return f;
}

void GatherFieldChroma(const Pixel* source, int32_t block[64], int32_t columns, int32_t height, int32_t stride,
                       int16_t Pixel::*component) {
    const int32_t groups = (height + 3) / 4;
    for (int32_t g = 0; g < groups; ++g) {
        for (int32_t j = 0; j < columns; ++j) {
            const FieldLines f = GroupLines(PixelAt(source, 0, 2 * j, stride), 4 * g, height, stride, component);
            block[(2 * g) * 8 + j] = (3 * f.t0 + f.t1 + 2) >> 6;
            block[(2 * g + 1) * 8 + j] = (f.b0 + 3 * f.b1 + 2) >> 6;
        }
    }
}

}  // namespace

void GatherMacroblockInterlaced(const Pixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                int32_t remainingHeight, int32_t stride) {
    const int32_t w = InsideExtent(remainingWidth);
    const int32_t h = InsideExtent(remainingHeight);
    for (int32_t m = 0; m < h; ++m)
        for (int32_t n = 0; n < w; ++n)
            buffer.Block(LumaBlockOf(m, n))[LumaEntryOf(m, n)] = ToSample(PixelAt(source, m, n, stride)->y);

    // Half the width rounded up: an odd last column still feeds chroma.
    const int32_t columns = std::min(8, (w + 1) / 2);
    GatherFieldChroma(source, buffer.Block(kCbBlock), columns, h, stride, &Pixel::cb);
    GatherFieldChroma(source, buffer.Block(kCrBlock), columns, h, stride, &Pixel::cr);
}

void ScatterMacroblockInterlaced(const MacroblockBuffer& buffer, Pixel* destination, int32_t remainingWidth,
                                 int32_t remainingHeight, int32_t stride) {
    const int32_t w = InsideExtent(remainingWidth);
    const int32_t h = InsideExtent(remainingHeight);
    const int32_t* cb = buffer.Block(kCbBlock);
    const int32_t* cr = buffer.Block(kCrBlock);
    for (int32_t m = 0; m < h; ++m) {
        for (int32_t n = 0; n < w; ++n) {
            Pixel* pixel = PixelAt(destination, m, n, stride);
            const int32_t chroma = ChromaRowOf(m) * 8 + n / 2;
            pixel->y = ToComponent(buffer.Block(LumaBlockOf(m, n))[LumaEntryOf(m, n)]);
            pixel->cb = ToComponent(cb[chroma]);
            pixel->cr = ToComponent(cr[chroma]);
        }
    }
}

}  // namespace vardelk
