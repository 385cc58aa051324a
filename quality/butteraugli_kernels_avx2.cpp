// The AVX2 family of the Butteraugli kernels: the SSE2 family's loops
// (butteraugli_kernels_sse2.cpp) eight outputs at a time. Each lane
// computes what the plain kernel computes for its output, in the same
// order. A build without AVX2 fills nothing from here.
#include "quality/butteraugli_kernels.h"

#if defined(VARDELK_HAVE_AVX2)
#include <immintrin.h>
#endif

namespace vardelk {
namespace butteraugli {

#if defined(VARDELK_HAVE_AVX2)
namespace {

constexpr int32_t kLanes = 8;

// Opsin dynamics, eight pixels at a time (butteraugli_kernels.h); every
// maximum is taken against a positive constant, so the lanes agree with
// the plain kernel's std::max.
inline __m256 Mixture(int32_t i, __m256 r, __m256 g, __m256 b) {
    const __m256 inner =
        _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(kMix[4 * i + 2]), b), _mm256_set1_ps(kMix[4 * i + 3]));
    return _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(kMix[4 * i]), r),
                         _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(kMix[4 * i + 1]), g), inner));
}

inline __m256 FastLog2(__m256 x) {
    const __m256i bits = _mm256_castps_si256(x);
    const __m256i exponent = _mm256_srai_epi32(_mm256_sub_epi32(bits, _mm256_set1_epi32(kLog2Offset)), 23);
    const __m256 m = _mm256_sub_ps(_mm256_castsi256_ps(_mm256_sub_epi32(bits, _mm256_slli_epi32(exponent, 23))),
                                   _mm256_set1_ps(1.0f));
    const __m256 p = _mm256_add_ps(
        _mm256_mul_ps(_mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(kLog2P[2]), m), _mm256_set1_ps(kLog2P[1])), m),
        _mm256_set1_ps(kLog2P[0]));
    const __m256 q = _mm256_add_ps(
        _mm256_mul_ps(_mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(kLog2Q[2]), m), _mm256_set1_ps(kLog2Q[1])), m),
        _mm256_set1_ps(kLog2Q[0]));
    return _mm256_add_ps(_mm256_div_ps(p, q), _mm256_cvtepi32_ps(exponent));
}

void OpsinRow(const float* const rgb[3], const float* const blurred[3], float* const xyb[3], int32_t count) {
    const __m256 target = _mm256_set1_ps(kIntensityTarget), floor = _mm256_set1_ps(kSensitivityFloor);
    int32_t x = 0;
    for (; x + kLanes <= count; x += kLanes) {
        __m256 mixed[3];
        for (int32_t i = 0; i < 3; ++i) {
            const __m256 pre = Mixture(i, _mm256_mul_ps(_mm256_loadu_ps(blurred[0] + x), target),
                                       _mm256_mul_ps(_mm256_loadu_ps(blurred[1] + x), target),
                                       _mm256_mul_ps(_mm256_loadu_ps(blurred[2] + x), target));
            const __m256 n = _mm256_max_ps(_mm256_max_ps(pre, _mm256_set1_ps(kMix[4 * i + 3])), floor);
            const __m256 gamma = _mm256_add_ps(
                _mm256_mul_ps(_mm256_set1_ps(kGammaMul), FastLog2(_mm256_add_ps(_mm256_max_ps(n, _mm256_setzero_ps()),
                                                                                _mm256_set1_ps(kGammaBias)))),
                _mm256_set1_ps(kGammaAdd));
            const __m256 sensitivity = _mm256_max_ps(_mm256_div_ps(gamma, n), floor);
            const __m256 cur = Mixture(i, _mm256_mul_ps(_mm256_loadu_ps(rgb[0] + x), target),
                                       _mm256_mul_ps(_mm256_loadu_ps(rgb[1] + x), target),
                                       _mm256_mul_ps(_mm256_loadu_ps(rgb[2] + x), target));
            mixed[i] = _mm256_max_ps(_mm256_mul_ps(cur, sensitivity), _mm256_set1_ps(kMix[4 * i + 3]));
        }
        _mm256_storeu_ps(xyb[0] + x, _mm256_sub_ps(mixed[0], mixed[1]));
        _mm256_storeu_ps(xyb[1] + x, _mm256_add_ps(mixed[0], mixed[1]));
        _mm256_storeu_ps(xyb[2] + x, mixed[2]);
    }
    if (x < count) {
        const float* r[3] = {rgb[0] + x, rgb[1] + x, rgb[2] + x};
        const float* b[3] = {blurred[0] + x, blurred[1] + x, blurred[2] + x};
        float* o[3] = {xyb[0] + x, xyb[1] + x, xyb[2] + x};
        KernelTableFor(0).opsinRow(r, b, o, count - x);
    }
}

