// The AVX2 family of the measure's kernels, compiled with AVX2 and FMA
// enabled (this file only) and filled only into tables whose flags allow it
// on a processor that has FMA: eight columns at a time down the columns,
// the four-output blocks of two rows at once along the rows, eight pixels
// at a time into XYB and through the statistics. Each lane computes what
// the plain kernel computes, a fused multiply-add where it rounds one once;
// the tails take the plain code.
#include "quality/ssimulacra2_kernels.h"

#if defined(VARDELK_HAVE_AVX2)
#include <immintrin.h>

#include <algorithm>

#include "quality/ssimulacra2_constants.h"
#endif

namespace vardelk {
namespace ssimulacra2 {

#if defined(VARDELK_HAVE_AVX2)
namespace {

// Along the rows: the four-output blocks of two rows at once, one row in
// each 128-bit half (the broadcasts stay within their half).
template <int Lane>
inline __m256 Broadcast(__m256 v) {
    return _mm256_shuffle_ps(v, v, _MM_SHUFFLE(Lane, Lane, Lane, Lane));
}

struct BlockCoefficients {
    __m256 in[3][4];  // in shifted up by 0..3 lanes, zeros below
    __m256 prev[3];
    __m256 prev2[3];
};

BlockCoefficients MakeBlockCoefficients() {
    const BlurCoefficients& c = Blur();
    BlockCoefficients b;
    for (int k = 0; k < 3; ++k) {
        for (int shift = 0; shift < 4; ++shift) {
            alignas(32) float lanes[8];
            for (int j = 0; j < 4; ++j) lanes[j] = lanes[j + 4] = j >= shift ? c.blockIn[k][j - shift] : 0.0f;
            b.in[k][shift] = _mm256_load_ps(lanes);
        }
        b.prev[k] = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(c.blockPrev[k]));
        b.prev2[k] = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(c.blockPrev2[k]));
    }
    return b;
}

void BlurRowPair(const float* in0, const float* in1, float* out0, float* out1, int32_t width,
                 const BlockCoefficients& b) {
    const int32_t radius = Blur().radius;
    float prev0[3] = {0, 0, 0}, prev20[3] = {0, 0, 0}, prev1[3] = {0, 0, 0}, prev21[3] = {0, 0, 0};
    int32_t n = 1 - radius;
    for (; n < std::min(kFirstBlockOutput, width); ++n) {
        PlainBlurOutput(in0, width, n, prev0, prev20, out0);
        PlainBlurOutput(in1, width, n, prev1, prev21, out1);
    }
    if (n < width - radius - 2) {
        __m256 prev[3], prev2[3];
        for (int k = 0; k < 3; ++k) {
            prev[k] = _mm256_setr_m128(_mm_set1_ps(prev0[k]), _mm_set1_ps(prev1[k]));
            prev2[k] = _mm256_setr_m128(_mm_set1_ps(prev20[k]), _mm_set1_ps(prev21[k]));
        }
        for (; n < width - radius - 2; n += 4) {
            const __m256 left =
                _mm256_setr_m128(_mm_loadu_ps(in0 + n - radius - 1), _mm_loadu_ps(in1 + n - radius - 1));
            const __m256 right =
                _mm256_setr_m128(_mm_loadu_ps(in0 + n + radius - 1), _mm_loadu_ps(in1 + n + radius - 1));
            const __m256 s = _mm256_add_ps(left, right);
            const __m256 s0 = Broadcast<0>(s), s1 = Broadcast<1>(s), s2 = Broadcast<2>(s), s3 = Broadcast<3>(s);
            __m256 y[3];
            for (int k = 0; k < 3; ++k) {
                __m256 v = _mm256_mul_ps(s0, b.in[k][0]);
                v = _mm256_fmadd_ps(b.in[k][1], s1, v);
                v = _mm256_fmadd_ps(b.in[k][2], s2, v);
                v = _mm256_fmadd_ps(b.in[k][3], s3, v);
                v = _mm256_fmadd_ps(b.prev2[k], prev2[k], v);
                y[k] = _mm256_fmadd_ps(b.prev[k], prev[k], v);
                prev2[k] = Broadcast<2>(y[k]);
                prev[k] = Broadcast<3>(y[k]);
            }
            const __m256 o = _mm256_add_ps(y[0], _mm256_add_ps(y[1], y[2]));
            _mm_storeu_ps(out0 + n, _mm256_castps256_ps128(o));
            _mm_storeu_ps(out1 + n, _mm256_extractf128_ps(o, 1));
        }
        for (int k = 0; k < 3; ++k) {
            prev0[k] = _mm256_cvtss_f32(prev[k]);
            prev20[k] = _mm256_cvtss_f32(prev2[k]);
            prev1[k] = _mm_cvtss_f32(_mm256_extractf128_ps(prev[k], 1));
            prev21[k] = _mm_cvtss_f32(_mm256_extractf128_ps(prev2[k], 1));
        }
    }
    for (; n < width; ++n) {
        PlainBlurOutput(in0, width, n, prev0, prev20, out0);
        PlainBlurOutput(in1, width, n, prev1, prev21, out1);
    }
}

void BlurRows(const float* in, ptrdiff_t inStride, float* out, ptrdiff_t outStride, int32_t width, int32_t rows) {
    static const BlockCoefficients coefficients = MakeBlockCoefficients();
    int32_t r = 0;
    for (; r + 2 <= rows; r += 2)
        BlurRowPair(in + r * inStride, in + (r + 1) * inStride, out + r * outStride, out + (r + 1) * outStride, width,
                    coefficients);
    if (r < rows) PlainBlurRow(in + r * inStride, out + r * outStride, width);
}

void BlurColumnsStep(const float* newer, const float* older, float* state, float* out, int32_t width) {
    const BlurCoefficients& co = Blur();
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256 s = _mm256_add_ps(_mm256_loadu_ps(older + x), _mm256_loadu_ps(newer + x));
        __m256 y[3];
        for (int k = 0; k < 3; ++k) {
            float* prev = state + 2 * k * width;
            const __m256 p1 = _mm256_loadu_ps(prev + x), p2 = _mm256_loadu_ps(prev + width + x);
            y[k] = _mm256_fmadd_ps(_mm256_set1_ps(co.feed[k]), s,
                                   _mm256_fnmsub_ps(_mm256_set1_ps(co.feedback[k]), p1, p2));
            _mm256_storeu_ps(prev + width + x, p1);
            _mm256_storeu_ps(prev + x, y[k]);
        }
        if (out != nullptr) _mm256_storeu_ps(out + x, _mm256_add_ps(y[0], _mm256_add_ps(y[1], y[2])));
    }
    PlainBlurColumnsStep(newer, older, state, out, x, width);
}

