// Separable 8-point integer inverse DCT with the same twelve 13-bit factors as
// the forward transform (dct_constants.h). Each kernel output
// carries 13 fraction bits. The row pass keeps 4 of them (>> 9, truncating);
// the column pass removes the rest together with the x16 of the row pass and
// the 8 of two unnormalised passes (>> 20, rounding to nearest, halves up) and
// saturates. A row or column whose seven AC terms are zero skips the kernel:
// every output is then the DC term scaled the same way, which is exactly what
// the kernel would give.
#include "codec/inverse_dct.h"

#include "codec/dct_constants.h"

namespace vardelk {
namespace {

int32_t Saturate(int64_t v) {
    if (v >= -512 && v <= 511) return SampleClampTable[static_cast<size_t>(v + 512)];
    return v < 0 ? kMinSample : kMaxSample;
}

struct Kernel8 {
    int64_t z[8];
};

Kernel8 InverseKernel(const int64_t y[8]) {
    const int64_t r = (y[2] + y[6]) * dct::kC6;
    const int64_t b2 = r - y[6] * dct::kC2PlusC6;
    const int64_t b3 = r + y[2] * dct::kC2MinusC6;
    const int64_t b0 = (y[0] + y[4]) * dct::kOne;
    const int64_t b1 = (y[0] - y[4]) * dct::kOne;
    const int64_t f0 = b0 + b3, f3 = b0 - b3, f1 = b1 + b2, f2 = b1 - b2;

    const int64_t m = (y[1] + y[3] + y[5] + y[7]) * dct::kC3;
    const int64_t pA = (y[1] + y[7]) * -dct::kC3MinusC7;
    const int64_t pB = (y[3] + y[5]) * -dct::kC1PlusC3;
    const int64_t qA = m + (y[3] + y[7]) * -dct::kC3PlusC5;
    const int64_t qB = m + (y[1] + y[5]) * -dct::kC3MinusC5;
    const int64_t g0 = y[7] * dct::kMinusC1PlusC3PlusC5MinusC7 + pA + qA;
    const int64_t g1 = y[5] * dct::kC1PlusC3MinusC5PlusC7 + pB + qB;
    const int64_t g2 = y[3] * dct::kC1PlusC3PlusC5MinusC7 + pB + qA;
    const int64_t g3 = y[1] * dct::kC1PlusC3MinusC5MinusC7 + pA + qB;

    return Kernel8{{f0 + g3, f1 + g2, f2 + g1, f3 + g0, f3 - g0, f2 - g1, f1 - g2, f0 - g3}};
}

bool AcTermsAreZero(const int64_t y[8]) { return (y[1] | y[2] | y[3] | y[4] | y[5] | y[6] | y[7]) == 0; }

}  // namespace

void InverseDct(int32_t block[64]) {
    int64_t work[64];
    for (int v = 0; v < 8; ++v) {
        int64_t y[8];
        for (int i = 0; i < 8; ++i) y[i] = block[v * 8 + i];
        if (AcTermsAreZero(y)) {
            for (int i = 0; i < 8; ++i) work[v * 8 + i] = y[0] * 16;
            continue;
        }
        const Kernel8 k = InverseKernel(y);
        for (int i = 0; i < 8; ++i) work[v * 8 + i] = k.z[i] >> 9;
    }
    for (int x = 0; x < 8; ++x) {
        int64_t y[8];
        for (int i = 0; i < 8; ++i) y[i] = work[i * 8 + x];
        if (AcTermsAreZero(y)) {
            const int32_t sample = Saturate((y[0] + 64) >> 7);
            for (int i = 0; i < 8; ++i) block[i * 8 + x] = sample;
            continue;
        }
        const Kernel8 k = InverseKernel(y);
        for (int i = 0; i < 8; ++i) block[i * 8 + x] = Saturate((k.z[i] + 524288) >> 20);
    }
}

}  // namespace vardelk