// The pair sums of a window whose tap j of the left half is at w[j * step]
// (eight neighbouring outputs in the lanes).
inline __m256 Window(const float* w, ptrdiff_t step, const BlurKernel& k) {
    __m256 sums[4] = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()};
    for (int32_t j = 0; j < k.half; ++j) {
        const __m256 pair =
            _mm256_mul_ps(_mm256_add_ps(_mm256_loadu_ps(w + j * step), _mm256_loadu_ps(w + (k.size - 1 - j) * step)),
                          _mm256_set1_ps(k.scaled[j]));
        sums[j % 4] = j < 4 ? pair : _mm256_add_ps(sums[j % 4], pair);
    }
    __m256 total = _mm256_mul_ps(_mm256_loadu_ps(w + k.half * step), _mm256_set1_ps(k.scaled[k.half]));
    for (int32_t s = 0; s < 4 && s < k.half; ++s) total = _mm256_add_ps(total, sums[s]);
    return total;
}

void BlurRow(const float* in, float* out, int32_t width, const BlurKernel& k) {
    const int32_t end = width - k.half;
    int32_t x = k.half;
    for (; x + kLanes <= end; x += kLanes) _mm256_storeu_ps(out + x, Window(in + x - k.half, 1, k));
    if (x < end) {
        // The last outputs again as a full vector ending at the last one.
        const int32_t last = end - kLanes;
        if (last >= k.half) {
            _mm256_storeu_ps(out + last, Window(in + last - k.half, 1, k));
        } else {
            KernelTableFor(0).blurRow(in, out, width, k);
        }
    }
}

void BlurColumns(const float* in, ptrdiff_t stride, float* out, int32_t width, const BlurKernel& k) {
    int32_t x = 0;
    for (; x + kLanes <= width; x += kLanes) _mm256_storeu_ps(out + x, Window(in + x, stride, k));
    if (x < width) {
        if (width >= kLanes) {
            _mm256_storeu_ps(out + width - kLanes, Window(in + width - kLanes, stride, k));
        } else {
            KernelTableFor(0).blurColumns(in, stride, out, width, k);
        }
    }
}

// The grouping of the plain kernel's line sums, on vectors.
inline __m256 Tap(const float* d, ptrdiff_t xs, int32_t dy, int32_t dx) { return _mm256_loadu_ps(d + dy * xs + dx); }
inline __m256 Add(__m256 a, __m256 b) { return _mm256_add_ps(a, b); }
inline __m256 Sum5(__m256 a, __m256 b, __m256 c, __m256 d, __m256 e) { return Add(Add(a, b), Add(c, Add(d, e))); }
inline __m256 Sum7(__m256 a, __m256 b, __m256 c, __m256 d, __m256 e, __m256 f, __m256 g) {
    return Add(Add(a, b), Add(c, Add(Add(d, e), Add(f, g))));
}
inline __m256 Sum9(__m256 a, __m256 b, __m256 c, __m256 d, __m256 e, __m256 f, __m256 g, __m256 h, __m256 i) {
    return Add(Add(Add(Add(a, b), Add(c, d)), Add(Add(e, f), Add(g, h))), i);
}
using Vec = __m256;
inline __m256 Mul(__m256 a, __m256 b) { return _mm256_mul_ps(a, b); }
inline __m256 Square(__m256 s, __m256 total) { return _mm256_add_ps(_mm256_mul_ps(s, s), total); }

