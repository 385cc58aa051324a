// The SSE2 family of the Butteraugli kernels, four outputs side by side:
// four samples of a row along the row, four columns down the columns, four
// pixels through the Malta filters. Each lane computes what the plain
// kernel computes for its output, in the same order. A build without SSE2
// fills nothing from here.
#include "quality/butteraugli_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vardelk {
namespace butteraugli {

#if defined(__SSE2__)
namespace {

constexpr int32_t kLanes = 4;

// Opsin dynamics, four pixels at a time (butteraugli_kernels.h); every
// maximum is taken against a positive constant, so the lanes agree with
// the plain kernel's std::max.
inline __m128 Mixture(int32_t i, __m128 r, __m128 g, __m128 b) {
    const __m128 inner = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(kMix[4 * i + 2]), b), _mm_set1_ps(kMix[4 * i + 3]));
    return _mm_add_ps(_mm_mul_ps(_mm_set1_ps(kMix[4 * i]), r),
                      _mm_add_ps(_mm_mul_ps(_mm_set1_ps(kMix[4 * i + 1]), g), inner));
}

inline __m128 FastLog2(__m128 x) {
    const __m128i bits = _mm_castps_si128(x);
    const __m128i exponent = _mm_srai_epi32(_mm_sub_epi32(bits, _mm_set1_epi32(kLog2Offset)), 23);
    const __m128 m = _mm_sub_ps(_mm_castsi128_ps(_mm_sub_epi32(bits, _mm_slli_epi32(exponent, 23))), _mm_set1_ps(1.0f));
    const __m128 p =
        _mm_add_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(kLog2P[2]), m), _mm_set1_ps(kLog2P[1])), m),
                   _mm_set1_ps(kLog2P[0]));
    const __m128 q =
        _mm_add_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(kLog2Q[2]), m), _mm_set1_ps(kLog2Q[1])), m),
                   _mm_set1_ps(kLog2Q[0]));
    return _mm_add_ps(_mm_div_ps(p, q), _mm_cvtepi32_ps(exponent));
}

void OpsinRow(const float* const rgb[3], const float* const blurred[3], float* const xyb[3], int32_t count) {
    const __m128 target = _mm_set1_ps(kIntensityTarget), floor = _mm_set1_ps(kSensitivityFloor);
    int32_t x = 0;
    for (; x + kLanes <= count; x += kLanes) {
        __m128 mixed[3];
        for (int32_t i = 0; i < 3; ++i) {
            const __m128 pre = Mixture(i, _mm_mul_ps(_mm_loadu_ps(blurred[0] + x), target),
                                       _mm_mul_ps(_mm_loadu_ps(blurred[1] + x), target),
                                       _mm_mul_ps(_mm_loadu_ps(blurred[2] + x), target));
            const __m128 n = _mm_max_ps(_mm_max_ps(pre, _mm_set1_ps(kMix[4 * i + 3])), floor);
            const __m128 gamma =
                _mm_add_ps(_mm_mul_ps(_mm_set1_ps(kGammaMul),
                                      FastLog2(_mm_add_ps(_mm_max_ps(n, _mm_setzero_ps()), _mm_set1_ps(kGammaBias)))),
                           _mm_set1_ps(kGammaAdd));
            const __m128 sensitivity = _mm_max_ps(_mm_div_ps(gamma, n), floor);
            const __m128 cur =
                Mixture(i, _mm_mul_ps(_mm_loadu_ps(rgb[0] + x), target), _mm_mul_ps(_mm_loadu_ps(rgb[1] + x), target),
                        _mm_mul_ps(_mm_loadu_ps(rgb[2] + x), target));
            mixed[i] = _mm_max_ps(_mm_mul_ps(cur, sensitivity), _mm_set1_ps(kMix[4 * i + 3]));
        }
        _mm_storeu_ps(xyb[0] + x, _mm_sub_ps(mixed[0], mixed[1]));
        _mm_storeu_ps(xyb[1] + x, _mm_add_ps(mixed[0], mixed[1]));
        _mm_storeu_ps(xyb[2] + x, mixed[2]);
    }
    if (x < count) {
        const float* r[3] = {rgb[0] + x, rgb[1] + x, rgb[2] + x};
        const float* b[3] = {blurred[0] + x, blurred[1] + x, blurred[2] + x};
        float* o[3] = {xyb[0] + x, xyb[1] + x, xyb[2] + x};
        KernelTableFor(0).opsinRow(r, b, o, count - x);
    }
}

