// The kernels of the Butteraugli distance (quality/butteraugli.h), one table
// per set of CPU flags, filled by the codec's mechanism
// (codec/kernels/dispatch.h) from butteraugli_kernels_plain.cpp, _sse2.cpp
// and _avx2.cpp. Every entry gives exactly the plain entry's result, bit for
// bit: the vector builds run the plain arithmetic lane by lane in the same
// order, and these files are compiled without contracting a multiply and an
// add into one rounding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/kernels/dispatch.h"

namespace vardelk {
namespace butteraugli {

// A Gaussian truncated at 2.25 sigma: `size` = 2 half + 1 taps, the
// unnormalised weights (exp(-i^2 / (2 sigma^2)) as floats) and, for the
// samples whose window lies inside the picture, the weights of the centre
// and the left half divided by their float sum.
constexpr int32_t kMaxBlurTaps = 33;
struct BlurKernel {
    int32_t size;
    int32_t half;
    float weight[kMaxBlurTaps];
    float scaled[kMaxBlurTaps / 2 + 1];
};

// Output x of a line whose window lies inside it: the pairs
// (in[x - half + j] + in[x + half - j]) scaled[j], j < half, summed into
// four partial sums by j % 4 (the first of each assigned, the rest added in
// the order of j), then centre in[x] scaled[half] + sum0 + sum1 + sum2 +
// sum3 from the left.
//
// Along a row: outputs [half, width - half) of a row of `width` samples.
using BlurRowFunction = void (*)(const float* in, float* out, int32_t width, const BlurKernel& kernel);
// Down the columns: one output row from the `size` rows starting at `in`
// (the window's top), rows `stride` samples apart.
using BlurColumnsFunction = void (*)(const float* in, ptrdiff_t stride, float* out, int32_t width,
                                     const BlurKernel& kernel);

// The Malta line filters: 16 lines through the pixel, of 9 or 7 taps (the
// high-frequency form) or 5 (the low-frequency form), each line's sum of
// the differences squared, added over the lines in a fixed order
// (butteraugli_kernels_plain.cpp has the lines and the grouping of each
// sum). For pixels [from, to) of a row at least 4 pixels from every edge,
// acc[x] += the filters at diffs[x] (rows `stride` samples apart).
enum class MaltaForm { kHigh, kLow };
using MaltaRowFunction = void (*)(const float* diffs, ptrdiff_t stride, float* acc, int32_t from, int32_t to,
                                  MaltaForm form);

struct KernelTable {
    BlurRowFunction blurRow;
    BlurColumnsFunction blurColumns;
    MaltaRowFunction maltaRow;
};

inline const KernelTable& KernelTableFor(uint32_t cpuFlags) { return KernelTableOf<KernelTable>(cpuFlags); }

void FillPlainKernels(KernelTable& table);
void FillSse2Kernels(KernelTable& table);
void FillAvx2Kernels(KernelTable& table);

// The filters at one pixel, the window read at d (rows xs samples apart).
float MaltaUnit(const float* d, ptrdiff_t xs, MaltaForm form);

}  // namespace butteraugli
}  // namespace vardelk