#include "quality/butteraugli_malta_lines.inc"

// The Malta filters' input, the plain kernel's choices made by masks.
void MaltaInput(const float* v0, const float* v1, float* out, int32_t count, const MaltaWeights& w) {
    const __m256 sign = _mm256_set1_ps(-0.0f), zero = _mm256_setzero_ps();
    int32_t x = 0;
    for (; x + kLanes <= count; x += kLanes) {
        const __m256 a = _mm256_loadu_ps(v0 + x), b = _mm256_loadu_ps(v1 + x);
        const __m256 fabs0 = _mm256_andnot_ps(sign, a);
        const __m256 denominator =
            _mm256_add_ps(_mm256_set1_ps(w.norm),
                          _mm256_mul_ps(_mm256_set1_ps(0.5f), _mm256_add_ps(fabs0, _mm256_andnot_ps(sign, b))));
        const __m256 scaler = _mm256_div_ps(_mm256_set1_ps(w.gt), denominator);
        const __m256 scaler2 = _mm256_div_ps(_mm256_set1_ps(w.lt), denominator);
        const __m256 tooSmall = _mm256_mul_ps(_mm256_set1_ps(0.55f), fabs0);
        const __m256 tooBig = _mm256_mul_ps(_mm256_set1_ps(1.05f), fabs0);
        const __m256 negative = _mm256_cmp_ps(a, zero, _CMP_LT_OQ);
        const __m256 side = _mm256_xor_ps(b, _mm256_and_ps(negative, sign));
        const __m256 below = _mm256_sub_ps(tooSmall, side), above = _mm256_sub_ps(side, tooBig);
        const __m256 more = _mm256_mul_ps(scaler2, below);
        const __m256 less = _mm256_xor_ps(_mm256_mul_ps(scaler2, above), sign);
        const __m256 isBelow = _mm256_cmp_ps(below, zero, _CMP_GT_OQ), isAbove = _mm256_cmp_ps(above, zero, _CMP_GT_OQ);
        const __m256 impact =
            _mm256_or_ps(_mm256_and_ps(isBelow, more), _mm256_andnot_ps(isBelow, _mm256_and_ps(isAbove, less)));
        const __m256 signedImpact = _mm256_xor_ps(impact, _mm256_and_ps(negative, sign));
        _mm256_storeu_ps(out + x, _mm256_add_ps(_mm256_mul_ps(scaler, _mm256_sub_ps(a, b)), signedImpact));
    }
    if (x < count) KernelTableFor(0).maltaInput(v0 + x, v1 + x, out + x, count - x, w);
}

void MaltaRow(const float* diffs, ptrdiff_t stride, float* acc, int32_t from, int32_t to, MaltaForm form) {
    int32_t x = from;
    for (; x + kLanes <= to; x += kLanes) {
        const __m256 unit = form == MaltaForm::kHigh ? HighUnit(diffs + x, stride) : LowUnit(diffs + x, stride);
        _mm256_storeu_ps(acc + x, _mm256_add_ps(_mm256_loadu_ps(acc + x), unit));
    }
    if (x < to) KernelTableFor(0).maltaRow(diffs, stride, acc, x, to, form);
}

}  // namespace

void FillAvx2Kernels(KernelTable& table) {
    table.opsinRow = OpsinRow;
    table.blurRow = BlurRow;
    table.blurColumns = BlurColumns;
    table.maltaInput = MaltaInput;
    table.maltaRow = MaltaRow;
}

#else

void FillAvx2Kernels(KernelTable&) {}

#endif

}  // namespace butteraugli
}  // namespace vardelk
