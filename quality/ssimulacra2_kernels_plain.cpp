// The plain family of the measure's kernels: portable C++, the reference the
// vector families are proven against (the arithmetic of each entry is
// described in ssimulacra2_kernels.h). FusedMultiplyAdd rounds once, as
// the vector builds' fused multiply-adds do.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "quality/ssimulacra2_constants.h"
#include "quality/ssimulacra2_fma.h"
#include "quality/ssimulacra2_kernels.h"

namespace vardelk {
namespace ssimulacra2 {
namespace {

void BlurRows(const float* in, ptrdiff_t inStride, float* out, ptrdiff_t outStride, int32_t width, int32_t rows) {
    for (int32_t r = 0; r < rows; ++r) PlainBlurRow(in + r * inStride, out + r * outStride, width);
}

void BlurColumnsStep(const float* newer, const float* older, float* state, float* out, int32_t width) {
    PlainBlurColumnsStep(newer, older, state, out, 0, width);
}

void RowStatistics(const StatisticsRow& row, int32_t width, RowSums& sums) { PlainRowStatistics(row, 0, width, sums); }

}  // namespace

void PlainBlurColumnsStep(const float* newer, const float* older, float* state, float* out, int32_t from,
                          int32_t width) {
    const BlurCoefficients& c = Blur();
    for (int32_t x = from; x < width; ++x) {
        const float s = older[x] + newer[x];
        float y[3];
        for (int k = 0; k < 3; ++k) {
            float* prev = state + 2 * k * width;
            y[k] = FusedMultiplyAdd(c.feed[k], s, FusedMultiplyAdd(-c.feedback[k], prev[x], -prev[width + x]));
            prev[width + x] = prev[x];
            prev[x] = y[k];
        }
        if (out != nullptr) out[x] = y[0] + (y[1] + y[2]);
    }
}

void PlainBlurOutput(const float* in, int32_t width, int32_t n, float prev[3], float prev2[3], float* out) {
    const BlurCoefficients& c = Blur();
    const int32_t left = n - c.radius - 1, right = n + c.radius - 1;
    const float s = (left >= 0 ? in[left] : 0.0f) + (right < width ? in[right] : 0.0f);
    float y[3];
    for (int k = 0; k < 3; ++k) {
        y[k] = FusedMultiplyAdd(c.blockPrev[k][0], prev[k],
                                FusedMultiplyAdd(c.blockPrev2[k][0], prev2[k], s * c.blockIn[k][0]));
        prev2[k] = prev[k];
        prev[k] = y[k];
    }
    if (n >= 0) out[n] = y[0] + (y[1] + y[2]);
}

void PlainBlurRow(const float* in, float* out, int32_t width) {
    const BlurCoefficients& c = Blur();
    const int32_t radius = c.radius;
    float prev[3] = {0, 0, 0}, prev2[3] = {0, 0, 0};
    int32_t n = 1 - radius;
    for (; n < std::min(kFirstBlockOutput, width); ++n) PlainBlurOutput(in, width, n, prev, prev2, out);
    for (; n < width - radius - 2; n += 4) {
        float s[4];
        for (int j = 0; j < 4; ++j) s[j] = in[n - radius - 1 + j] + in[n + radius - 1 + j];
        float y[3][4];
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 4; ++j) {
                const float* m = c.blockIn[k];
                float v = s[0] * m[j];
                v = FusedMultiplyAdd(j >= 1 ? m[j - 1] : 0.0f, s[1], v);
                v = FusedMultiplyAdd(j >= 2 ? m[j - 2] : 0.0f, s[2], v);
                v = FusedMultiplyAdd(j >= 3 ? m[j - 3] : 0.0f, s[3], v);
                v = FusedMultiplyAdd(c.blockPrev2[k][j], prev2[k], v);
                y[k][j] = FusedMultiplyAdd(c.blockPrev[k][j], prev[k], v);
            }
        for (int k = 0; k < 3; ++k) {
            prev2[k] = y[k][2];
            prev[k] = y[k][3];
        }
        for (int j = 0; j < 4; ++j) out[n + j] = y[0][j] + (y[1][j] + y[2][j]);
    }
    for (; n < width; ++n) PlainBlurOutput(in, width, n, prev, prev2, out);
}

namespace {

// x^(1/3) + add for x >= 0: the inverse cube root r guessed from the
// exponent (bits 0x54800000 - (exponent bits) * 0x2AAAAA), three Newton
// steps r <- 4/3 r - x/3 r^4, a last one r <- r + (r - x r^4) / 3, and
// x r^2 + add.
inline float CubeRootAndAdd(float x, float add) {
    const float third = x * kThird;
    int32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int32_t guess = bits == 0 ? 0 : kInverseCubeRootBias - (bits >> 23) * kInverseCubeRootStep;
    float r;
    std::memcpy(&r, &guess, sizeof r);
    for (int i = 0; i < 3; ++i) {
        const float r2 = r * r;
        r = FusedMultiplyAdd(-third, r2 * r2, kFourThirds * r);
    }
    float r2 = r * r;
    r = FusedMultiplyAdd(kThird, FusedMultiplyAdd(-x, r2 * r2, r), r);
    r2 = r * r;
    return FusedMultiplyAdd(r2, x, add);
}

inline float Mix(float r, float g, float b, float m0, float m1, float m2) {
    const float m = FusedMultiplyAdd(m0, r, FusedMultiplyAdd(m1, g, FusedMultiplyAdd(m2, b, kMixBias)));
    return m < 0.0f ? 0.0f : m;
}

}  // namespace

void PlainToXyb(const float* r, const float* g, const float* b, float* x, float* y, float* bMinusY, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const float c0 = CubeRootAndAdd(Mix(r[i], g[i], b[i], kMix00, kMix01, kMix02), -kMixBiasCubeRoot);
        const float c1 = CubeRootAndAdd(Mix(r[i], g[i], b[i], kMix10, kMix11, kMix12), -kMixBiasCubeRoot);
        const float c2 = CubeRootAndAdd(Mix(r[i], g[i], b[i], kMix20, kMix21, kMix22), -kMixBiasCubeRoot);
        const float luma = 0.5f * (c0 + c1);
        x[i] = (0.5f * (c0 - c1)) * kXScale + kXOffset;
        y[i] = luma + kYOffset;
        bMinusY[i] = (c2 - luma) + kBOffset;
    }
}

