// RGBA pixels to and from 8-bit Y'CbCr planes, giving exactly the samples
// of media/rgb_convert.h's RgbToFrame and FrameToRgb (proven over every one
// of the 2^24 inputs each way in tests/frei0r), in integer loops the
// compiler vectorises (rgba_convert_body.h has the arithmetic). Besides
// 4:4:4 planes, rows go straight to and from 4:2:0 planes whose chroma is
// what the codec's gather makes of a 4:4:4 frame, and what its scatter's
// chroma comes back as. The AVX2 build runs where the CPU flags allow it.
#pragma once

#include <cstddef>
#include <cstdint>

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

// The fastest build these CPU flags (codec/cpu.h) allow.
const RgbaConversions& RgbaConversionsFor(uint32_t cpuFlags);
// Each build, for the tests: the portable one, and AVX2 (null without it).
const RgbaConversions& PortableRgbaConversions();
const RgbaConversions* Avx2RgbaConversions();

// The chroma terms of the inverse conversion (rgba_convert_body.h), each
// base | t << 16: red by Cr, blue by Cb, green by Cb << 8 | Cr. Built once.
struct ChromaTermTables {
    uint32_t red[256], blue[256], green[65536];
};
const ChromaTermTables& ChromaTerms();
// Media's luma of one pixel, for the few exact halves.
uint8_t ReferenceLuma(int32_t r, int32_t g, int32_t b);

}  // namespace vardelk
