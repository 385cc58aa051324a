// The pictures the lab page shows, as RGBA for a canvas: a 4:4:4 frame back
// to RGB, the difference of two of those, and the bits of every macroblock
// or their loss of SSIM as heat maps over a faint grey copy of the input.
// They are the command's comparison panels (media/comparison_views.h), pixel
// for pixel, in the page's pixel layout.
#pragma once

#include <cstdint>

#include "media/y4m.h"

namespace vardelk {

// width x height pixels of a 4:4:4 frame into rgba (4 bytes a pixel, opaque).
void FrameToRgba(const Y4mFrame& frame, int32_t width, int32_t height, uint8_t* rgba);

// 128 + gain x (test - reference) per colour, clamped; pixels counts both.
void DifferenceRgba(const uint8_t* reference, const uint8_t* test, int32_t pixels, int32_t gain, uint8_t* rgba);

// Every macroblock coloured by its share of the largest macroblock's bits
// (black, blue, red, yellow, white), a quarter of the input's grey showing
// through. input is the input view in RGBA.
void HeatMapRgba(const uint8_t* input, int32_t width, int32_t height, const int32_t* macroblockBits,
                 int32_t macroblockColumns, uint8_t* rgba);

// Every macroblock coloured by its loss of SSIM, 1 - SSIM, as a share of the
// worst macroblock's, on the same ramp; macroblocks without a value (NaN)
// are grey. Returns the worst macroblock's SSIM (1 when none has a value).
double SsimMapRgba(const uint8_t* input, int32_t width, int32_t height, const double* macroblockSsim,
                   int32_t macroblockColumns, uint8_t* rgba);

}  // namespace vardelk
