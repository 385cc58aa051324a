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
// sum). For pixels [from, to) of a row, acc[x] += the filters at diffs[x]
// (rows `stride` samples apart, at least 4 samples readable on every side).
enum class MaltaForm { kHigh, kLow };

// The Malta filters' input from two bands v0 (original) and v1: the
// difference scaled by gt / (norm + (|v0| + |v1|) / 2), plus an impact of
// lt / (norm + (|v0| + |v1|) / 2) times how far v1, taken on v0's side
// (s = v1, or -v1 for a negative v0), falls below 0.55 |v0| (added) or
// rises above 1.05 |v0| (taken off); the impact's sign follows v0's.
struct MaltaWeights {
    float gt;
    float lt;
    float norm;
};
using MaltaInputFunction = void (*)(const float* v0, const float* v1, float* out, int32_t count,
                                    const MaltaWeights& weights);
using MaltaRowFunction = void (*)(const float* diffs, ptrdiff_t stride, float* acc, int32_t from, int32_t to,
                                  MaltaForm form);

// Opsin dynamics of linear RGB (0..1) beside the same blurred: each
// mixture m_i = M_i0 r + (M_i1 g + (M_i2 b + bias_i)) of the samples times
// the intensity target, scaled by the sensitivity s_i = Gamma(n_i) / n_i
// (at least kSensitivityFloor) of the blurred samples' mixture n_i (at
// least its bias and kSensitivityFloor), at least its bias; then
// X = m0 - m1, Y = m0 + m1, B = m2. Gamma(v) = kGammaMul log2(max(v, 0) +
// kGammaBias) + kGammaAdd, log2 by FastLog2's rational approximation.
constexpr float kIntensityTarget = 80.0f;
constexpr float kMix[12] = {0.29956550340058319f,
                            0.63373087833825936f,
                            0.077705617820981968f,
                            1.7557483643287353f,
                            0.22158691104574774f,
                            0.69391388044116142f,
                            0.0987313588422f,
                            1.7557483643287353f,
                            0.02f,
                            0.02f,
                            0.20480129041026129f,
                            12.226454707163354f};
constexpr float kSensitivityFloor = 1e-4f;
constexpr float kGammaMul = 19.245013259874995f * 0.693147180559945f;
constexpr float kGammaAdd = -23.16046239805755f;
constexpr float kGammaBias = 9.9710635769299145f;
// log2(x) for x > 0: the bits less those of 2/3, shifted, give the
// exponent e; the mantissa m = x / 2^e - 1 in [-1/3, 1/3) goes through
// P(m) / Q(m) (degree 2, Horner's rule) and e is added.
constexpr int32_t kLog2Offset = 0x3f2aaaab;
constexpr float kLog2P[3] = {-1.8503833400518310E-06f, 1.4287160470083755E+00f, 7.4245873327820566E-01f};
constexpr float kLog2Q[3] = {9.9032814277590719E-01f, 1.0096718572241148E+00f, 1.7409343003366853E-01f};
using OpsinRowFunction = void (*)(const float* const rgb[3], const float* const blurred[3], float* const xyb[3],
                                  int32_t count);

struct KernelTable {
    OpsinRowFunction opsinRow;
    BlurRowFunction blurRow;
    BlurColumnsFunction blurColumns;
    MaltaInputFunction maltaInput;
    MaltaRowFunction maltaRow;
};

inline const KernelTable& KernelTableFor(uint32_t cpuFlags) { return KernelTableOf<KernelTable>(cpuFlags); }

void FillPlainKernels(KernelTable& table);
void FillSse2Kernels(KernelTable& table);
void FillAvx2Kernels(KernelTable& table);

}  // namespace butteraugli
}  // namespace vardelk
