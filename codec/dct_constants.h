// The fixed-point factors of the 8-point transforms (forward_dct.cpp,
// inverse_dct.cpp and the vector bodies in codec/kernels/).
//
// The kernel is the factorisation of Loeffler, Ligtenberg and Moschytz: an
// even part of one rotation (three multiplications) and an odd part of two
// butterflies and nine multiplications, twelve in all. With ck = cos(k pi/16)
// every factor is sqrt(2) times a sum of cosines; its integer is that real
// value times 2^13, truncated toward zero:
//
//   factor                              real value     x 2^13          used
//   sqrt2 c6                            0.541196100    4433.478    4433
//   sqrt2 (c2 - c6)                     0.765366865    6269.885    6269
//   sqrt2 (c2 + c6)                     1.847759065   15136.842   15136
//   sqrt2 c3                            1.175875602    9632.773    9632
//   sqrt2 (c3 - c7)                     0.899976223    7372.605    7372
//   sqrt2 (c1 + c3)                     2.562915448   20995.403   20995
//   sqrt2 (c3 + c5)                     1.961570561   16069.186   16069
//   sqrt2 (c3 - c5)                     0.390180644    3196.360    3196
//   sqrt2 (c1 + c3 - c5 - c7)           1.501321110   12298.823   12298
//   sqrt2 (c1 + c3 + c5 - c7)           3.072711027   25171.649   25171
//   sqrt2 (c1 + c3 - c5 + c7)           2.053119869   16819.158   16819
//   sqrt2 (-c1 + c3 + c5 - c7)          0.298631336    2446.388    2446
//
// Why truncated and not rounded: these are the integers the filter has
// always multiplied by, and every reconstruction and size estimate it has
// produced follows from them. Rounding would raise six of them by one
// (6269, 15136, 9632, 7372, 12298, 25171) and change pictures and byte
// counts that users and stored results compare against.
//
// The vector bodies evaluate the same kernel multiplied out, each output as
// one dot product of the butterfly differences (forward) or of the odd
// inputs (inverse). Integer arithmetic gives the same value for either
// form, so those weights are the sums and differences of the factors above
// that the butterflies form, checked below.
#pragma once

#include <cstdint>

