// Conversion between 8-bit Y4M planes and the coder's pixels.
//
// Into YC: Y = y8 * 16, Cb = (cb8 - 128) * 16, Cr = (cr8 - 128) * 16. A
// subsampled chroma sample is copied to every pixel it covers (4:2:0: a 2x2
// square, 4:2:2: a horizontal pair), whatever siting the header states; mono
// gives Cb = Cr = 0.
//
// Back to 8 bits: y8 = round(Y / 16) and c8 = round(C / 16) + 128, halves
// rounded up, then clamped to 0..255. A subsampled chroma sample becomes the
// rounded mean of the pixels it covers (fewer at an odd right or bottom edge),
// so a frame converted in and straight back is unchanged. Mono drops chroma.
#pragma once

#include <cstdint>

#include "codec/cpu.h"
#include "codec/types.h"
#include "media/y4m.h"

namespace vardelk {

// Both run the kernels of cpuFlags (CpuFlag bits this CPU runs); every
// build gives the same result.
// Writes the picture into the top-left width x height of `pixels`, whose
// rows are `stride` pixels apart.
void Y4mToYc(const Y4mFormat& format, const Y4mFrame& frame, Pixel* pixels, int32_t stride,
             uint32_t cpuFlags = DetectedCpuFlags());

// Reads the top-left width x height of `pixels` into `frame` (allocated here
// for the format when needed).
void YcToY4m(const Y4mFormat& format, const Pixel* pixels, int32_t stride, Y4mFrame& frame,
             uint32_t cpuFlags = DetectedCpuFlags());

// The same two conversions written per pixel with the general formulas,
// kept as the reference the fast ones above (the builds of
// media/kernel_table.h) are tested against.
void Y4mToYcReference(const Y4mFormat& format, const Y4mFrame& frame, Pixel* pixels, int32_t stride);
void YcToY4mReference(const Y4mFormat& format, const Pixel* pixels, int32_t stride, Y4mFrame& frame);

// One YC component back to an 8-bit sample: luma, or chroma with its offset.
uint8_t YcToSample(int32_t value);
uint8_t YcToChromaSample(int32_t value);

}  // namespace vardelk
