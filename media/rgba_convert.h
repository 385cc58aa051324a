// RGBA pixels to and from 8-bit Y'CbCr planes, giving exactly the samples
// of media/rgb_convert.h's RgbToFrame and FrameToRgb (proven over every one
// of the 2^24 inputs each way in tests/frei0r). Besides 4:4:4 planes, rows
// go straight to and from 4:2:0 planes whose chroma is what the codec's
// gather makes of a 4:4:4 frame, and what its scatter's chroma comes back
// as. A table of the conversions per set of CPU flags, filled by the
// kernels' mechanism (codec/kernels/dispatch.h): the plain family is integer
// loops the compiler vectorises (rgba_convert_body.h has the arithmetic,
// rgba_convert.cpp builds them), the SSE2 and AVX2 families hand-written
// vector loops with the same arithmetic (rgba_convert_sse2.cpp,
// rgba_convert_avx2.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/kernels/dispatch.h"

namespace vardelk {

// `count` pixels: RGBA (alpha ignored) into the three planes.
using RgbaToPlanesFunction = void (*)(const uint8_t* rgba, size_t count, uint8_t* y, uint8_t* cb, uint8_t* cr);
// `count` pixels from the planes into RGBA; alpha is left as it is.
using PlanesToRgbaFunction = void (*)(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, size_t count,
                                      uint8_t* rgba);
// Two RGBA rows of `width` pixels (`lower` may be `upper`) into their luma
// rows and one row of (width + 1) / 2 chroma samples: at each even column,
// the mean of the two rows' samples rounded down.
using RgbaRowsTo420Function = void (*)(const uint8_t* upper, const uint8_t* lower, size_t width, uint8_t* yUpper,
                                       uint8_t* yLower, uint8_t* cb, uint8_t* cr);
// Two luma rows of `width` pixels with their chroma row (a sample per two
// pixels) into two RGBA rows, each with the alpha of the matching row
// `alphaUpper` or `alphaLower` (the output row itself, or a row that
// overlaps no output row); `yLower` null for the upper row alone.
using Rows420ToRgbaFunction = void (*)(const uint8_t* yUpper, const uint8_t* yLower, const uint8_t* cb,
                                       const uint8_t* cr, size_t width, const uint8_t* alphaUpper,
                                       const uint8_t* alphaLower, uint8_t* upper, uint8_t* lower);

struct RgbaConversions {
    RgbaToPlanesFunction toPlanes;
    PlanesToRgbaFunction toRgba;
    RgbaRowsTo420Function rowsTo420;
    Rows420ToRgbaFunction rows420ToRgba;
};

// The table of these CPU flags (codec/cpu.h), capped by what this CPU runs.
const RgbaConversions& RgbaConversionsFor(uint32_t cpuFlags);

// The families' fillers (found by the mechanism through the table's type).
void FillPlainKernels(RgbaConversions& table);
void FillSse2Kernels(RgbaConversions& table);
void FillAvx2Kernels(RgbaConversions& table);

// The chroma terms of the inverse conversion (rgba_convert_body.h), each
// base | t << 16: red by Cr, blue by Cb, green by Cb << 8 | Cr. Built once.
struct ChromaTermTables {
    uint32_t red[256], blue[256], green[65536];
};
const ChromaTermTables& ChromaTerms();
// Media's luma of one pixel, for the few exact halves.
uint8_t ReferenceLuma(int32_t r, int32_t g, int32_t b);

}  // namespace vardelk
