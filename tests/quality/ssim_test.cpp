#include "quality/ssim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace vardelk {
namespace {

std::vector<uint8_t> Noise(size_t size, uint32_t seed) {
    std::vector<uint8_t> v(size);
    for (uint8_t& s : v) {
        seed = seed * 1664525u + 1013904223u;
        s = uint8_t(seed >> 24);
    }
    return v;
}

// The measure written out per window straight from the pixels, in double:
// a second derivation that shares none of the band bookkeeping.
double DirectSsim(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int32_t w, int32_t h) {
    double total = 0;
    int count = 0;
    for (int32_t y = 0; y + 8 <= (h / 4) * 4; y += 4) {
        for (int32_t x = 0; x + 8 <= (w / 4) * 4; x += 4) {
            double s1 = 0, s2 = 0, ss = 0, s12 = 0;
            for (int32_t r = y; r < y + 8; ++r) {
                for (int32_t c = x; c < x + 8; ++c) {
                    const double p = a[size_t(r * w + c)], q = b[size_t(r * w + c)];
                    s1 += p, s2 += q, ss += p * p + q * q, s12 += p * q;
                }
            }
            total += (2 * s1 * s2 + 416) * (2 * (64 * s12 - s1 * s2) + 235963) /
                     ((s1 * s1 + s2 * s2 + 416) * (64 * ss - s1 * s1 - s2 * s2 + 235963));
            ++count;
        }
    }
    return total / count;
}

TEST(Ssim, EqualsTheWindowDefinitionOnRaggedSizes) {
    for (auto [w, h] : {std::pair{8, 8}, {37, 23}, {64, 9}, {13, 40}}) {
        const std::vector<uint8_t> a = Noise(size_t(w * h), 1);
        std::vector<uint8_t> b = a;
        const std::vector<uint8_t> noise = Noise(b.size(), 2);
        for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(std::min(255, b[i] + noise[i] % 40));
        const PlaneSsim s = ComparePlaneSsim(a.data(), w, b.data(), w, w, h);
        ASSERT_TRUE(s.Measured());
        EXPECT_NEAR(s.Ssim(), DirectSsim(a, b, w, h), 1e-6) << w << "x" << h;
        EXPECT_LT(s.Ssim(), 1.0);
    }
}

TEST(Ssim, IdenticalIsOneAndInfiniteDbAndExtremesStayFinite) {
    const std::vector<uint8_t> a = Noise(32 * 32, 3);
    const PlaneSsim same = ComparePlaneSsim(a.data(), 32, a.data(), 32, 32, 32);
    EXPECT_NEAR(same.Ssim(), 1.0, 1e-6);
    EXPECT_TRUE(std::isinf(SsimDb(1.0)));
    EXPECT_NEAR(SsimDb(0.99), 20.0, 1e-9);
    // Black against white: the largest sums, still a number near 0.
    const std::vector<uint8_t> black(32 * 32, 0), white(32 * 32, 255);
    const double s = ComparePlaneSsim(black.data(), 32, white.data(), 32, 32, 32).Ssim();
    EXPECT_TRUE(std::isfinite(s));
    EXPECT_NEAR(s, 0.0, 1e-4);
}

TEST(Ssim, FramesWeightPlanesBySamplesAndSkipPlanesWithoutAWindow) {
    Y4mFormat format;
    format.width = 16, format.height = 16, format.chroma = ChromaFormat::k420;
    Y4mFrame a, b;
    a.Allocate(format);
    a.y = Noise(a.y.size(), 4), a.cb = Noise(a.cb.size(), 5), a.cr = Noise(a.cr.size(), 6);
    b = a;
    for (uint8_t& s : b.y) s = uint8_t(s / 2);
    for (uint8_t& s : b.cr) s = uint8_t(255 - s);
    FrameSsim f = CompareFramesSsim(format, a, b);
    EXPECT_NEAR(f.all.Ssim(), (4 * f.y.Ssim() + f.cb.Ssim() + f.cr.Ssim()) / 6, 1e-12);

    // 8 x 8 luma: the 4 x 4 chroma planes hold no window, so only Y counts.
    format.width = 8, format.height = 8;
    a.Allocate(format), b.Allocate(format);
    a.y = Noise(64, 7), b.y = Noise(64, 8);
    f = CompareFramesSsim(format, a, b);
    EXPECT_FALSE(f.cb.Measured());
    EXPECT_TRUE(std::isnan(f.cb.Ssim()));
    EXPECT_DOUBLE_EQ(f.all.Ssim(), f.y.Ssim());

    // Pooling a clip averages the per-frame figures.
    FrameSsim clip = f;
    clip.Add(CompareFramesSsim(format, a, a));
    EXPECT_NEAR(clip.y.Ssim(), (f.y.Ssim() + 1.0) / 2, 1e-6);

    b.y.pop_back();
    EXPECT_THROW(CompareFramesSsim(format, a, b), std::invalid_argument);
}

// 36 x 24 picture: 3 x 2 macroblocks, windows starting at x = 0..28 step 4
// and y = 0..16. A change at x 20..27, y 4..11 touches only windows that
// start inside macroblock (1, 0); no window starts in the third column.
TEST(Ssim, MacroblockMapAssignsWindowsByTheirTopLeftPixel) {
    const int32_t w = 36, h = 24;
    const std::vector<uint8_t> a = Noise(size_t(w * h), 9);
    std::vector<uint8_t> b = a;
    for (int32_t y = 4; y < 12; ++y)
        for (int32_t x = 20; x < 28; ++x) b[size_t(y * w + x)] = uint8_t(255 - b[size_t(y * w + x)]);
    const std::vector<double> map = MacroblockSsimMap(a.data(), w, b.data(), w, w, h);
    ASSERT_EQ(map.size(), 6u);
    EXPECT_LT(map[1], 0.9);
    for (size_t k : {0u, 3u, 4u}) EXPECT_NEAR(map[k], 1.0, 1e-6) << k;
    EXPECT_TRUE(std::isnan(map[2]));
    EXPECT_TRUE(std::isnan(map[5]));
}

}  // namespace
}  // namespace vardelk
