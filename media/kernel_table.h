// The media kernels, one table per set of CPU flags, filled by the codec's
// mechanism (codec/kernels/dispatch.h) from the families in
// kernels_plain.cpp, kernels_sse2.cpp and kernels_avx2.cpp: the YC
// conversions both ways and the sum of squared differences under PSNR.
// Every entry gives exactly the plain entry's result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/kernels/dispatch.h"
#include "codec/types.h"
#include "media/y4m.h"

namespace vardelk {
namespace media {

// The planes are luma, Cb, Cr, sized for the format (the chroma ones unused
// for mono); the picture's rows in `pixels` are `stride` pixels apart.
using ToYcFunction = void (*)(const Y4mFormat& format, const uint8_t* const planes[3], Pixel* pixels, int32_t stride);
using ToY4mFunction = void (*)(const Y4mFormat& format, const Pixel* pixels, int32_t stride, uint8_t* const planes[3]);
// The sum over i < size of (a[i] - b[i])^2.
using SquaredErrorFunction = uint64_t (*)(const uint8_t* a, const uint8_t* b, size_t size);

struct KernelTable {
    ToYcFunction toYc;
    ToY4mFunction toY4m;
    SquaredErrorFunction squaredError;
};

// The table for these flags (bits beyond kAllCpuFlags ignored); it lives as
// long as the process.
inline const KernelTable& KernelTableFor(uint32_t cpuFlags) { return KernelTableOf<KernelTable>(cpuFlags); }

// The families' fillers, one file each.
void FillPlainKernels(KernelTable& table);
void FillSse2Kernels(KernelTable& table);
void FillAvx2Kernels(KernelTable& table);

// The plain squared error, which the vector builds take for the samples
// after their last whole vector.
uint64_t PlainSquaredError(const uint8_t* a, const uint8_t* b, size_t size);

}  // namespace media
}  // namespace vardelk
