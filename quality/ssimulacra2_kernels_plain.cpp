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

constexpr int32_t kColumnChunk = 64;

void BlurRows(const float* in, ptrdiff_t inStride, float* out, ptrdiff_t outStride, int32_t width, int32_t rows) {
    for (int32_t r = 0; r < rows; ++r) PlainBlurRow(in + r * inStride, out + r * outStride, width);
}

// Resonator k's new value at each of `count` samples (sums s) into y[k].
template <class Fma>
void ColumnOutputs(Fma& fma, const BlurCoefficients& c, const float* s, const float* state, int32_t width,
                   int32_t count, float (*y)[kColumnChunk]) {
    for (int k = 0; k < 3; ++k) {
        const float* prev = state + 2 * k * width;
        const float feed = c.feed[k], feedback = -c.feedback[k];
        for (int32_t i = 0; i < count; ++i) y[k][i] = fma(feed, s[i], fma(feedback, prev[i], -prev[width + i]));
    }
}

void BlurColumnsStep(const float* newer, const float* older, float* state, float* out, int32_t width) {
    const BlurCoefficients& c = Blur();
    float s[kColumnChunk], y[3][kColumnChunk];
    for (int32_t x0 = 0; x0 < width; x0 += kColumnChunk) {
        const int32_t count = std::min(kColumnChunk, width - x0);
        for (int32_t i = 0; i < count; ++i) s[i] = older[x0 + i] + newer[x0 + i];
        FastFma fast;
        ColumnOutputs(fast, c, s, state + x0, width, count, y);
        if (fast.rare != 0) {
            ExactFma exact;
            ColumnOutputs(exact, c, s, state + x0, width, count, y);
        }
        for (int k = 0; k < 3; ++k) {
            float* prev = state + 2 * k * width + x0;
            std::memcpy(prev + width, prev, size_t(count) * sizeof(float));
            std::memcpy(prev, y[k], size_t(count) * sizeof(float));
        }
        if (out != nullptr)
            for (int32_t i = 0; i < count; ++i) out[x0 + i] = y[0][i] + (y[1][i] + y[2][i]);
    }
}

void RowStatistics(const StatisticsRow& row, int32_t width, RowSums& sums) { PlainRowStatistics(row, 0, width, sums); }

}  // namespace

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

namespace {

// The four outputs of a block from the pair sums s and the state.
template <class Fma>
inline void BlockOutputs(Fma& fma, const BlurCoefficients& c, const float s[4], const float prev[3],
                         const float prev2[3], float y[3][4]) {
    for (int k = 0; k < 3; ++k) {
        const float* m = c.blockIn[k];
        for (int j = 0; j < 4; ++j) {
            float v = s[0] * m[j];
            v = fma(j >= 1 ? m[j - 1] : 0.0f, s[1], v);
            v = fma(j >= 2 ? m[j - 2] : 0.0f, s[2], v);
            v = fma(j >= 3 ? m[j - 3] : 0.0f, s[3], v);
            v = fma(c.blockPrev2[k][j], prev2[k], v);
            y[k][j] = fma(c.blockPrev[k][j], prev[k], v);
        }
    }
}

}  // namespace

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
        FastFma fast;
        BlockOutputs(fast, c, s, prev, prev2, y);
        if (fast.rare != 0) {
            ExactFma exact;
            BlockOutputs(exact, c, s, prev, prev2, y);
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
template <class Fma>
inline float CubeRootAndAdd(Fma& fma, float x, float add) {
    const float third = x * kThird;
    int32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int32_t guess = bits == 0 ? 0 : kInverseCubeRootBias - (bits >> 23) * kInverseCubeRootStep;
    float r;
    std::memcpy(&r, &guess, sizeof r);
    for (int i = 0; i < 3; ++i) {
        const float r2 = r * r;
        r = fma(-third, r2 * r2, kFourThirds * r);
    }
    float r2 = r * r;
    r = fma(kThird, fma(-x, r2 * r2, r), r);
    r2 = r * r;
    return fma(r2, x, add);
}

template <class Fma>
inline float Mix(Fma& fma, float r, float g, float b, float m0, float m1, float m2) {
    const float m = fma(m0, r, fma(m1, g, fma(m2, b, kMixBias)));
    return m < 0.0f ? 0.0f : m;
}

// The XYB of `count` pixels (at most kXybChunk).
template <class Fma>
void XybOutputs(Fma& fma, const float* r, const float* g, const float* b, float* x, float* y, float* bMinusY,
                int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const float c0 = CubeRootAndAdd(fma, Mix(fma, r[i], g[i], b[i], kMix00, kMix01, kMix02), -kMixBiasCubeRoot);
        const float c1 = CubeRootAndAdd(fma, Mix(fma, r[i], g[i], b[i], kMix10, kMix11, kMix12), -kMixBiasCubeRoot);
        const float c2 = CubeRootAndAdd(fma, Mix(fma, r[i], g[i], b[i], kMix20, kMix21, kMix22), -kMixBiasCubeRoot);
        const float luma = 0.5f * (c0 + c1);
        x[i] = (0.5f * (c0 - c1)) * kXScale + kXOffset;
        y[i] = luma + kYOffset;
        bMinusY[i] = (c2 - luma) + kBOffset;
    }
}

constexpr int32_t kXybChunk = 64;

}  // namespace

// A chunk at a time into local rows, so that a chunk with a rare rounding
// is worked out again from its unchanged inputs, whatever the outputs alias.
void PlainToXyb(const float* r, const float* g, const float* b, float* x, float* y, float* bMinusY, int32_t count) {
    float cx[kXybChunk], cy[kXybChunk], cb[kXybChunk];
    for (int32_t i0 = 0; i0 < count; i0 += kXybChunk) {
        const int32_t n = std::min(kXybChunk, count - i0);
        FastFma fast;
        XybOutputs(fast, r + i0, g + i0, b + i0, cx, cy, cb, n);
        if (fast.rare != 0) {
            ExactFma exact;
            XybOutputs(exact, r + i0, g + i0, b + i0, cx, cy, cb, n);
        }
        std::memcpy(x + i0, cx, size_t(n) * sizeof(float));
        std::memcpy(y + i0, cy, size_t(n) * sizeof(float));
        std::memcpy(bMinusY + i0, cb, size_t(n) * sizeof(float));
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
