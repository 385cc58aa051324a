// The SSE2 family of the measure's kernels, four lanes at a time: four rows
// side by side along the rows, four columns down the columns, four pixels
// into XYB and through the statistics. Each lane computes what the plain
// kernel computes for its output, in the same order; the exact fused
// multiply-adds that SSE2 lacks are made in pairs of doubles
// (ssimulacra2_fma_sse2.h). The lab's SIMD core compiles this file to wasm
// SIMD. A build without SSE2 fills nothing from here.
#include "quality/ssimulacra2_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <algorithm>

#include "quality/ssimulacra2_constants.h"
#include "quality/ssimulacra2_fma_sse2.h"
#endif

namespace vardelk {
namespace ssimulacra2 {

#if defined(__SSE2__)
namespace {

inline __m128 Splat(float v) { return _mm_set1_ps(v); }
inline __m128 Negate(__m128 v) { return _mm_xor_ps(v, _mm_set1_ps(-0.0f)); }

// Along the rows, four rows at once, lane i carrying row i: the resonators'
// state and every output are the plain kernel's for that row, single
// outputs and four-output blocks alike (ssimulacra2_kernels.h). Two kinds
// of multiply-add are made more cheaply, with the same result:
// - A coefficient of +-1 (the third resonator's feedback rounds to 1e-16,
//   so four of its block coefficients are) makes fma(+-1, b, c) the float
//   add c +- b, one rounding of the same exact sum. These sums, exact in
//   double, are also the ones often halfway between two floats.
// - In a block, output j's multiply-adds by the pair sums s_i with i > j
//   have a zero coefficient: fma(0, s_i, v) is exactly v + 0 s_i, signs of
//   zeros and all, and a run of such adds gives v plus the zeros' sum in
//   any order (a sum of zeros is -0 only when every term is). So each
//   output adds z_j = 0 s_(j+1) + (... + 0 s_3) once.
struct Coefficient {
    Wide wide;
    int unit;  // +1 or -1 when the coefficient is, else 0
};

Coefficient MakeCoefficient(float v) { return {Widen(v), v == 1.0f ? 1 : v == -1.0f ? -1 : 0}; }

inline __m128 MultiplyAdd(const Coefficient& a, const Wide& wideB, __m128 b, __m128 c) {
    if (a.unit > 0) return _mm_add_ps(c, b);
    if (a.unit < 0) return _mm_sub_ps(c, b);
    return FusedMultiplyAdd4(a.wide, wideB, Widen(c));
}

struct RowCoefficients {
    __m128 in[3][4];
    Wide inWide[3][4];
    Coefficient prev[3][4], prev2[3][4];
};

RowCoefficients MakeRowCoefficients() {
    const BlurCoefficients& c = Blur();
    RowCoefficients r;
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 4; ++j) {
            r.in[k][j] = Splat(c.blockIn[k][j]);
            r.inWide[k][j] = Widen(c.blockIn[k][j]);
            r.prev[k][j] = MakeCoefficient(c.blockPrev[k][j]);
            r.prev2[k][j] = MakeCoefficient(c.blockPrev2[k][j]);
        }
    return r;
}

class FourRows {
public:
    FourRows(const float* const in[4], float* const out[4], int32_t width)
        : c_(Coefficients()), in_(in), out_(out), width_(width), radius_(Blur().radius) {}

    void Run() {
        int32_t n = 1 - radius_;
        for (; n < std::min(kFirstBlockOutput, width_); ++n) Single(n);
        for (; n < width_ - radius_ - 2; n += 4) Block(n);
        for (; n < width_; ++n) Single(n);
    }

private:
    static const RowCoefficients& Coefficients() {
        static const RowCoefficients coefficients = MakeRowCoefficients();
        return coefficients;
    }

    void Single(int32_t n) {
        const int32_t left = n - radius_ - 1, right = n + radius_ - 1;
        alignas(16) float lanes[4];
        for (int i = 0; i < 4; ++i)
            lanes[i] = (left >= 0 ? in_[i][left] : 0.0f) + (right < width_ ? in_[i][right] : 0.0f);
        const __m128 s = _mm_load_ps(lanes);
        __m128 y[3];
        for (int k = 0; k < 3; ++k) {
            const __m128 v = MultiplyAdd(c_.prev2[k][0], Widen(prev2_[k]), prev2_[k], _mm_mul_ps(s, c_.in[k][0]));
            y[k] = MultiplyAdd(c_.prev[k][0], Widen(prev_[k]), prev_[k], v);
            prev2_[k] = prev_[k];
            prev_[k] = y[k];
        }
        if (n < 0) return;
        _mm_store_ps(lanes, _mm_add_ps(y[0], _mm_add_ps(y[1], y[2])));
        for (int i = 0; i < 4; ++i) out_[i][n] = lanes[i];
    }