inline __m256 CubeRootAndAdd(__m256 x, __m256 add) {
    const __m256 third = _mm256_mul_ps(x, _mm256_set1_ps(kThird));
    const __m256i bits = _mm256_castps_si256(x);
    const __m256i guess =
        _mm256_sub_epi32(_mm256_set1_epi32(kInverseCubeRootBias),
                         _mm256_mullo_epi32(_mm256_srai_epi32(bits, 23), _mm256_set1_epi32(kInverseCubeRootStep)));
    const __m256i isZero = _mm256_cmpeq_epi32(bits, _mm256_setzero_si256());
    __m256 r = _mm256_castsi256_ps(_mm256_andnot_si256(isZero, guess));
    for (int i = 0; i < 3; ++i) {
        const __m256 r2 = _mm256_mul_ps(r, r);
        r = _mm256_fnmadd_ps(third, _mm256_mul_ps(r2, r2), _mm256_mul_ps(_mm256_set1_ps(kFourThirds), r));
    }
    __m256 r2 = _mm256_mul_ps(r, r);
    r = _mm256_fmadd_ps(_mm256_set1_ps(kThird), _mm256_fnmadd_ps(x, _mm256_mul_ps(r2, r2), r), r);
    r2 = _mm256_mul_ps(r, r);
    return _mm256_fmadd_ps(r2, x, add);
}

inline __m256 Mix(__m256 r, __m256 g, __m256 b, float m0, float m1, float m2) {
    const __m256 m = _mm256_fmadd_ps(
        _mm256_set1_ps(m0), r,
        _mm256_fmadd_ps(_mm256_set1_ps(m1), g, _mm256_fmadd_ps(_mm256_set1_ps(m2), b, _mm256_set1_ps(kMixBias))));
    // Negative mixtures become 0 (a negative zero stays).
    return _mm256_andnot_ps(_mm256_cmp_ps(m, _mm256_setzero_ps(), _CMP_LT_OQ), m);
}

void ToXyb(const float* r, const float* g, const float* b, float* x, float* y, float* bMinusY, int32_t count) {
    const __m256 half = _mm256_set1_ps(0.5f), bias = _mm256_set1_ps(-kMixBiasCubeRoot);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256 vr = _mm256_loadu_ps(r + i), vg = _mm256_loadu_ps(g + i), vb = _mm256_loadu_ps(b + i);
        const __m256 c0 = CubeRootAndAdd(Mix(vr, vg, vb, kMix00, kMix01, kMix02), bias);
        const __m256 c1 = CubeRootAndAdd(Mix(vr, vg, vb, kMix10, kMix11, kMix12), bias);
        const __m256 c2 = CubeRootAndAdd(Mix(vr, vg, vb, kMix20, kMix21, kMix22), bias);
        const __m256 luma = _mm256_mul_ps(half, _mm256_add_ps(c0, c1));
        _mm256_storeu_ps(
            x + i, _mm256_add_ps(_mm256_mul_ps(_mm256_mul_ps(half, _mm256_sub_ps(c0, c1)), _mm256_set1_ps(kXScale)),
                                 _mm256_set1_ps(kXOffset)));
        _mm256_storeu_ps(y + i, _mm256_add_ps(luma, _mm256_set1_ps(kYOffset)));
        _mm256_storeu_ps(bMinusY + i, _mm256_add_ps(_mm256_sub_ps(c2, luma), _mm256_set1_ps(kBOffset)));
    }
    PlainToXyb(r + i, g + i, b + i, x + i, y + i, bMinusY + i, count - i);
}

