#include "media/comparison_views.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "media/rgb_convert.h"
#include "pattern_frames.h"

namespace vardelk {
namespace {

// The command draws in RGB and the lab in RGBA: both must show the same
// colours, the lab's opaque, on a picture with partial macroblocks.
TEST(ComparisonViews, RgbaPixelsAreTheRgbPixelsMadeOpaque) {
    const Y4mFormat format = testing::FormatOf("420jpeg", 37, 21);
    const Y4mFrame frame = testing::Pattern(format);
    const size_t pixels = 37 * 21;
    RgbImage rgb;
    FrameToRgb(format, frame, rgb);
    std::vector<uint8_t> rgba(pixels * 4);
    FrameToRgba(format, frame, rgba.data());
    // A second picture for the difference: the first one's bytes reversed.
    std::vector<uint8_t> other(rgb.rgb.rbegin(), rgb.rgb.rend()), otherRgba(pixels * 4, 255);
    for (size_t p = 0; p < pixels; ++p)
        for (size_t c = 0; c < 3; ++c) otherRgba[p * 4 + c] = other[p * 3 + c];

    const std::vector<int32_t> bits = {0, 40, 10, 20, 5, 80};  // 3 x 2 macroblocks
    const std::vector<double> ssim = {1.0, 0.9, NAN, 0.95, 0.8, NAN};
    std::vector<uint8_t> outRgb[3], outRgba[3];
    for (auto& out : outRgb) out.assign(pixels * 3, 0);
    for (auto& out : outRgba) out.assign(pixels * 4, 0);
    DrawDifference(rgb.rgb.data(), other.data(), pixels, 3, 8, outRgb[0].data());
    DrawDifference(rgba.data(), otherRgba.data(), pixels, 4, 8, outRgba[0].data());
    EXPECT_EQ(DrawBitsHeatMap(rgb.rgb.data(), 37, 21, 3, bits.data(), 3, outRgb[1].data()), 80);
    EXPECT_EQ(DrawBitsHeatMap(rgba.data(), 37, 21, 4, bits.data(), 3, outRgba[1].data()), 80);
    EXPECT_EQ(DrawSsimHeatMap(rgb.rgb.data(), 37, 21, 3, ssim.data(), 3, outRgb[2].data()), 0.8);
    EXPECT_EQ(DrawSsimHeatMap(rgba.data(), 37, 21, 4, ssim.data(), 3, outRgba[2].data()), 0.8);

    for (size_t p = 0; p < pixels; ++p) {
        ASSERT_EQ(rgba[p * 4 + 3], 255) << "pixel " << p;
        for (size_t c = 0; c < 3; ++c) ASSERT_EQ(rgba[p * 4 + c], rgb.rgb[p * 3 + c]) << "pixel " << p;
        for (int view = 0; view < 3; ++view) {
            ASSERT_EQ(outRgba[view][p * 4 + 3], 255) << "view " << view << ", pixel " << p;
            for (size_t c = 0; c < 3; ++c)
                ASSERT_EQ(outRgba[view][p * 4 + c], outRgb[view][p * 3 + c]) << "view " << view << ", pixel " << p;
        }
    }
    // The bottom-right macroblock, a partial one, holds the most bits: white
    // at three quarters. Its SSIM is missing: grey.
    const size_t corner = (20 * 37 + 36) * 3;
    EXPECT_GE(outRgb[1][corner + 2], 191);
    EXPECT_GE(outRgb[2][corner + 2], 90 * 3 / 4);
    EXPECT_LE(outRgb[2][corner + 2], (90 * 3 + 255) / 4);
}

}  // namespace
}  // namespace vardelk
