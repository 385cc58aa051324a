// The plain family of the Butteraugli kernels: portable C++, the reference
// the vector families are proven against (butteraugli_kernels.h describes
// each entry).
#include "quality/butteraugli_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace vardelk {
namespace butteraugli {
namespace {

// A tap of a Malta line: rows and columns from the centre.
struct Tap {
    int8_t dy, dx;
};

// The high-frequency lines: 9 taps, or 7 on the steep diagonals. Lines are
// listed in the order their squares are added; taps in the order of each
// line's sum.
constexpr int32_t kLines = 16;
constexpr Tap kHighLines[kLines][9] = {
    {{0, -4}, {0, -3}, {0, -2}, {0, -1}, {0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}},
    {{-4, 0}, {-3, 0}, {-2, 0}, {-1, 0}, {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}},
    {{-3, -3}, {-2, -2}, {-1, -1}, {0, 0}, {1, 1}, {2, 2}, {3, 3}},
    {{-3, 3}, {-2, 2}, {-1, 1}, {0, 0}, {1, -1}, {2, -2}, {3, -3}},
    {{-4, 1}, {-3, 1}, {-2, 1}, {-1, 0}, {0, 0}, {1, 0}, {2, -1}, {3, -1}, {4, -1}},
    {{-4, -1}, {-3, -1}, {-2, -1}, {-1, 0}, {0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}},
    {{-1, -4}, {-1, -3}, {-1, -2}, {0, -1}, {0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}},
    {{1, -4}, {1, -3}, {1, -2}, {0, -1}, {0, 0}, {0, 1}, {-1, 2}, {-1, 3}, {-1, 4}},
    {{-3, -2}, {-2, -1}, {-1, -1}, {0, 0}, {1, 1}, {2, 1}, {3, 2}},
    {{-3, 2}, {-2, 1}, {-1, 1}, {0, 0}, {1, -1}, {2, -1}, {3, -2}},
    {{-2, -3}, {-1, -2}, {-1, -1}, {0, 0}, {1, 1}, {1, 2}, {2, 3}},
    {{-2, 3}, {-1, 2}, {-1, 1}, {0, 0}, {1, -1}, {1, -2}, {2, -3}},
    {{1, -4}, {1, -3}, {1, -2}, {0, -1}, {0, 0}, {0, 1}, {-1, 2}, {-1, 3}, {-1, 4}},
    {{-1, -4}, {-1, -3}, {-1, -2}, {0, -1}, {0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}},
    {{-4, -1}, {-3, -1}, {-2, -1}, {-1, 0}, {0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}},
    {{-4, 1}, {-3, 1}, {-2, 1}, {-1, 0}, {0, 0}, {1, 0}, {2, -1}, {3, -1}, {4, -1}},
};
constexpr int32_t kHighTaps[kLines] = {9, 9, 7, 7, 9, 9, 9, 9, 7, 7, 7, 7, 9, 9, 9, 9};

// The low-frequency lines: 5 taps, every other sample of a longer line.
constexpr Tap kLowLines[kLines][5] = {
    {{0, -4}, {0, -2}, {0, 0}, {0, 2}, {0, 4}},   {{-4, 0}, {-2, 0}, {0, 0}, {2, 0}, {4, 0}},
    {{-3, -3}, {-2, -2}, {0, 0}, {2, 2}, {3, 3}}, {{-3, 3}, {-2, 2}, {0, 0}, {2, -2}, {3, -3}},
    {{-4, 1}, {-2, 1}, {0, 0}, {2, -1}, {4, -1}}, {{-4, -1}, {-2, -1}, {0, 0}, {2, 1}, {4, 1}},
    {{-1, -4}, {-1, -2}, {0, 0}, {1, 2}, {1, 4}}, {{1, -4}, {1, -2}, {0, 0}, {-1, 2}, {-1, 4}},
    {{-3, -2}, {-2, -1}, {0, 0}, {2, 1}, {3, 2}}, {{-3, 2}, {-2, 1}, {0, 0}, {2, -1}, {3, -2}},
    {{-2, -3}, {-1, -2}, {0, 0}, {1, 2}, {2, 3}}, {{-2, 3}, {-1, 2}, {0, 0}, {1, -2}, {2, -3}},
    {{2, -4}, {1, -2}, {0, 0}, {-1, 2}, {-2, 4}}, {{-2, -4}, {-1, -2}, {0, 0}, {1, 2}, {2, 4}},
    {{-4, -2}, {-2, -1}, {0, 0}, {2, 1}, {4, 2}}, {{-4, 2}, {-2, 1}, {0, 0}, {2, -1}, {4, -2}},
};

inline float At(const float* d, ptrdiff_t xs, Tap t) { return d[t.dy * xs + t.dx]; }

// A line's sum, grouped as the measure groups it: 5 taps (a + b) + (c +
// (d + e)); 7 taps (a + b) + (c + ((d + e) + (f + g))); 9 taps
// (((a + b) + (c + d)) + ((e + f) + (g + h))) + i.
inline float LineSum(const float* d, ptrdiff_t xs, const Tap* t, int32_t taps) {
    const float a = At(d, xs, t[0]), b = At(d, xs, t[1]), c = At(d, xs, t[2]), e = At(d, xs, t[3]), f = At(d, xs, t[4]);
    if (taps == 5) return (a + b) + (c + (e + f));
    const float g = At(d, xs, t[5]), h = At(d, xs, t[6]);
    if (taps == 7) return (a + b) + (c + ((e + f) + (g + h)));
    const float i = At(d, xs, t[7]), j = At(d, xs, t[8]);
    return (((a + b) + (c + e)) + ((f + g) + (h + i))) + j;
}

// The earlier line each high-frequency line repeats, or -1.
constexpr int32_t kHighRepeats[kLines] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 7, 6, 5, 4};

template <MaltaForm kForm>
inline float Unit(const float* d, ptrdiff_t xs) {
    float sums[kLines];
    float total = 0.0f;
    for (int32_t l = 0; l < kLines; ++l) {
        if (kForm == MaltaForm::kHigh && kHighRepeats[l] >= 0) {
            sums[l] = sums[kHighRepeats[l]];
        } else {
            sums[l] = kForm == MaltaForm::kHigh ? LineSum(d, xs, kHighLines[l], kHighTaps[l])
                                                : LineSum(d, xs, kLowLines[l], 5);
        }
        total = l == 0 ? sums[l] * sums[l] : sums[l] * sums[l] + total;
    }
    return total;
}

float FastLog2(float x) {
    int32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int32_t exponent = (bits - kLog2Offset) >> 23;
    const uint32_t mantissaBits = uint32_t(bits) - (uint32_t(exponent) << 23);
    float mantissa;
    std::memcpy(&mantissa, &mantissaBits, sizeof mantissa);
    const float m = mantissa - 1.0f;
    const float p = (kLog2P[2] * m + kLog2P[1]) * m + kLog2P[0];
    const float q = (kLog2Q[2] * m + kLog2Q[1]) * m + kLog2Q[0];
    return p / q + float(exponent);
}

inline float Mixture(int32_t i, float r, float g, float b) {
    return kMix[4 * i] * r + (kMix[4 * i + 1] * g + (kMix[4 * i + 2] * b + kMix[4 * i + 3]));
}

void OpsinRow(const float* const rgb[3], const float* const blurred[3], float* const xyb[3], int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        float mixed[3];
        for (int32_t i = 0; i < 3; ++i) {
            const float pre = Mixture(i, blurred[0][x] * kIntensityTarget, blurred[1][x] * kIntensityTarget,
                                      blurred[2][x] * kIntensityTarget);
            const float n = std::max(std::max(pre, kMix[4 * i + 3]), kSensitivityFloor);
            const float gamma = kGammaMul * FastLog2(std::max(n, 0.0f) + kGammaBias) + kGammaAdd;
            const float sensitivity = std::max(gamma / n, kSensitivityFloor);
            const float cur =
                Mixture(i, rgb[0][x] * kIntensityTarget, rgb[1][x] * kIntensityTarget, rgb[2][x] * kIntensityTarget);
            mixed[i] = std::max(cur * sensitivity, kMix[4 * i + 3]);
        }
        xyb[0][x] = mixed[0] - mixed[1];
        xyb[1][x] = mixed[0] + mixed[1];
        xyb[2][x] = mixed[2];
    }
}

