// The blurs of the Butteraugli distance over whole planes (row-major,
// `width` samples a row), spread over threads by bands of rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "quality/butteraugli_kernels.h"

namespace vardelk {
namespace butteraugli {

// The truncated Gaussian of this sigma (2.25 sigma, at least one tap each
// side), its weights exp(-i^2 / (2 sigma^2)) computed in double.
BlurKernel GaussianKernel(float sigma);

// Along the rows into `temp`, then down the columns into `out` (which may
// be `in`). Where the window leaves the plane, the taps inside it are
// summed with their unnormalised weights and divided by the sum of those
// weights.
void GaussianBlur(const float* in, float* out, float* temp, int32_t width, int32_t height, const BlurKernel& kernel,
                  const KernelTable& k, int32_t threads);

// The 5x5 Gaussian of sigma 1.2 with mirrored edges (sample -1 is sample 0,
// -2 is 1): along the row c w0 + (l1 + r1) w1 + (l2 + r2) w2, then down the
// column the same of the row results. Rows [first, end) of the blur of a
// plane of `height` rows (`inStride` samples apart) into `out` (rows
// `width` apart); `rows` holds end - first + 4 rows of `width` samples.
void MirroredBlur5(const float* in, ptrdiff_t inStride, int32_t width, int32_t height, int32_t first, int32_t end,
                   float* rows, float* out);

// Runs body(first, end) over bands of rows of [0, rows).
void ForRowBands(int32_t threads, int32_t rows, const std::function<void(int32_t, int32_t)>& body);

}  // namespace butteraugli
}  // namespace vardelk
