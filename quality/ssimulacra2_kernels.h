// The kernels of the perceptual measure (quality/ssimulacra2.h), one table
// per set of CPU flags, filled by the codec's mechanism
// (codec/kernels/dispatch.h) from ssimulacra2_kernels_plain.cpp, _sse2.cpp
// and _avx2.cpp. Every entry gives exactly the plain entry's result, bit for
// bit: the vector builds run the plain arithmetic lane by lane in the same
// order, and these files are compiled without contracting a multiply and an
// add into one rounding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/kernels/dispatch.h"

namespace vardelk {
namespace ssimulacra2 {

// The recursive Gaussian (sigma 1.5) as three second-order resonators
// k = 0, 1, 2 with the frequencies (2k + 1) pi / (2 radius). Along a line of
// samples x (zero outside the line), output n takes
// s = x[n - radius - 1] + x[n + radius - 1] and updates each resonator
//     y_k = feed[k] s - feedback[k] y_k' - y_k''
// (y_k' and y_k'' its two previous values, zero before the first step at
// n = 1 - radius); the output is y_0 + (y_1 + y_2). The coefficients come
// from the Gaussian's sigma by the truncated-cosine design
// (ssimulacra2_blur.cpp).
//
// The arithmetic is fixed to the last rounding, fused multiply-adds
// included, because the measure's variances are small differences of
// blurred values: the rounding of the blur shows in the score.
// - Down the columns: y = fma(feed, s, fma(-feedback, y', -y'')).
// - Along a row, outputs are made one at a time (with fma(prev[0], y',
//   fma(prev2[0], y'', in[0] s))) up to output 7 and for the last outputs
//   (from width - 7 on), and four at a time between them: output n + j of
//   the block is
//       fma(prev[j], y', fma(prev2[j], y'',
//           fma(in[j-3], s3, fma(in[j-2], s2, fma(in[j-1], s1, in[j] s0)))))
//   (in[i] = 0 for i < 0), s_i the pair sums of outputs n..n+3, and the
//   block's outputs 2 and 3 become y'' and y'.
struct BlurCoefficients {
    int32_t radius;
    float feed[3];
    float feedback[3];
    float blockIn[3][4];
    float blockPrev[3][4];
    float blockPrev2[3][4];
};
const BlurCoefficients& Blur();

// The first output along a row that a four-output block makes.
constexpr int32_t kFirstBlockOutput = 8;

// Blurs `rows` rows of `width` samples along the row.
using BlurRowsFunction = void (*)(const float* in, ptrdiff_t inStride, float* out, ptrdiff_t outStride, int32_t width,
                                  int32_t rows);

// One step down the columns of a plane: s = newer + older (rows of `width`
// samples; a row outside the plane is a row of zeros), the resonators'
// state (six rows: y_0', y_0'', y_1', ...) advanced, and the blurred row
// written to `out` unless it is null (the steps before the first output).
using BlurColumnsStepFunction = void (*)(const float* newer, const float* older, float* state, float* out,
                                         int32_t width);

// Linear RGB (0..1) to the measure's positive XYB: the three opsin mixtures
// m_i = fma(M_i0, r, fma(M_i1, g, fma(M_i2, b, bias))) (negative ones 0),
// their cube roots c_i less the cube root of the bias, then
// X = (c0 - c1) / 2 * 14 + 0.42, Y = (c0 + c1) / 2 + 0.01,
// B = (c2 - (c0 + c1) / 2) + 0.55. The cube root starts from the inverse
// cube root guessed from the exponent bits, takes four Newton steps on it
// and multiplies back (ssimulacra2_kernels_plain.cpp).
using ToXybFunction = void (*)(const float* r, const float* g, const float* b, float* x, float* y, float* bMinusY,
                               int32_t count);

// One row of one channel at one scale: the two pictures and their blurred
// means, squares and cross product.
struct StatisticsRow {
    const float* original;
    const float* distorted;
    const float* originalMean;
    const float* distortedMean;
    const float* originalSquares;
    const float* distortedSquares;
    const float* cross;
};

// The six sums of a row, in this order: the SSIM error, its 4th power, the
// ringing error, its 4th power, the blur error, its 4th power. Pixel x adds
// to lane x % kLanes, in the order of x, so every build adds in one order.
constexpr int32_t kSums = 6;
constexpr int32_t kLanes = 8;
using RowSums = double[kSums][kLanes];
using RowStatisticsFunction = void (*)(const StatisticsRow& row, int32_t width, RowSums& sums);

struct KernelTable {
    BlurRowsFunction blurRows;
    BlurColumnsStepFunction blurColumnsStep;
    ToXybFunction toXyb;
    RowStatisticsFunction rowStatistics;
};

inline const KernelTable& KernelTableFor(uint32_t cpuFlags) { return KernelTableOf<KernelTable>(cpuFlags); }

void FillPlainKernels(KernelTable& table);
void FillSse2Kernels(KernelTable& table);
void FillAvx2Kernels(KernelTable& table);

// The plain forms the vector builds share for their tails.
// Output n of a row, one at a time, with the resonators' state.
void PlainBlurOutput(const float* in, int32_t width, int32_t n, float prev[3], float prev2[3], float* out);
void PlainBlurRow(const float* in, float* out, int32_t width);
// Columns [from, width) of one step down the columns.
void PlainBlurColumnsStep(const float* newer, const float* older, float* state, float* out, int32_t from,
                          int32_t width);
void PlainToXyb(const float* r, const float* g, const float* b, float* x, float* y, float* bMinusY, int32_t count);
// Pixels [from, width) of a row into the lanes.
void PlainRowStatistics(const StatisticsRow& row, int32_t from, int32_t width, RowSums& sums);

// The per-pixel errors of one pixel: SSIM, ringing, blur (for the error map).
void PixelErrors(const StatisticsRow& row, int32_t x, double errors[3]);

}  // namespace ssimulacra2
}  // namespace vardelk