// Both blurs run the taps in the outer loop over a line of outputs, so
// that the compiler can vectorise across the outputs; each output's
// additions stay in the documented order. Along a row: outputs 1 apart,
// output x's window starting at in[x].
void BlurLine(const float* in, float* out, int32_t count, const BlurKernel& k) {
    if (count <= 0) return;
    std::vector<float> sums(size_t(4) * size_t(count));
    for (int32_t j = 0; j < k.half; ++j) {
        const float* near = in + j;
        const float* far = in + (k.size - 1 - j);
        const float weight = k.scaled[j];
        float* sum = sums.data() + size_t(j % 4) * size_t(count);
        if (j < 4) {
            for (int32_t x = 0; x < count; ++x) sum[x] = (near[x] + far[x]) * weight;
        } else {
            for (int32_t x = 0; x < count; ++x) sum[x] = sum[x] + (near[x] + far[x]) * weight;
        }
    }
    const float* centre = in + k.half;
    for (int32_t x = 0; x < count; ++x) out[x] = centre[x] * k.scaled[k.half];
    for (int32_t s = 0; s < 4 && s < k.half; ++s) {
        const float* sum = sums.data() + size_t(s) * size_t(count);
        for (int32_t x = 0; x < count; ++x) out[x] += sum[x];
    }
}

