#include "quality/ssim.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "codec/frame_coder.h"

namespace vardelk {
namespace {

constexpr int64_t kC1 = 416;     // round(0.01^2 x 255^2 x 64)
constexpr int64_t kC2 = 235963;  // round(0.03^2 x 255^2 x 64 x 63)

// The four sums of one 4x4 block: sum a, sum b, sum a^2 + b^2, sum ab.
struct BlockSums {
    int32_t s1, s2, ss, s12;
};

// Block sums along a band of four rows, `blocks` blocks from the left.
void SumBlocks(const uint8_t* a, ptrdiff_t aStride, const uint8_t* b, ptrdiff_t bStride, int32_t blocks,
               BlockSums* out) {
    for (int32_t k = 0; k < blocks; ++k, a += 4, b += 4) {
        int32_t s1 = 0, s2 = 0, ss = 0, s12 = 0;
        for (int32_t r = 0; r < 4; ++r) {
            const uint8_t* pa = a + r * aStride;
            const uint8_t* pb = b + r * bStride;
            for (int32_t c = 0; c < 4; ++c) {
                const int32_t x = pa[c], y = pb[c];
                s1 += x;
                s2 += y;
                ss += x * x + y * y;
                s12 += x * y;
            }
        }
        out[k] = BlockSums{s1, s2, ss, s12};
    }
}

// One window from its integer sums; no term overflows 32 bits (s1 <= 64 x 255,
// 64 ss <= 64 x 128 x 255^2), int64 only to make that plain.
float WindowSsim(int64_t s1, int64_t s2, int64_t ss, int64_t s12) {
    const int64_t variances = ss * 64 - s1 * s1 - s2 * s2;
    const int64_t covariance = s12 * 64 - s1 * s2;
    return float(2 * s1 * s2 + kC1) * float(2 * covariance + kC2) /
           (float(s1 * s1 + s2 * s2 + kC1) * float(variances + kC2));
}

// Calls visit(windowRow, windowsInRow, values) for every row of windows, top
// to bottom; values[i] is the SSIM of the window whose top-left block is
// block (i, windowRow). Two bands of block sums are kept and reused.
template <class Visit>
void ForEachWindowRow(const uint8_t* a, ptrdiff_t aStride, const uint8_t* b, ptrdiff_t bStride, int32_t width,
                      int32_t height, Visit visit) {
    const int32_t blocksAcross = width / 4;
    const int32_t blocksDown = height / 4;
    if (blocksAcross < 2 || blocksDown < 2) return;
    const int32_t windows = blocksAcross - 1;
    std::vector<BlockSums> bands(2 * size_t(blocksAcross));
    std::vector<float> values(static_cast<size_t>(windows));
    BlockSums* upper = bands.data();
    BlockSums* lower = upper + blocksAcross;
    SumBlocks(a, aStride, b, bStride, blocksAcross, lower);
    for (int32_t row = 0; row + 1 < blocksDown; ++row) {
        std::swap(upper, lower);
        const ptrdiff_t band = 4 * ptrdiff_t(row + 1);
        SumBlocks(a + band * aStride, aStride, b + band * bStride, bStride, blocksAcross, lower);
        for (int32_t i = 0; i < windows; ++i) {
            const BlockSums& p = upper[i];
            const BlockSums& q = upper[i + 1];
            const BlockSums& r = lower[i];
            const BlockSums& s = lower[i + 1];
            values[size_t(i)] = WindowSsim(int64_t{p.s1} + q.s1 + r.s1 + s.s1, int64_t{p.s2} + q.s2 + r.s2 + s.s2,
                                           int64_t{p.ss} + q.ss + r.ss + s.ss, int64_t{p.s12} + q.s12 + r.s12 + s.s12);
        }
        visit(row, windows, values.data());
    }
}

void CheckPlane(const std::vector<uint8_t>& plane, int32_t width, int32_t height, const char* name, const char* which) {
    if (plane.size() != size_t(width) * size_t(height)) {
        throw std::invalid_argument(std::string(which) + " frame's " + name + " plane holds " +
                                    std::to_string(plane.size()) + " samples, its format wants " +
                                    std::to_string(width) + "x" + std::to_string(height));
    }
}

}  // namespace

double PlaneSsim::Ssim() const { return frames > 0 ? ssimSum / frames : std::numeric_limits<double>::quiet_NaN(); }

double PlaneSsim::Db() const { return SsimDb(Ssim()); }

double SsimDb(double ssim) {
    if (std::isnan(ssim)) return ssim;
    if (ssim >= 1.0) return std::numeric_limits<double>::infinity();
    return -10.0 * std::log10(1.0 - ssim);
}

PlaneSsim ComparePlaneSsim(const uint8_t* reference, ptrdiff_t referenceStride, const uint8_t* test,
                           ptrdiff_t testStride, int32_t width, int32_t height) {
    double sum = 0.0;
    int64_t count = 0;
    ForEachWindowRow(reference, referenceStride, test, testStride, width, height,
                     [&](int32_t, int32_t windows, const float* values) {
                         double rowSum = 0.0;
                         for (int32_t i = 0; i < windows; ++i) rowSum += values[i];
                         sum += rowSum;
                         count += windows;
                     });
    if (count == 0) return PlaneSsim{};
    return PlaneSsim{sum / double(count), 1.0};
}

FrameSsim CompareFramesSsim(const Y4mFormat& format, const Y4mFrame& reference, const Y4mFrame& test) {
    const int32_t cw = ChromaWidth(format), ch = ChromaHeight(format);
    CheckPlane(reference.y, format.width, format.height, "Y", "reference");
    CheckPlane(test.y, format.width, format.height, "Y", "compared");
    FrameSsim result;
    result.y =
        ComparePlaneSsim(reference.y.data(), format.width, test.y.data(), format.width, format.width, format.height);
    if (format.chroma != ChromaFormat::kMono) {
        CheckPlane(reference.cb, cw, ch, "Cb", "reference");
        CheckPlane(reference.cr, cw, ch, "Cr", "reference");
        CheckPlane(test.cb, cw, ch, "Cb", "compared");
        CheckPlane(test.cr, cw, ch, "Cr", "compared");
        result.cb = ComparePlaneSsim(reference.cb.data(), cw, test.cb.data(), cw, cw, ch);
        result.cr = ComparePlaneSsim(reference.cr.data(), cw, test.cr.data(), cw, cw, ch);
    }
    // Weighted by sample counts over the planes that could be measured.
    const double lumaSamples = double(format.width) * double(format.height);
    const double chromaSamples = double(cw) * double(ch);
    double weights = 0.0, weighted = 0.0;
    const std::pair<const PlaneSsim*, double> planes[] = {
        {&result.y, lumaSamples}, {&result.cb, chromaSamples}, {&result.cr, chromaSamples}};
    for (const auto& [plane, samples] : planes) {
        if (!plane->Measured()) continue;
        weights += samples;
        weighted += samples * plane->Ssim();
    }
    if (weights > 0) result.all = PlaneSsim{weighted / weights, 1.0};
    return result;
}

std::vector<double> MacroblockSsimMap(const uint8_t* reference, ptrdiff_t referenceStride, const uint8_t* test,
                                      ptrdiff_t testStride, int32_t width, int32_t height) {
    const int32_t columns = MacroblockColumns(width);
    const int32_t rows = MacroblockRows(height);
    std::vector<double> sums(size_t(columns) * size_t(rows), 0.0);
    std::vector<int32_t> counts(sums.size(), 0);
    // Window (i, row) starts at pixel (4i, 4 row), inside macroblock (i / 4, row / 4).
    ForEachWindowRow(reference, referenceStride, test, testStride, width, height,
                     [&](int32_t row, int32_t windows, const float* values) {
                         const size_t base = size_t(row / 4) * size_t(columns);
                         for (int32_t i = 0; i < windows; ++i) {
                             sums[base + size_t(i / 4)] += values[i];
                             ++counts[base + size_t(i / 4)];
                         }
                     });
    for (size_t k = 0; k < sums.size(); ++k) {
        sums[k] = counts[k] ? sums[k] / counts[k] : std::numeric_limits<double>::quiet_NaN();
    }
    return sums;
}

}  // namespace vardelk
