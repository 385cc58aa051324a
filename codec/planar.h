// Frames as 8-bit 4:2:0 planes: luma at full size, Cb and Cr at half the
// width and height rounded up, each plane row-major with its own pitch. The
// codec reads and writes them directly, giving exactly what a round trip
// through the host's YC frames gives: samples in at x16 (chroma offset by
// -128, each chroma sample copied to the 2x2 pixels it covers), coded, and
// back to 8 bits with each chroma sample the rounded mean of the pixels it
// covers.
//
// What that round trip amounts to, per macroblock:
// - luma: the block sample is the 8-bit value; a reconstructed sample v
//   (-256..255) comes back as clamp(v, 0, 255).
// - progressive chroma: the mean of two equal values is the 8-bit value less
//   128; the pixels a plane sample covers all hold the same block entry v,
//   so it comes back as clamp(v + 128, 0, 255).
// - interlaced chroma: a block row takes one field, (3 a + b + 2) >> 6 or
//   (a + 3 b + 2) >> 6 of x16 values (with the stand-ins below the picture),
//   computed here on the same x16 values. A plane sample covers one pixel
//   row of each field, entries t (top) and b (bottom), so it comes back as
//   clamp(((t + b + 1) >> 1) + 128, 0, 255), or clamp(t + 128, 0, 255) when
//   only its top row lies inside the picture.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/types.h"

namespace vardelk {

// Three planes with their pitches in bytes (Cb and Cr share one).
template <typename Sample>
struct Planes {
    Sample* y = nullptr;
    Sample* cb = nullptr;
    Sample* cr = nullptr;
    int32_t lumaStride = 0;
    int32_t chromaStride = 0;

    // The same planes moved to the macroblock whose top-left luma pixel is (row, column); both even.
    Planes At(int32_t row, int32_t column) const {
        const ptrdiff_t chroma = ptrdiff_t{row / 2} * chromaStride + column / 2;
        return Planes{y + ptrdiff_t{row} * lumaStride + column, cb + chroma, cr + chroma, lumaStride, chromaStride};
    }
};
using PlanarInput = Planes<const uint8_t>;
using PlanarOutput = Planes<uint8_t>;

// Planes pointing at the macroblock; remainingWidth/Height as for the YC
// gathers (anything above 16 is a whole macroblock). Only the part inside
// the picture is read or written; the gathers leave the rest of the buffer
// as it was.
void GatherPlanarProgressive(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,
                             int32_t remainingHeight);
void ScatterPlanarProgressive(const MacroblockBuffer& buffer, const PlanarOutput& destination, int32_t remainingWidth,
                              int32_t remainingHeight);
void GatherPlanarInterlaced(const PlanarInput& source, MacroblockBuffer& buffer, int32_t remainingWidth,
                            int32_t remainingHeight);
void ScatterPlanarInterlaced(const MacroblockBuffer& buffer, const PlanarOutput& destination, int32_t remainingWidth,
                             int32_t remainingHeight);

// A reconstructed sample as an 8-bit luma value or chroma value.
inline uint8_t LumaOut(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }
inline uint8_t ChromaOut(int32_t v) { return LumaOut(v + 128); }

}  // namespace vardelk