void BlurRow(const float* in, float* out, int32_t width, const BlurKernel& k) {
    BlurLine(in, out + k.half, width - 2 * k.half, k);
}

void BlurColumns(const float* in, ptrdiff_t stride, float* out, int32_t width, const BlurKernel& k) {
    // Output x's window is column x: taps `stride` apart, outputs 1 apart.
    if (width <= 0) return;
    std::vector<float> sums(size_t(4) * size_t(width));
    for (int32_t j = 0; j < k.half; ++j) {
        const float* near = in + j * stride;
        const float* far = in + (k.size - 1 - j) * stride;
        const float weight = k.scaled[j];
        float* sum = sums.data() + size_t(j % 4) * size_t(width);
        if (j < 4) {
            for (int32_t x = 0; x < width; ++x) sum[x] = (near[x] + far[x]) * weight;
        } else {
            for (int32_t x = 0; x < width; ++x) sum[x] = sum[x] + (near[x] + far[x]) * weight;
        }
    }
    const float* centre = in + k.half * stride;
    for (int32_t x = 0; x < width; ++x) out[x] = centre[x] * k.scaled[k.half];
    for (int32_t s = 0; s < 4 && s < k.half; ++s) {
        const float* sum = sums.data() + size_t(s) * size_t(width);
        for (int32_t x = 0; x < width; ++x) out[x] += sum[x];
    }
}

void MaltaInput(const float* v0, const float* v1, float* out, int32_t count, const MaltaWeights& w) {
    for (int32_t x = 0; x < count; ++x) {
        const float a = v0[x], b = v1[x];
        const float fabs0 = std::fabs(a);
        const float denominator = w.norm + 0.5f * (fabs0 + std::fabs(b));
        const float scaler = w.gt / denominator, scaler2 = w.lt / denominator;
        const float tooSmall = 0.55f * fabs0, tooBig = 1.05f * fabs0;
        const float side = a < 0 ? -b : b;
        const float below = tooSmall - side, above = side - tooBig;
        const float more = scaler2 * below, less = -(scaler2 * above);
        const float impact = below > 0 ? more : (above > 0 ? less : 0.0f);
        out[x] = scaler * (a - b) + (a < 0 ? -impact : impact);
    }
}

void MaltaRow(const float* diffs, ptrdiff_t stride, float* acc, int32_t from, int32_t to, MaltaForm form) {
    if (form == MaltaForm::kHigh) {
        for (int32_t x = from; x < to; ++x) acc[x] += Unit<MaltaForm::kHigh>(diffs + x, stride);
    } else {
        for (int32_t x = from; x < to; ++x) acc[x] += Unit<MaltaForm::kLow>(diffs + x, stride);
    }
}

}  // namespace

void FillPlainKernels(KernelTable& table) {
    table.opsinRow = OpsinRow;
    table.blurRow = BlurRow;
    table.blurColumns = BlurColumns;
    table.maltaInput = MaltaInput;
    table.maltaRow = MaltaRow;
}

}  // namespace butteraugli
}  // namespace vardelk
