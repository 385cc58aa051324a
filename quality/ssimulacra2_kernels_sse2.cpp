// The SSE2 family of the measure's kernels: the statistics, four pixels at
// a time in float and in pairs of doubles, each lane computing what the
// plain kernel computes for its pixel, in the same order; the tail takes
// the plain code. The blur and the XYB conversion are fixed to fused
// multiply-adds, which SSE2 lacks: they stay plain here. A build without
// SSE2 fills nothing from here.
#include "quality/ssimulacra2_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include "quality/ssimulacra2_constants.h"
#endif

namespace vardelk {
namespace ssimulacra2 {

#if defined(__SSE2__)
namespace {

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

void FillSse2Kernels(KernelTable& table) { table.rowStatistics = RowStatistics; }
#else
void FillSse2Kernels(KernelTable&) {}
#endif

}  // namespace ssimulacra2
}  // namespace vardelk
