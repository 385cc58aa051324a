// The media kernels, one table per set of CPU flags in the manner of the
// codec's (codec/fast/kernel_table.h): the YC conversions both ways and the
// sum of squared differences under PSNR. Filled first with the plain
// builds, then overwritten by each instruction set the flags allow, in
// rising order; every entry gives exactly its plain counterpart's result.
// Y4mToYc, YcToY4m and ComparePlanes take the table of ActiveCpuFlags().
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/types.h"
#include "media/y4m.h"

namespace vardelk {
namespace media {

// The planes are luma, Cb, Cr, sized for the format (the chroma ones unused
// for mono); the picture's rows in `pixels` are `stride` pixels apart.
using ToYcFunction = void (*)(const Y4mFormat& format, const uint8_t* const planes[3], YcPixel* pixels, int32_t stride);
using ToY4mFunction = void (*)(const Y4mFormat& format, const YcPixel* pixels, int32_t stride,
                               uint8_t* const planes[3]);
// The sum over i < size of (a[i] - b[i])^2.
using SquaredErrorFunction = uint64_t (*)(const uint8_t* a, const uint8_t* b, size_t size);

struct KernelTable {
    ToYcFunction toYc;
    ToY4mFunction toY4m;
    SquaredErrorFunction squaredError;
};

// The table for these flags (bits beyond kAllCpuFlags ignored), filled once
// on first use.
const KernelTable& KernelTableFor(uint32_t cpuFlags);

#define VARDELK_DECLARE_MEDIA_KERNELS                                                                       \
    void Y4mToYc(const Y4mFormat& format, const uint8_t* const planes[3], YcPixel* pixels, int32_t stride); \
    void YcToY4m(const Y4mFormat& format, const YcPixel* pixels, int32_t stride, uint8_t* const planes[3]); \
    uint64_t SquaredError(const uint8_t* a, const uint8_t* b, size_t size);
namespace plain {
VARDELK_DECLARE_MEDIA_KERNELS
}  // namespace plain
namespace sse2 {
VARDELK_DECLARE_MEDIA_KERNELS
}  // namespace sse2
namespace avx2 {
VARDELK_DECLARE_MEDIA_KERNELS
}  // namespace avx2
#undef VARDELK_DECLARE_MEDIA_KERNELS

}  // namespace media
}  // namespace vardelk