// The pair sums of a window whose tap j of the left half is at w[j * step]
// (four neighbouring outputs in the lanes).
inline __m128 Window(const float* w, ptrdiff_t step, const BlurKernel& k) {
    __m128 sums[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    for (int32_t j = 0; j < k.half; ++j) {
        const __m128 pair =
            _mm_mul_ps(_mm_add_ps(_mm_loadu_ps(w + j * step), _mm_loadu_ps(w + (k.size - 1 - j) * step)),
                       _mm_set1_ps(k.scaled[j]));
        sums[j % 4] = j < 4 ? pair : _mm_add_ps(sums[j % 4], pair);
    }
    __m128 total = _mm_mul_ps(_mm_loadu_ps(w + k.half * step), _mm_set1_ps(k.scaled[k.half]));
    for (int32_t s = 0; s < 4 && s < k.half; ++s) total = _mm_add_ps(total, sums[s]);
    return total;
}

void BlurRow(const float* in, float* out, int32_t width, const BlurKernel& k) {
    const int32_t end = width - k.half;
    int32_t x = k.half;
    for (; x + kLanes <= end; x += kLanes) _mm_storeu_ps(out + x, Window(in + x - k.half, 1, k));
    if (x < end) {
        // The last outputs again as a full vector ending at the last one.
        const int32_t last = end - kLanes;
        if (last >= k.half) {
            _mm_storeu_ps(out + last, Window(in + last - k.half, 1, k));
        } else {
            KernelTableFor(0).blurRow(in, out, width, k);
        }
    }
}

void BlurColumns(const float* in, ptrdiff_t stride, float* out, int32_t width, const BlurKernel& k) {
    int32_t x = 0;
    for (; x + kLanes <= width; x += kLanes) _mm_storeu_ps(out + x, Window(in + x, stride, k));
    if (x < width) {
        if (width >= kLanes) {
            _mm_storeu_ps(out + width - kLanes, Window(in + width - kLanes, stride, k));
        } else {
            KernelTableFor(0).blurColumns(in, stride, out, width, k);
        }
    }
}

// The grouping of the plain kernel's line sums, on vectors.
inline __m128 Tap(const float* d, ptrdiff_t xs, int32_t dy, int32_t dx) { return _mm_loadu_ps(d + dy * xs + dx); }
inline __m128 Add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
inline __m128 Sum5(__m128 a, __m128 b, __m128 c, __m128 d, __m128 e) { return Add(Add(a, b), Add(c, Add(d, e))); }
inline __m128 Sum7(__m128 a, __m128 b, __m128 c, __m128 d, __m128 e, __m128 f, __m128 g) {
    return Add(Add(a, b), Add(c, Add(Add(d, e), Add(f, g))));
}
inline __m128 Sum9(__m128 a, __m128 b, __m128 c, __m128 d, __m128 e, __m128 f, __m128 g, __m128 h, __m128 i) {
    return Add(Add(Add(Add(a, b), Add(c, d)), Add(Add(e, f), Add(g, h))), i);
}
using Vec = __m128;
inline __m128 Mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
inline __m128 Square(__m128 s, __m128 total) { return _mm_add_ps(_mm_mul_ps(s, s), total); }

#include "quality/butteraugli_malta_lines.inc"

// The Malta filters' input, the plain kernel's choices made by masks.
void MaltaInput(const float* v0, const float* v1, float* out, int32_t count, const MaltaWeights& w) {
    const __m128 sign = _mm_set1_ps(-0.0f), zero = _mm_setzero_ps();
    int32_t x = 0;
    for (; x + kLanes <= count; x += kLanes) {
        const __m128 a = _mm_loadu_ps(v0 + x), b = _mm_loadu_ps(v1 + x);
        const __m128 fabs0 = _mm_andnot_ps(sign, a);
        const __m128 denominator =
            _mm_add_ps(_mm_set1_ps(w.norm), _mm_mul_ps(_mm_set1_ps(0.5f), _mm_add_ps(fabs0, _mm_andnot_ps(sign, b))));
        const __m128 scaler = _mm_div_ps(_mm_set1_ps(w.gt), denominator);
        const __m128 scaler2 = _mm_div_ps(_mm_set1_ps(w.lt), denominator);
        const __m128 tooSmall = _mm_mul_ps(_mm_set1_ps(0.55f), fabs0);
        const __m128 tooBig = _mm_mul_ps(_mm_set1_ps(1.05f), fabs0);
        const __m128 negative = _mm_cmplt_ps(a, zero);
        const __m128 side = _mm_xor_ps(b, _mm_and_ps(negative, sign));
        const __m128 below = _mm_sub_ps(tooSmall, side), above = _mm_sub_ps(side, tooBig);
        const __m128 more = _mm_mul_ps(scaler2, below);
        const __m128 less = _mm_xor_ps(_mm_mul_ps(scaler2, above), sign);
        const __m128 isBelow = _mm_cmpgt_ps(below, zero), isAbove = _mm_cmpgt_ps(above, zero);
        const __m128 impact = _mm_or_ps(_mm_and_ps(isBelow, more), _mm_andnot_ps(isBelow, _mm_and_ps(isAbove, less)));
        const __m128 signedImpact = _mm_xor_ps(impact, _mm_and_ps(negative, sign));
        _mm_storeu_ps(out + x, _mm_add_ps(_mm_mul_ps(scaler, _mm_sub_ps(a, b)), signedImpact));
    }
    if (x < count) KernelTableFor(0).maltaInput(v0 + x, v1 + x, out + x, count - x, w);
}

void MaltaRow(const float* diffs, ptrdiff_t stride, float* acc, int32_t from, int32_t to, MaltaForm form) {
    int32_t x = from;
    for (; x + kLanes <= to; x += kLanes) {
        const __m128 unit = form == MaltaForm::kHigh ? HighUnit(diffs + x, stride) : LowUnit(diffs + x, stride);
        _mm_storeu_ps(acc + x, _mm_add_ps(_mm_loadu_ps(acc + x), unit));
    }
    if (x < to) KernelTableFor(0).maltaRow(diffs, stride, acc, x, to, form);
}

}  // namespace

void FillSse2Kernels(KernelTable& table) {
    table.opsinRow = OpsinRow;
    table.blurRow = BlurRow;
    table.blurColumns = BlurColumns;
    table.maltaInput = MaltaInput;
    table.maltaRow = MaltaRow;
}

#else

void FillSse2Kernels(KernelTable&) {}

#endif

}  // namespace butteraugli
}  // namespace vardelk
