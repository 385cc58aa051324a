// The pictures that show a person how a reconstruction differs from its
// input: the difference amplified about mid grey, and heat maps of a figure
// per macroblock. The command's comparison picture and the lab's canvases
// both draw them here, in packed 8-bit pixels of pixelBytes bytes each: RGB
// (3), or RGBA (4) with the alpha written opaque.
//
// A heat map gives every 16x16 macroblock one colour on a ramp from black
// through blue, red and yellow to white, laid at three quarters over a
// quarter of the input's grey, so the picture still shows through.
#pragma once

#include <cstddef>
#include <cstdint>

#include "media/rgb_convert.h"

namespace vardelk {

// A share 0..1 of the largest value (clamped) on the ramp.
RgbColour HeatColour(double share);

// 128 + gain x (test - reference) per colour, clamped.
void DrawDifference(const uint8_t* reference, const uint8_t* test, size_t pixels, int32_t pixelBytes, int32_t gain,
                    uint8_t* out);

// Every macroblock coloured by its bits as a share of the largest
// macroblock's. macroblockBits holds macroblockColumns x
// MacroblockRows(height) values, row-major. Returns the largest (at least 1),
// the top of the colour scale.
int32_t DrawBitsHeatMap(const uint8_t* input, int32_t width, int32_t height, int32_t pixelBytes,
                        const int32_t* macroblockBits, int32_t macroblockColumns, uint8_t* out);

// Every macroblock coloured by its loss of SSIM, 1 - SSIM, as a share of the
// worst macroblock's; macroblocks without a value (NaN) are grey. Laid out as
// the bits are. Returns the worst SSIM (1 when none has a value).
double DrawSsimHeatMap(const uint8_t* input, int32_t width, int32_t height, int32_t pixelBytes,
                       const double* macroblockSsim, int32_t macroblockColumns, uint8_t* out);

}  // namespace vardelk
