#include <algorithm>
#include <cstddef>

#include "codec/planar.h"
#include "codec/sample_scale.h"

namespace vardelk {
namespace {

template <typename Sample>
Sample* Row(Sample* plane, int32_t row, int32_t stride) {
    return plane + ptrdiff_t{row} * stride;
}

// Luma pixel (m, n) of a macroblock in the block buffer: progressive order
// puts the four quadrants in Y0..Y3, field order the even rows in Y0/Y1 and
// the odd ones in Y2/Y3.
int32_t& ProgressiveLuma(MacroblockBuffer& buffer, int32_t m, int32_t n) {
    return buffer.Block((m / 8) * 2 + n / 8)[(m % 8) * 8 + n % 8];
}
int32_t& InterlacedLuma(MacroblockBuffer& buffer, int32_t m, int32_t n) {
    return buffer.Block((m % 2) * 2 + n / 8)[(m / 2) * 8 + n % 8];
}
int32_t ProgressiveLuma(const MacroblockBuffer& buffer, int32_t m, int32_t n) {
    return buffer.Block((m / 8) * 2 + n / 8)[(m % 8) * 8 + n % 8];
}
int32_t InterlacedLuma(const MacroblockBuffer& buffer, int32_t m, int32_t n) {
    return buffer.Block((m % 2) * 2 + n / 8)[(m / 2) * 8 + n % 8];
}

// A chroma sample as the host holds it: offset and at x16.
int32_t HostChroma(uint8_t sample) { return (sample - 128) * 16; }

// One field-chroma column of a macroblock from the plane, with the rows
// below the picture stood in for as the YC gather does: a missing upper
// line of the bottom field is 0, a missing lower line repeats its field's
// upper line. Luma rows 2k and 2k + 1 both hold plane row k.
void GatherFieldChroma(const uint8_t* plane, int32_t stride, int32_t block[64], int32_t columns, int32_t height) {
    const int32_t groups = (height + 3) / 4;
    for (int32_t g = 0; g < groups; ++g) {
        const uint8_t* upper = Row(plane, 2 * g, stride);
        const uint8_t* lower = 4 * g + 2 < height ? Row(plane, 2 * g + 1, stride) : upper;
        for (int32_t j = 0; j < columns; ++j) {
            const int32_t t0 = HostChroma(upper[j]);
            const int32_t b0 = 4 * g + 1 < height ? t0 : 0;
            const int32_t t1 = 4 * g + 2 < height ? HostChroma(lower[j]) : t0;
            const int32_t b1 = 4 * g + 3 < height ? HostChroma(lower[j]) : b0;
            block[(2 * g) * 8 + j] = (3 * t0 + t1 + 2) >> 6;
            block[(2 * g + 1) * 8 + j] = (b0 + 3 * b1 + 2) >> 6;
        }
    }
}

}  // namespace

void GatherPlanarProgressive(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,
                             int32_t remainingHeight) {
    const int32_t w = InsideExtent(remainingWidth);
    const int32_t h = InsideExtent(remainingHeight);
    for (int32_t m = 0; m < h; ++m) {
        const uint8_t* luma = Row(source.y, m, source.lumaStride);
        for (int32_t n = 0; n < w; ++n) ProgressiveLuma(buffer, m, n) = luma[n];
    }
    // Only whole 2x2 squares feed chroma; the host's mean of two equal
    // pixels is the sample itself.
    for (int32_t i = 0; i < h / 2; ++i) {
        const uint8_t* cb = Row(source.cb, i, source.chromaStride);
        const uint8_t* cr = Row(source.cr, i, source.chromaStride);
        for (int32_t j = 0; j < w / 2; ++j) {
            buffer.Block(kCbBlock)[i * 8 + j] = cb[j] - 128;
            buffer.Block(kCrBlock)[i * 8 + j] = cr[j] - 128;
        }
    }
}

void ScatterPlanarProgressive(const MacroblockBuffer& buffer, const PlanarOutput& destination, int32_t remainingWidth,
                              int32_t remainingHeight) {
    const int32_t w = InsideExtent(remainingWidth);
    const int32_t h = InsideExtent(remainingHeight);
    for (int32_t m = 0; m < h; ++m) {
        uint8_t* luma = Row(destination.y, m, destination.lumaStride);
        for (int32_t n = 0; n < w; ++n) luma[n] = LumaOut(ProgressiveLuma(buffer, m, n));
    }
    for (int32_t i = 0; i < (h + 1) / 2; ++i) {
        uint8_t* cb = Row(destination.cb, i, destination.chromaStride);
        uint8_t* cr = Row(destination.cr, i, destination.chromaStride);
        for (int32_t j = 0; j < (w + 1) / 2; ++j) {
            cb[j] = ChromaOut(buffer.Block(kCbBlock)[i * 8 + j]);
            cr[j] = ChromaOut(buffer.Block(kCrBlock)[i * 8 + j]);
        }
    }
}

void GatherPlanarInterlaced(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,
                            int32_t remainingHeight) {
    const int32_t w = InsideExtent(remainingWidth);
    const int32_t h = InsideExtent(remainingHeight);
    for (int32_t m = 0; m < h; ++m) {
        const uint8_t* luma = Row(source.y, m, source.lumaStride);
        for (int32_t n = 0; n < w; ++n) InterlacedLuma(buffer, m, n) = luma[n];
    }
    // Half the width rounded up: an odd last column still feeds chroma.
    const int32_t columns = std::min(8, (w + 1) / 2);
    GatherFieldChroma(source.cb, source.chromaStride, buffer.Block(kCbBlock), columns, h);
    GatherFieldChroma(source.cr, source.chromaStride, buffer.Block(kCrBlock), columns, h);
}

// Plane row k covers luma rows 2k and 2k + 1, one of each field: block rows
// 2 (k / 2) (top) and 2 (k / 2) + 1 (bottom).
void ScatterPlanarInterlaced(const MacroblockBuffer& buffer, const PlanarOutput& destination, int32_t remainingWidth,
                             int32_t remainingHeight) {
    const int32_t w = InsideExtent(remainingWidth);
    const int32_t h = InsideExtent(remainingHeight);
    for (int32_t m = 0; m < h; ++m) {
        uint8_t* luma = Row(destination.y, m, destination.lumaStride);
        for (int32_t n = 0; n < w; ++n) luma[n] = LumaOut(InterlacedLuma(buffer, m, n));
    }
    for (int32_t k = 0; k < (h + 1) / 2; ++k) {
        const int32_t top = 2 * (k / 2) * 8;
        const bool bothFields = 2 * k + 1 < h;
        uint8_t* cb = Row(destination.cb, k, destination.chromaStride);
        uint8_t* cr = Row(destination.cr, k, destination.chromaStride);
        const auto mean = [&](const int32_t* block, int32_t j) {
            return bothFields ? (block[top + j] + block[top + 8 + j] + 1) >> 1 : block[top + j];
        };
        for (int32_t j = 0; j < (w + 1) / 2; ++j) {
            cb[j] = ChromaOut(mean(buffer.Block(kCbBlock), j));
            cr[j] = ChromaOut(mean(buffer.Block(kCrBlock), j));
        }
    }
}

}  // namespace vardelk
