#include <gtest/gtest.h>

#include "clip/clip_runner.h"
#include "media/rgb_convert.h"

namespace vardelk {
namespace {

TEST(ClipRunner, MacroblockBitsAddUpToTheFrameBytesRowByRow) {
    // 40x24: three macroblocks across (the last partial), two rows.
    Y4mFormat format = FormatForRgb(40, 24);
    Y4mFrame frame;
    frame.Allocate(format);
    for (size_t i = 0; i < frame.y.size(); ++i) frame.y[i] = uint8_t((i * 31) % 200 + 20);
    std::fill(frame.cb.begin(), frame.cb.end(), uint8_t(100));
    std::fill(frame.cr.begin(), frame.cr.end(), uint8_t(150));
    CodingSettings settings;
    settings.scaleCode = 3;
    ClipRunner runner(format, settings, kDefaultIntraMatrix, "");
    const FrameResult first = runner.Process(frame);
    const FrameResult second = runner.Process(frame);  // buffers exchanged in between
    EXPECT_EQ(first.bytes, second.bytes);
    EXPECT_EQ(second.index, 1);
    const std::vector<int32_t>& bits = runner.MacroblockBits();
    ASSERT_EQ(bits.size(), 6u);
    int32_t bytes = 0;
    for (int row = 0; row < 2; ++row)
        bytes += (bits[size_t(row * 3)] + bits[size_t(row * 3 + 1)] + bits[size_t(row * 3 + 2)] + 7) / 8;
    EXPECT_EQ(bytes, first.bytes);
    EXPECT_GT(first.error.y.Psnr(), 20.0);
}

}  // namespace
}  // namespace vardelk
