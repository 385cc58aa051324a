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
#include "codec/dct_fixed16.h"

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

// ffmpeg's 16-bit transform (factors in dct_fixed16.h): a scaled butterfly
// down each column whose rotations multiply by tangents, then a dot product
// along each row rounded at 17 fraction bits. Words saturate, shifted words
// wrap and 32-bit sums wrap, as the vector instructions it is written for
// do; each row's outputs saturate to 16 bits.
namespace {
namespace word16 {

using namespace dct::fixed16;

int16_t Saturate(int64_t v) { return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }
int16_t Add(int16_t a, int16_t b) { return Saturate(int32_t{a} + b); }
int16_t Sub(int16_t a, int16_t b) { return Saturate(int32_t{a} - b); }
int16_t ShiftLeft(int16_t a, int bits) {
    const uint16_t wrapped = static_cast<uint16_t>(static_cast<uint16_t>(a) << bits);
    return static_cast<int16_t>(wrapped >= 0x8000u ? int32_t{wrapped} - 0x10000 : int32_t{wrapped});
}
// The high half of the 32-bit product, rounded toward minus infinity.
int16_t MultiplyHigh(int16_t a, int16_t b) {
    const int32_t product = int32_t{a} * b;
    return static_cast<int16_t>(product >= 0 ? product / 65536 : -((-int64_t{product} + 65535) / 65536));
}
int16_t OddOne(int16_t a) { return static_cast<int16_t>(a | 1); }

void Column(const int16_t r[8], int16_t out[8]) {
    const int16_t a = ShiftLeft(Add(r[1], r[6]), 3), b = ShiftLeft(Add(r[2], r[5]), 3);
    const int16_t c = ShiftLeft(Add(r[0], r[7]), 3), d = ShiftLeft(Add(r[3], r[4]), 3);
    const int16_t sumAb = Add(a, b), sumCd = Add(c, d), diffAb = Sub(a, b), diffCd = Sub(c, d);
    out[0] = Add(sumCd, sumAb);
    out[4] = Sub(sumCd, sumAb);
    out[2] = OddOne(Add(MultiplyHigh(kTan2, diffAb), diffCd));
    out[6] = OddOne(Sub(MultiplyHigh(kTan2, diffCd), diffAb));

    const int16_t e = ShiftLeft(Sub(r[1], r[6]), 4), f = ShiftLeft(Sub(r[2], r[5]), 4);
    const int16_t p = OddOne(MultiplyHigh(kCos4, Add(e, f)));
    const int16_t q = MultiplyHigh(kCos4, Sub(e, f));
    const int16_t g = ShiftLeft(Sub(r[3], r[4]), 3), h = ShiftLeft(Sub(r[0], r[7]), 3);
    const int16_t u = Add(g, q), v = Sub(g, q);
    const int16_t hp = Add(h, p), hm = Sub(h, p);
    out[1] = OddOne(Add(MultiplyHigh(kTan1, u), hp));
    out[7] = Sub(MultiplyHigh(kTan1, hp), u);
    out[5] = Add(Add(MultiplyHigh(kTan3, hm), hm), v);
    out[3] = Sub(hm, Add(MultiplyHigh(kTan3, v), v));
}

// Each output: eight products summed as 32-bit lanes sum them (wrapping),
// rounded, shifted arithmetically and saturated.
void Row(const int16_t x[8], int set, int16_t out[8]) {
    int16_t sd[8];
    for (int j = 0; j < 4; ++j) {
        sd[j] = Add(x[j], x[7 - j]);
        sd[4 + j] = Sub(x[j], x[7 - j]);
    }
    for (int k = 0; k < 8; ++k) {
        int64_t sum = int64_t{1} << (kRowShift - 1);
        for (int j = 0; j < 8; ++j) sum += int64_t{kRowWeights.w[set][k][j]} * sd[j];
        const uint32_t low = static_cast<uint32_t>(static_cast<uint64_t>(sum));
        const int64_t wrapped = low >= 0x80000000u ? int64_t{low} - (int64_t{1} << 32) : int64_t{low};
        out[k] =
            Saturate(wrapped >= 0 ? wrapped >> kRowShift : -((-wrapped + (int64_t{1} << kRowShift) - 1) >> kRowShift));
    }
}

}  // namespace word16
}  // namespace

void ForwardDctFixed16(int32_t block[64]) {
    int16_t columns[64];  // after the column pass, row-major
    for (int x = 0; x < 8; ++x) {
        int16_t in[8], out[8];
        for (int y = 0; y < 8; ++y) in[y] = word16::Saturate(block[y * 8 + x]);
        word16::Column(in, out);
        for (int y = 0; y < 8; ++y) columns[y * 8 + x] = out[y];
    }
    for (int y = 0; y < 8; ++y) {
        int16_t out[8];
        word16::Row(columns + y * 8, dct::fixed16::kRowSetOf[y], out);
        for (int x = 0; x < 8; ++x) block[y * 8 + x] = out[x];
    }
}

}  // namespace vardelk