// Per pixel, in float as far as the ratio and the edge differences:
//   SSIM error = 1 - (1 - (mu1 - mu2)^2) (2 (s12 - mu1 mu2) + C2)
//                    / ((s11 - mu1^2) + (s22 - mu2^2) + C2), at least 0
//   d = (1 + |distorted - mu2|) / (1 + |original - mu1|) - 1 (in double)
//   ringing = max(d, 0), blur = max(-d, 0)
void PixelErrors(const StatisticsRow& row, int32_t x, double errors[3]) {
    const float mu1 = row.originalMean[x], mu2 = row.distortedMean[x];
    const float diff = mu1 - mu2;
    const float numM = 1.0f - diff * diff;
    const float numS = 2.0f * (row.cross[x] - mu1 * mu2) + kSsimC2;
    const float denS = (row.originalSquares[x] - mu1 * mu1) + (row.distortedSquares[x] - mu2 * mu2) + kSsimC2;
    const float ratio = numM * numS / denS;
    const double ssim = 1.0 - double(ratio);
    errors[0] = ssim < 0.0 ? 0.0 : ssim;
    const float edge1 = std::fabs(row.original[x] - mu1);
    const float edge2 = std::fabs(row.distorted[x] - mu2);
    const double d = (1.0 + double(edge2)) / (1.0 + double(edge1)) - 1.0;
    errors[1] = d < 0.0 ? 0.0 : d;
    errors[2] = -d < 0.0 ? 0.0 : -d;
}

void PlainRowStatistics(const StatisticsRow& row, int32_t from, int32_t width, RowSums& sums) {
    for (int32_t x = from; x < width; ++x) {
        double e[3];
        PixelErrors(row, x, e);
        const int32_t lane = x % kLanes;
        for (int i = 0; i < 3; ++i) {
            const double sq = e[i] * e[i];
            sums[2 * i][lane] += e[i];
            sums[2 * i + 1][lane] += sq * sq;
        }
    }
}

void FillPlainKernels(KernelTable& table) { table = KernelTable{BlurRows, BlurColumnsStep, PlainToXyb, RowStatistics}; }

}  // namespace ssimulacra2
}  // namespace vardelk
