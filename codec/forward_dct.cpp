// Separable 8-point integer DCT: each row, then each column, goes through
// the kernel with twelve multiplications by 13-bit factors (dct_constants.h
// names them and says where they come from). Outputs 0 and 4 of the kernel
// are plain sums; the other six carry 13 fraction bits. The row pass keeps 4
// extra fraction bits (x16) and truncates; the column pass divides out 2^7
// (x16 and the 8 of two unnormalised passes), or 2^20 with the 13 fraction
// bits, rounding to nearest with halves up. All intermediates are 64-bit, so
// no input the host can send wraps.
//
// The accurate transform differs in three places only (dct::ForwardFactors):
// rounded factors, a row pass that rounds (2^8 added before its shift by 9),
// and 3 fraction bits kept at the end (shifts of 4 and 17).
#include "codec/forward_dct.h"

#include "codec/dct_constants.h"

namespace vardelk {
namespace {

struct Kernel8 {
    int64_t a[8];
};

Kernel8 ForwardKernel(const int64_t x[8], const dct::ForwardFactors& c) {
    const int64_t s0 = x[0] + x[7], s1 = x[1] + x[6], s2 = x[2] + x[5], s3 = x[3] + x[4];
    const int64_t d0 = x[0] - x[7], d1 = x[1] - x[6], d2 = x[2] - x[5], d3 = x[3] - x[4];

    const int64_t e0 = s0 + s3, e3 = s0 - s3, e1 = s1 + s2, e2 = s1 - s2;
    const int64_t r = (e2 + e3) * c.c6;

    const int64_t m = (d0 + d1 + d2 + d3) * c.c3;
    const int64_t pA = (d0 + d3) * -c.c3MinusC7;
    const int64_t pB = (d1 + d2) * -c.c1PlusC3;
    const int64_t qA = m + (d1 + d3) * -c.c3PlusC5;
    const int64_t qB = m + (d0 + d2) * -c.c3MinusC5;

    Kernel8 k;
    k.a[0] = e0 + e1;
    k.a[4] = e0 - e1;
    k.a[2] = r + e3 * c.c2MinusC6;
    k.a[6] = r - e2 * c.c2PlusC6;
    k.a[1] = d0 * c.c1PlusC3MinusC5MinusC7 + pA + qB;
    k.a[3] = d1 * c.c1PlusC3PlusC5MinusC7 + pB + qA;
    k.a[5] = d2 * c.c1PlusC3MinusC5PlusC7 + pB + qB;
    k.a[7] = d3 * c.minusC1PlusC3PlusC5MinusC7 + pA + qA;
    return k;
}

bool IsPlainSum(int k) { return k == 0 || k == 4; }

void Transform(int32_t block[64], const dct::ForwardFactors& c) {
    const int fraction = c.outputFractionBits;
    int64_t rows[64];
    for (int y = 0; y < 8; ++y) {
        int64_t x[8];
        for (int i = 0; i < 8; ++i) x[i] = block[y * 8 + i];
        const Kernel8 k = ForwardKernel(x, c);
        for (int i = 0; i < 8; ++i) rows[y * 8 + i] = IsPlainSum(i) ? k.a[i] * 16 : (k.a[i] + c.rowRounding) >> 9;
    }
    for (int col = 0; col < 8; ++col) {
        int64_t x[8];
        for (int i = 0; i < 8; ++i) x[i] = rows[i * 8 + col];
        const Kernel8 k = ForwardKernel(x, c);
        for (int i = 0; i < 8; ++i) {
            const int shift = (IsPlainSum(i) ? 7 : 20) - fraction;
            block[i * 8 + col] = static_cast<int32_t>((k.a[i] + (int64_t{1} << (shift - 1))) >> shift);
        }
    }
}

}  // namespace

void ForwardDct(int32_t block[64]) { Transform(block, dct::kFilterForward); }

void ForwardDctAccurate(int32_t block[64]) { Transform(block, dct::kAccurateForward); }

}  // namespace vardelk