    void Block(int32_t n) {
        const int32_t left = n - radius_ - 1, right = n + radius_ - 1;
        __m128 s[4];
        for (int i = 0; i < 4; ++i) s[i] = _mm_add_ps(_mm_loadu_ps(in_[i] + left), _mm_loadu_ps(in_[i] + right));
        _MM_TRANSPOSE4_PS(s[0], s[1], s[2], s[3]);  // s[i]: the pair sum of output n + i of each row
        const Wide wide[4] = {Widen(s[0]), Widen(s[1]), Widen(s[2]), Widen(s[3])};
        __m128 zeros[3];
        zeros[2] = _mm_mul_ps(_mm_setzero_ps(), s[3]);
        zeros[1] = _mm_add_ps(_mm_mul_ps(_mm_setzero_ps(), s[2]), zeros[2]);
        zeros[0] = _mm_add_ps(_mm_mul_ps(_mm_setzero_ps(), s[1]), zeros[1]);
        Wide prev[3], prev2[3];
        for (int k = 0; k < 3; ++k) {
            prev[k] = Widen(prev_[k]);
            prev2[k] = Widen(prev2_[k]);
        }
        // Step by step over the twelve chains (three resonators, four
        // outputs), so that they overlap.
        __m128 y[3][4];
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 4; ++j) y[k][j] = _mm_mul_ps(s[0], c_.in[k][j]);
        for (int i = 1; i < 4; ++i)
            for (int k = 0; k < 3; ++k)
                for (int j = i; j < 4; ++j) y[k][j] = FusedMultiplyAdd4(c_.inWide[k][j - i], wide[i], Widen(y[k][j]));
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 3; ++j) y[k][j] = _mm_add_ps(y[k][j], zeros[j]);
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 4; ++j) y[k][j] = MultiplyAdd(c_.prev2[k][j], prev2[k], prev2_[k], y[k][j]);
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 4; ++j) y[k][j] = MultiplyAdd(c_.prev[k][j], prev[k], prev_[k], y[k][j]);
        for (int k = 0; k < 3; ++k) {
            prev2_[k] = y[k][2];
            prev_[k] = y[k][3];
        }
        __m128 o[4];
        for (int j = 0; j < 4; ++j) o[j] = _mm_add_ps(y[0][j], _mm_add_ps(y[1][j], y[2][j]));
        _MM_TRANSPOSE4_PS(o[0], o[1], o[2], o[3]);  // o[i]: outputs n..n+3 of row i
        for (int i = 0; i < 4; ++i) _mm_storeu_ps(out_[i] + n, o[i]);
    }

    const RowCoefficients& c_;
    const float* const* in_;
    float* const* out_;
    int32_t width_, radius_;
    __m128 prev_[3] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    __m128 prev2_[3] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
};

// Rows in fours; a last group of fewer rows repeats its last row in the
// spare lanes, which write the same outputs again.
void BlurRows(const float* in, ptrdiff_t inStride, float* out, ptrdiff_t outStride, int32_t width, int32_t rows) {
    for (int32_t r = 0; r < rows; r += 4) {
        const float* ins[4];
        float* outs[4];
        for (int32_t i = 0; i < 4; ++i) {
            const int32_t row = std::min(r + i, rows - 1);
            ins[i] = in + row * inStride;
            outs[i] = out + row * outStride;
        }
        FourRows(ins, outs, width).Run();
    }
}

// Down the columns: columns x .. x + 4 Groups - 1, the inner multiply-adds
// of every group and resonator first, then the outer ones, so that the
// groups' chains overlap (two groups measured 15% faster than one in wasm).
template <int Groups>
inline void StepColumns(const float* newer, const float* older, float* state, float* out, int32_t width, int32_t x,
                        const Wide feed[3], const Wide feedback[3]) {
    Wide s[Groups];
    __m128 p1[3][Groups], inner[3][Groups], y[3][Groups];
    for (int g = 0; g < Groups; ++g)
        s[g] = Widen(_mm_add_ps(_mm_loadu_ps(older + x + 4 * g), _mm_loadu_ps(newer + x + 4 * g)));
    for (int k = 0; k < 3; ++k)
        for (int g = 0; g < Groups; ++g) {
            const float* prev = state + 2 * k * width + x + 4 * g;
            p1[k][g] = _mm_loadu_ps(prev);
            inner[k][g] = FusedMultiplyAdd4(feedback[k], Widen(p1[k][g]), Widen(Negate(_mm_loadu_ps(prev + width))));
        }
    for (int k = 0; k < 3; ++k)
        for (int g = 0; g < Groups; ++g) {
            float* prev = state + 2 * k * width + x + 4 * g;
            y[k][g] = FusedMultiplyAdd4(feed[k], s[g], Widen(inner[k][g]));
            _mm_storeu_ps(prev + width, p1[k][g]);
            _mm_storeu_ps(prev, y[k][g]);
        }
    if (out != nullptr)
        for (int g = 0; g < Groups; ++g)
            _mm_storeu_ps(out + x + 4 * g, _mm_add_ps(y[0][g], _mm_add_ps(y[1][g], y[2][g])));
}