inline __m256 Abs(__m256 v) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), v); }

inline void Accumulate(__m256d e, double* sum, double* fourth) {
    const __m256d sq = _mm256_mul_pd(e, e);
    _mm256_storeu_pd(sum, _mm256_add_pd(_mm256_loadu_pd(sum), e));
    _mm256_storeu_pd(fourth, _mm256_add_pd(_mm256_loadu_pd(fourth), _mm256_mul_pd(sq, sq)));
}

void RowStatistics(const StatisticsRow& row, int32_t width, RowSums& sums) {
    const __m256d one = _mm256_set1_pd(1.0), zero = _mm256_setzero_pd(), sign = _mm256_set1_pd(-0.0);
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256 mu1 = _mm256_loadu_ps(row.originalMean + x), mu2 = _mm256_loadu_ps(row.distortedMean + x);
        const __m256 diff = _mm256_sub_ps(mu1, mu2);
        const __m256 numM = _mm256_sub_ps(_mm256_set1_ps(1.0f), _mm256_mul_ps(diff, diff));
        const __m256 numS = _mm256_add_ps(
            _mm256_mul_ps(_mm256_set1_ps(2.0f), _mm256_sub_ps(_mm256_loadu_ps(row.cross + x), _mm256_mul_ps(mu1, mu2))),
            _mm256_set1_ps(kSsimC2));
        const __m256 denS = _mm256_add_ps(
            _mm256_add_ps(_mm256_sub_ps(_mm256_loadu_ps(row.originalSquares + x), _mm256_mul_ps(mu1, mu1)),
                          _mm256_sub_ps(_mm256_loadu_ps(row.distortedSquares + x), _mm256_mul_ps(mu2, mu2))),
            _mm256_set1_ps(kSsimC2));
        const __m256 ratio = _mm256_div_ps(_mm256_mul_ps(numM, numS), denS);
        const __m256 edge1 = Abs(_mm256_sub_ps(_mm256_loadu_ps(row.original + x), mu1));
        const __m256 edge2 = Abs(_mm256_sub_ps(_mm256_loadu_ps(row.distorted + x), mu2));
        for (int half = 0; half < 2; ++half) {
            const __m128 r = half == 0 ? _mm256_castps256_ps128(ratio) : _mm256_extractf128_ps(ratio, 1);
            const __m128 e1 = half == 0 ? _mm256_castps256_ps128(edge1) : _mm256_extractf128_ps(edge1, 1);
            const __m128 e2 = half == 0 ? _mm256_castps256_ps128(edge2) : _mm256_extractf128_ps(edge2, 1);
            const __m256d ssim = _mm256_max_pd(zero, _mm256_sub_pd(one, _mm256_cvtps_pd(r)));
            const __m256d d = _mm256_sub_pd(
                _mm256_div_pd(_mm256_add_pd(one, _mm256_cvtps_pd(e2)), _mm256_add_pd(one, _mm256_cvtps_pd(e1))), one);
            const __m256d ringing = _mm256_max_pd(zero, d);
            const __m256d blur = _mm256_max_pd(zero, _mm256_xor_pd(d, sign));
            const int32_t at = 4 * half;
            Accumulate(ssim, &sums[0][at], &sums[1][at]);
            Accumulate(ringing, &sums[2][at], &sums[3][at]);
            Accumulate(blur, &sums[4][at], &sums[5][at]);
        }
    }
    PlainRowStatistics(row, x, width, sums);
}

}  // namespace

void FillAvx2Kernels(KernelTable& table) {
    table.rowStatistics = RowStatistics;
    // AVX2 without FMA exists only in a few low-power processors; they keep
    // the plain blur and conversion.
    if (!__builtin_cpu_supports("fma")) return;
    table.blurRows = BlurRows;
    table.blurColumnsStep = BlurColumnsStep;
    table.toXyb = ToXyb;
}
#else
void FillAvx2Kernels(KernelTable&) {}
#endif

}  // namespace ssimulacra2
}  // namespace vardelk
