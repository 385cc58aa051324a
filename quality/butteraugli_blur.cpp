#include "quality/butteraugli_blur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#if !defined(__EMSCRIPTEN__)
#include "parallel/parallel_for.h"
#endif

namespace vardelk {
namespace butteraugli {
namespace {

// Rows in one piece of work.
constexpr int32_t kBandRows = 16;

// A line's sample i of n mirrored into it, the edge sample repeated.
int32_t Mirror(int32_t i, int32_t n) {
    while (i < 0 || i >= n) i = i < 0 ? -i - 1 : 2 * n - 1 - i;
    return i;
}

// Output i of a line of n samples (read at step `step`) whose window leaves
// the line: its taps inside, renormalised.
float BorderSample(const float* in, ptrdiff_t step, int32_t n, int32_t i, const BlurKernel& k) {
    const int32_t first = std::max(0, i - k.half), last = std::min(n - 1, i + k.half);
    float weight = 0.0f;
    for (int32_t j = first; j <= last; ++j) weight += k.weight[j - i + k.half];
    const float scale = 1.0f / weight;
    float sum = 0.0f;
    for (int32_t j = first; j <= last; ++j) sum += in[j * step] * k.weight[j - i + k.half];
    return sum * scale;
}

}  // namespace

void ForRowBands(int32_t threads, int32_t rows, const std::function<void(int32_t, int32_t)>& body) {
    const int64_t bands = (rows + kBandRows - 1) / kBandRows;
    auto band = [&](int64_t b) {
        const int32_t first = int32_t(b) * kBandRows;
        body(first, std::min(rows, first + kBandRows));
    };
#if defined(__EMSCRIPTEN__)
    (void)threads;
    for (int64_t b = 0; b < bands; ++b) band(b);
#else
    if (threads <= 1 || bands <= 1) {
        for (int64_t b = 0; b < bands; ++b) band(b);
    } else {
        ParallelFor(threads, bands, band);
    }
#endif
}

BlurKernel GaussianKernel(float sigma) {
    BlurKernel k{};
    const float reach = 2.25f;
    const double scaler = -1.0 / (2.0 * double(sigma) * double(sigma));
    k.half = std::max<int32_t>(1, int32_t(reach * std::fabs(sigma)));
    k.size = 2 * k.half + 1;
    for (int32_t i = -k.half; i <= k.half; ++i) k.weight[i + k.half] = float(std::exp(scaler * i * i));
    float total = 0.0f;
    for (int32_t j = 0; j < k.size; ++j) total += k.weight[j];
    const float scale = 1.0f / total;
    for (int32_t i = 0; i <= k.half; ++i) k.scaled[i] = k.weight[i] * scale;
    return k;
}

void GaussianBlur(const float* in, float* out, float* temp, int32_t width, int32_t height, const BlurKernel& kernel,
                  const KernelTable& k, int32_t threads) {
    const int32_t half = kernel.half;
    const size_t w = size_t(width);
    ForRowBands(threads, height, [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
            const float* row = in + size_t(y) * w;
            float* dst = temp + size_t(y) * w;
            k.blurRow(row, dst, width, kernel);
            const int32_t left = std::min(width, half), right = width > half ? width - half : 0;
            for (int32_t x = 0; x < left; ++x) dst[x] = BorderSample(row, 1, width, x, kernel);
            for (int32_t x = right; x < width; ++x) dst[x] = BorderSample(row, 1, width, x, kernel);
        }
    });
    ForRowBands(threads, height, [&](int32_t first, int32_t end) {
        const int32_t top = std::min(height, half), bottom = height > half ? height - half : 0;
        for (int32_t y = first; y < end; ++y) {
            float* dst = out + size_t(y) * w;
            if (y >= top && y < bottom) {
                k.blurColumns(temp + size_t(y - half) * w, ptrdiff_t(w), dst, width, kernel);
            } else {
                for (int32_t x = 0; x < width; ++x) dst[x] = BorderSample(temp + x, ptrdiff_t(w), height, y, kernel);
            }
        }
    });
}

void MirroredBlur5(const float* in, ptrdiff_t inStride, int32_t width, int32_t height, int32_t first, int32_t end,
                   float* rows, float* out) {
    const BlurKernel kernel = GaussianKernel(1.2f);
    float total = 0.0f;
    for (int32_t j = 0; j < kernel.size; ++j) total += kernel.weight[j];
    const float scale = 1.0f / total;
    const float w0 = kernel.weight[2] * scale, w1 = kernel.weight[1] * scale, w2 = kernel.weight[0] * scale;
    const size_t w = size_t(width);
    // Every row the band reads, mirrored ones included, lies in [lo, hi).
    const int32_t lo = std::max(0, first - 2), hi = std::min(height, end + 2);
    for (int32_t y = lo; y < hi; ++y) {
        const float* row = in + ptrdiff_t(y) * inStride;
        float* dst = rows + size_t(y - lo) * w;
        const auto sample = [&](int32_t x) {
            const float c = row[x];
            const float l1 = row[Mirror(x - 1, width)], r1 = row[Mirror(x + 1, width)];
            const float l2 = row[Mirror(x - 2, width)], r2 = row[Mirror(x + 2, width)];
            return (l2 + r2) * w2 + ((l1 + r1) * w1 + c * w0);
        };
        // No mirroring in [2, width - 2).
        const int32_t left = std::min(2, width), right = std::max(left, width - 2);
        for (int32_t x = 0; x < left; ++x) dst[x] = sample(x);
        for (int32_t x = left; x < right; ++x)
            dst[x] = (row[x - 2] + row[x + 2]) * w2 + ((row[x - 1] + row[x + 1]) * w1 + row[x] * w0);
        for (int32_t x = right; x < width; ++x) dst[x] = sample(x);
    }
    const auto at = [&](int32_t y) { return rows + size_t(Mirror(y, height) - lo) * w; };
    for (int32_t y = first; y < end; ++y) {
        const float *m = at(y), *t1 = at(y - 1), *b1 = at(y + 1), *t2 = at(y - 2), *b2 = at(y + 2);
        float* dst = out + size_t(y - first) * w;
        for (int32_t x = 0; x < width; ++x) dst[x] = (t2[x] + b2[x]) * w2 + ((t1[x] + b1[x]) * w1 + m[x] * w0);
    }
}

}  // namespace butteraugli
}  // namespace vardelk