// Eight columns at a time, then four, the last ones one at a time.
void BlurColumnsStep(const float* newer, const float* older, float* state, float* out, int32_t width) {
    const BlurCoefficients& c = Blur();
    const Wide feed[3] = {Widen(c.feed[0]), Widen(c.feed[1]), Widen(c.feed[2])};
    const Wide feedback[3] = {Widen(-c.feedback[0]), Widen(-c.feedback[1]), Widen(-c.feedback[2])};
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) StepColumns<2>(newer, older, state, out, width, x, feed, feedback);
    if (x + 4 <= width) {
        StepColumns<1>(newer, older, state, out, width, x, feed, feedback);
        x += 4;
    }
    PlainBlurColumnsStep(newer, older, state, out, x, width);
}

// The low 32 bits of a * b in each lane (SSE2 multiplies lanes 0 and 2 or
// 1 and 3 into 64 bits).
inline __m128i MultiplyLow(__m128i a, __m128i b) {
    const __m128i even = _mm_mul_epu32(a, b);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// The plain CubeRootAndAdd per lane, for the three mixtures at once, step
// by step, so that their chains overlap: the guess from the exponent bits
// (0 for x = +0), three Newton steps, the last one, x r^2 + add.
inline void CubeRootsAndAdd(const __m128 x[3], const Wide& add, __m128 out[3]) {
    Wide wideX[3], minusThird[3];
    __m128 r[3];
    for (int c = 0; c < 3; ++c) {
        wideX[c] = Widen(x[c]);
        minusThird[c] = Widen(Negate(_mm_mul_ps(x[c], Splat(kThird))));
        const __m128i bits = _mm_castps_si128(x[c]);
        const __m128i guess =
            _mm_sub_epi32(_mm_set1_epi32(kInverseCubeRootBias),
                          MultiplyLow(_mm_srai_epi32(bits, 23), _mm_set1_epi32(kInverseCubeRootStep)));
        r[c] = _mm_castsi128_ps(_mm_andnot_si128(_mm_cmpeq_epi32(bits, _mm_setzero_si128()), guess));
    }
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 3; ++c) {
            const __m128 r2 = _mm_mul_ps(r[c], r[c]);
            r[c] = FusedMultiplyAdd4(minusThird[c], Widen(_mm_mul_ps(r2, r2)),
                                     Widen(_mm_mul_ps(Splat(kFourThirds), r[c])));
        }
    __m128 step[3];
    for (int c = 0; c < 3; ++c) {
        const __m128 r2 = _mm_mul_ps(r[c], r[c]);
        step[c] = FusedMultiplyAdd4(Widen(Negate(x[c])), Widen(_mm_mul_ps(r2, r2)), Widen(r[c]));
    }
    for (int c = 0; c < 3; ++c) r[c] = FusedMultiplyAdd4(Widen(kThird), Widen(step[c]), Widen(r[c]));
    for (int c = 0; c < 3; ++c) out[c] = FusedMultiplyAdd4(Widen(_mm_mul_ps(r[c], r[c])), wideX[c], add);
}

// A mixture, negative ones 0 (a negative zero stays, as in the plain code).
inline __m128 Mix(const Wide& r, const Wide& g, const Wide& b, float m0, float m1, float m2) {
    const __m128 blue = FusedMultiplyAdd4(Widen(m2), b, Widen(kMixBias));
    const __m128 m = FusedMultiplyAdd4(Widen(m0), r, Widen(FusedMultiplyAdd4(Widen(m1), g, Widen(blue))));
    return _mm_andnot_ps(_mm_cmplt_ps(m, _mm_setzero_ps()), m);
}