namespace vardelk {
namespace dct {

constexpr int kFractionBits = 13;
constexpr int32_t kOne = int32_t{1} << kFractionBits;  // 8192, the factor of inputs 0 and 4 in the inverse

// Even part.
constexpr int32_t kC6 = 4433;
constexpr int32_t kC2MinusC6 = 6269;
constexpr int32_t kC2PlusC6 = 15136;
// Odd part: the shared products m, pA, pB, qA, qB, then one per output.
constexpr int32_t kC3 = 9632;
constexpr int32_t kC3MinusC7 = 7372;
constexpr int32_t kC1PlusC3 = 20995;
constexpr int32_t kC3PlusC5 = 16069;
constexpr int32_t kC3MinusC5 = 3196;
constexpr int32_t kC1PlusC3MinusC5MinusC7 = 12298;
constexpr int32_t kC1PlusC3PlusC5MinusC7 = 25171;
constexpr int32_t kC1PlusC3MinusC5PlusC7 = 16819;
constexpr int32_t kMinusC1PlusC3PlusC5MinusC7 = 2446;

// The encoders' transform. The same factorisation with each factor rounded
// to the nearest integer instead of truncated, the row pass rounding its
// outputs to nearest (halves up) instead of truncating them, and three more
// fraction bits kept at the end: its coefficients are 8 x the standard's
// scale. This is the accurate integer transform real encoders use, so a
// model of such an encoder sees the coefficients the encoder itself saw.
namespace accurate {

constexpr int32_t kC6 = 4433;
constexpr int32_t kC2MinusC6 = 6270;
constexpr int32_t kC2PlusC6 = 15137;
constexpr int32_t kC3 = 9633;
constexpr int32_t kC3MinusC7 = 7373;
constexpr int32_t kC1PlusC3 = 20995;
constexpr int32_t kC3PlusC5 = 16069;
constexpr int32_t kC3MinusC5 = 3196;
constexpr int32_t kC1PlusC3MinusC5MinusC7 = 12299;
constexpr int32_t kC1PlusC3PlusC5MinusC7 = 25172;
constexpr int32_t kC1PlusC3MinusC5PlusC7 = 16819;
constexpr int32_t kMinusC1PlusC3PlusC5MinusC7 = 2446;

}  // namespace accurate

// What differs between the two forward transforms, for code written once
// for both: the factors, the row pass's rounding offset before its shift by
// 9, and the fraction bits the outputs keep (0: the standard's scale; 3:
// eight times it).
struct ForwardFactors {
    int32_t c6, c2MinusC6, c2PlusC6, c3, c3MinusC7, c1PlusC3, c3PlusC5, c3MinusC5;
    int32_t c1PlusC3MinusC5MinusC7, c1PlusC3PlusC5MinusC7, c1PlusC3MinusC5PlusC7, minusC1PlusC3PlusC5MinusC7;
    int32_t rowRounding;
    int32_t outputFractionBits;
};
inline constexpr ForwardFactors kFilterForward = {kC6,
                                                  kC2MinusC6,
                                                  kC2PlusC6,
                                                  kC3,
                                                  kC3MinusC7,
                                                  kC1PlusC3,
                                                  kC3PlusC5,
                                                  kC3MinusC5,
                                                  kC1PlusC3MinusC5MinusC7,
                                                  kC1PlusC3PlusC5MinusC7,
                                                  kC1PlusC3MinusC5PlusC7,
                                                  kMinusC1PlusC3PlusC5MinusC7,
                                                  0,
                                                  0};
inline constexpr ForwardFactors kAccurateForward = {accurate::kC6,
                                                    accurate::kC2MinusC6,
                                                    accurate::kC2PlusC6,
                                                    accurate::kC3,
                                                    accurate::kC3MinusC7,
                                                    accurate::kC1PlusC3,
                                                    accurate::kC3PlusC5,
                                                    accurate::kC3MinusC5,
                                                    accurate::kC1PlusC3MinusC5MinusC7,
                                                    accurate::kC1PlusC3PlusC5MinusC7,
                                                    accurate::kC1PlusC3MinusC5PlusC7,
                                                    accurate::kMinusC1PlusC3PlusC5MinusC7,
                                                    256,
                                                    3};

// The outputs multiplied out, as the vector bodies and the inverse use them.
// Even outputs, with e2 and e3 the differences of the even butterfly:
// A2 = even2[0] e2 + even2[1] e3, A6 likewise. Odd outputs:
// A(2k+1) = sum over j of odd[k][j] x dj, dj = x(j) - x(7-j); the inverse's
// odd terms g3, g2, g1, g0 use the same rows with y1, y3, y5, y7 in place
// of d0..d3.
struct OutputWeights {
    int32_t even2[2];
    int32_t even6[2];
    int32_t odd[4][4];
};
constexpr OutputWeights WeightsOf(const ForwardFactors& c) {
    const int32_t c3 = c.c3;
    return OutputWeights{
        {c.c6, c.c6 + c.c2MinusC6},
        {c.c6 - c.c2PlusC6, c.c6},
        {{c.c1PlusC3MinusC5MinusC7 - c.c3MinusC7 + c3 - c.c3MinusC5, c3, c3 - c.c3MinusC5, c3 - c.c3MinusC7},
         {c3, c.c1PlusC3PlusC5MinusC7 - c.c1PlusC3 + c3 - c.c3PlusC5, c3 - c.c1PlusC3, c3 - c.c3PlusC5},
         {c3 - c.c3MinusC5, c3 - c.c1PlusC3, c.c1PlusC3MinusC5PlusC7 - c.c1PlusC3 + c3 - c.c3MinusC5, c3},
         {c3 - c.c3MinusC7, c3 - c.c3PlusC5, c3, c.minusC1PlusC3PlusC5MinusC7 - c.c3MinusC7 + c3 - c.c3PlusC5}}};
}

// The filter's, by the names the inverse transform and the flat block use.
inline constexpr OutputWeights kFilterWeights = WeightsOf(kFilterForward);
inline constexpr const int32_t (&kEven2)[2] = kFilterWeights.even2;  // 4433, 10702
inline constexpr const int32_t (&kEven6)[2] = kFilterWeights.even6;  // -10703, 4433
inline constexpr const int32_t (&kOdd)[4][4] = kFilterWeights.odd;

// The figures the vector code's comments quote: within one of
// 2^13 sqrt2 ck (11363.1, 10703.4, 9632.8, 6436.6, 4433.5, 2260.2), as a
// DCT's weights should be.
static_assert(kEven2[0] == 4433 && kEven2[1] == 10702, "even output 2");
static_assert(kEven6[0] == -10703 && kEven6[1] == 4433, "even output 6");
static_assert(kOdd[0][0] == 11362 && kOdd[0][1] == 9632 && kOdd[0][2] == 6436 && kOdd[0][3] == 2260, "output 1");
static_assert(kOdd[1][0] == 9632 && kOdd[1][1] == -2261 && kOdd[1][2] == -11363 && kOdd[1][3] == -6437, "output 3");
static_assert(kOdd[2][0] == 6436 && kOdd[2][1] == -11363 && kOdd[2][2] == 2260 && kOdd[2][3] == 9632, "output 5");
static_assert(kOdd[3][0] == 2260 && kOdd[3][1] == -6437 && kOdd[3][2] == 9632 && kOdd[3][3] == -11363, "output 7");

// A forward transform as the vector bodies take it.
template <const ForwardFactors& F>
struct TransformWeights {
    static constexpr OutputWeights kWeights = WeightsOf(F);
    static constexpr const int32_t (&kEven2)[2] = kWeights.even2;
    static constexpr const int32_t (&kEven6)[2] = kWeights.even6;
    static constexpr const int32_t (&kOdd)[4][4] = kWeights.odd;
    static constexpr int32_t kRowRounding = F.rowRounding;
    static constexpr int32_t kOutputFractionBits = F.outputFractionBits;
};
using FilterWeights = TransformWeights<kFilterForward>;
using AccurateWeights = TransformWeights<kAccurateForward>;

// Each factor checked against its real value at compile time: cosines by
// their Taylor series, sqrt(2) by Newton's method, both far more precise
// than the distance of any scaled factor from an integer (0.12 or more).
namespace derivation {

constexpr double kPi = 3.14159265358979323846;

constexpr double Cos(int k) {  // cos(k pi / 16) for k in 0..8
    const double x = k * kPi / 16, x2 = x * x;
    double term = 1, sum = 1;
    for (int n = 1; n < 20; ++n) {
        term *= -x2 / ((2 * n - 1) * (2 * n));
        sum += term;
    }
    return sum;
}

constexpr double Sqrt2() {
    double r = 1.5;
    for (int i = 0; i < 8; ++i) r = (r + 2 / r) / 2;
    return r;
}

// sqrt(2) x the sum of cosines, scaled by 2^13 and truncated toward zero
// (every factor is positive).
constexpr int32_t Fixed(double cosines) { return static_cast<int32_t>(Sqrt2() * cosines * kOne); }

static_assert(Fixed(Cos(6)) == kC6, "sqrt2 c6");
static_assert(Fixed(Cos(2) - Cos(6)) == kC2MinusC6, "sqrt2 (c2 - c6)");
static_assert(Fixed(Cos(2) + Cos(6)) == kC2PlusC6, "sqrt2 (c2 + c6)");
static_assert(Fixed(Cos(3)) == kC3, "sqrt2 c3");
static_assert(Fixed(Cos(3) - Cos(7)) == kC3MinusC7, "sqrt2 (c3 - c7)");
static_assert(Fixed(Cos(1) + Cos(3)) == kC1PlusC3, "sqrt2 (c1 + c3)");
static_assert(Fixed(Cos(3) + Cos(5)) == kC3PlusC5, "sqrt2 (c3 + c5)");
static_assert(Fixed(Cos(3) - Cos(5)) == kC3MinusC5, "sqrt2 (c3 - c5)");
static_assert(Fixed(Cos(1) + Cos(3) - Cos(5) - Cos(7)) == kC1PlusC3MinusC5MinusC7, "sqrt2 (c1 + c3 - c5 - c7)");
static_assert(Fixed(Cos(1) + Cos(3) + Cos(5) - Cos(7)) == kC1PlusC3PlusC5MinusC7, "sqrt2 (c1 + c3 + c5 - c7)");
static_assert(Fixed(Cos(1) + Cos(3) - Cos(5) + Cos(7)) == kC1PlusC3MinusC5PlusC7, "sqrt2 (c1 + c3 - c5 + c7)");
static_assert(Fixed(-Cos(1) + Cos(3) + Cos(5) - Cos(7)) == kMinusC1PlusC3PlusC5MinusC7, "sqrt2 (-c1 + c3 + c5 - c7)");

// The encoders' factors: the same real values rounded to nearest.
constexpr int32_t Rounded(double cosines) { return static_cast<int32_t>(Sqrt2() * cosines * kOne + 0.5); }

static_assert(Rounded(Cos(6)) == accurate::kC6 && Rounded(Cos(2) - Cos(6)) == accurate::kC2MinusC6 &&
                  Rounded(Cos(2) + Cos(6)) == accurate::kC2PlusC6 && Rounded(Cos(3)) == accurate::kC3 &&
                  Rounded(Cos(3) - Cos(7)) == accurate::kC3MinusC7 && Rounded(Cos(1) + Cos(3)) == accurate::kC1PlusC3 &&
                  Rounded(Cos(3) + Cos(5)) == accurate::kC3PlusC5 && Rounded(Cos(3) - Cos(5)) == accurate::kC3MinusC5,
              "the encoders' factors, even part and shared odd products");
static_assert(Rounded(Cos(1) + Cos(3) - Cos(5) - Cos(7)) == accurate::kC1PlusC3MinusC5MinusC7 &&
                  Rounded(Cos(1) + Cos(3) + Cos(5) - Cos(7)) == accurate::kC1PlusC3PlusC5MinusC7 &&
                  Rounded(Cos(1) + Cos(3) - Cos(5) + Cos(7)) == accurate::kC1PlusC3MinusC5PlusC7 &&
                  Rounded(-Cos(1) + Cos(3) + Cos(5) - Cos(7)) == accurate::kMinusC1PlusC3PlusC5MinusC7,
              "the encoders' factors, odd outputs");

}  // namespace derivation

}  // namespace dct
}  // namespace vardelk