void ToXyb(const float* r, const float* g, const float* b, float* x, float* y, float* bMinusY, int32_t count) {
    const __m128 half = Splat(0.5f);
    const Wide bias = Widen(-kMixBiasCubeRoot);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Wide vr = Widen(_mm_loadu_ps(r + i)), vg = Widen(_mm_loadu_ps(g + i)), vb = Widen(_mm_loadu_ps(b + i));
        const __m128 mix[3] = {Mix(vr, vg, vb, kMix00, kMix01, kMix02), Mix(vr, vg, vb, kMix10, kMix11, kMix12),
                               Mix(vr, vg, vb, kMix20, kMix21, kMix22)};
        __m128 roots[3];
        CubeRootsAndAdd(mix, bias, roots);
        const __m128 c0 = roots[0], c1 = roots[1], c2 = roots[2];
        const __m128 luma = _mm_mul_ps(half, _mm_add_ps(c0, c1));
        _mm_storeu_ps(x + i,
                      _mm_add_ps(_mm_mul_ps(_mm_mul_ps(half, _mm_sub_ps(c0, c1)), Splat(kXScale)), Splat(kXOffset)));
        _mm_storeu_ps(y + i, _mm_add_ps(luma, Splat(kYOffset)));
        _mm_storeu_ps(bMinusY + i, _mm_add_ps(_mm_sub_ps(c2, luma), Splat(kBOffset)));
    }
    PlainToXyb(r + i, g + i, b + i, x + i, y + i, bMinusY + i, count - i);
}

inline __m128 Abs(__m128 v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }

// Adds e and e^4 of two pixels into the lanes at `lane`.
inline void Accumulate(__m128d e, double* sum, double* fourth) {
    const __m128d sq = _mm_mul_pd(e, e);
    _mm_storeu_pd(sum, _mm_add_pd(_mm_loadu_pd(sum), e));
    _mm_storeu_pd(fourth, _mm_add_pd(_mm_loadu_pd(fourth), _mm_mul_pd(sq, sq)));
}

void RowStatistics(const StatisticsRow& row, int32_t width, RowSums& sums) {
    const __m128d one = _mm_set1_pd(1.0), zero = _mm_setzero_pd();
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128 mu1 = _mm_loadu_ps(row.originalMean + x), mu2 = _mm_loadu_ps(row.distortedMean + x);
        const __m128 diff = _mm_sub_ps(mu1, mu2);
        const __m128 numM = _mm_sub_ps(_mm_set1_ps(1.0f), _mm_mul_ps(diff, diff));
        const __m128 numS =
            _mm_add_ps(_mm_mul_ps(_mm_set1_ps(2.0f), _mm_sub_ps(_mm_loadu_ps(row.cross + x), _mm_mul_ps(mu1, mu2))),
                       _mm_set1_ps(kSsimC2));
        const __m128 denS =
            _mm_add_ps(_mm_add_ps(_mm_sub_ps(_mm_loadu_ps(row.originalSquares + x), _mm_mul_ps(mu1, mu1)),
                                  _mm_sub_ps(_mm_loadu_ps(row.distortedSquares + x), _mm_mul_ps(mu2, mu2))),
                       _mm_set1_ps(kSsimC2));
        const __m128 ratio = _mm_div_ps(_mm_mul_ps(numM, numS), denS);
        const __m128 edge1 = Abs(_mm_sub_ps(_mm_loadu_ps(row.original + x), mu1));
        const __m128 edge2 = Abs(_mm_sub_ps(_mm_loadu_ps(row.distorted + x), mu2));
        const int32_t lane = x % kLanes;
        for (int half = 0; half < 2; ++half) {
            const __m128 r = half == 0 ? ratio : _mm_movehl_ps(ratio, ratio);
            const __m128 e1 = half == 0 ? edge1 : _mm_movehl_ps(edge1, edge1);
            const __m128 e2 = half == 0 ? edge2 : _mm_movehl_ps(edge2, edge2);
            const __m128d ssim = _mm_max_pd(zero, _mm_sub_pd(one, _mm_cvtps_pd(r)));
            const __m128d d =
                _mm_sub_pd(_mm_div_pd(_mm_add_pd(one, _mm_cvtps_pd(e2)), _mm_add_pd(one, _mm_cvtps_pd(e1))), one);
            const __m128d ringing = _mm_max_pd(zero, d);
            const __m128d blur = _mm_max_pd(zero, _mm_xor_pd(d, _mm_set1_pd(-0.0)));
            const int32_t at = lane + 2 * half;
            Accumulate(ssim, &sums[0][at], &sums[1][at]);
            Accumulate(ringing, &sums[2][at], &sums[3][at]);
            Accumulate(blur, &sums[4][at], &sums[5][at]);
        }
    }
    PlainRowStatistics(row, x, width, sums);
}

}  // namespace

void FillSse2Kernels(KernelTable& table) { table = KernelTable{BlurRows, BlurColumnsStep, ToXyb, RowStatistics}; }
#else
void FillSse2Kernels(KernelTable&) {}
#endif

}  // namespace ssimulacra2
}  // namespace vardelk
