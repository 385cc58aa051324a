#include "media/yc_convert.h"

#include <gtest/gtest.h>

#include <vector>

namespace vardelk {
namespace {

Y4mFormat FormatOf(const char* chroma, int32_t width, int32_t height) {
    return ParseY4mHeader("YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) +
                              " C" + chroma,
                          "test");
}

Y4mFrame Pattern(const Y4mFormat& format) {
    Y4mFrame frame;
    frame.Allocate(format);
    for (size_t i = 0; i < frame.y.size(); ++i) frame.y[i] = uint8_t(i * 37 + 3);
    for (size_t i = 0; i < frame.cb.size(); ++i) {
        frame.cb[i] = uint8_t(i * 53 + 11);
        frame.cr[i] = uint8_t(255 - i * 29);
    }
    return frame;
}

TEST(YcConvert, ScalesBySixteenAndReplicatesSubsampledChroma) {
    const Y4mFormat format = FormatOf("420jpeg", 3, 3);
    const Y4mFrame frame = Pattern(format);
    const int32_t stride = 5;  // wider rows than the picture
    std::vector<YcPixel> pixels(size_t(stride) * 3, YcPixel{-1, -1, -1});
    Y4mToYc(format, frame, pixels.data(), stride);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 3; ++x) {
            const YcPixel& p = pixels[size_t(y * stride + x)];
            const size_t c = size_t((y / 2) * 2 + x / 2);
            EXPECT_EQ(p.y, frame.y[size_t(y * 3 + x)] * 16);
            EXPECT_EQ(p.cb, (frame.cb[c] - 128) * 16);
            EXPECT_EQ(p.cr, (frame.cr[c] - 128) * 16);
        }
        EXPECT_EQ(pixels[size_t(y * stride + 3)].y, -1) << "padding written";
    }
}

TEST(YcConvert, MonoGivesNeutralChroma) {
    const Y4mFormat format = FormatOf("mono", 2, 1);
    std::vector<YcPixel> pixels(2);
    Y4mToYc(format, Pattern(format), pixels.data(), 2);
    EXPECT_EQ(pixels[1].cb, 0);
    EXPECT_EQ(pixels[1].cr, 0);
}

TEST(YcConvert, RoundTripIsExactForEveryLayoutAndOddSize) {
    for (const char* chroma : {"420jpeg", "422", "444", "mono"}) {
        const Y4mFormat format = FormatOf(chroma, 7, 5);
        const Y4mFrame frame = Pattern(format);
        std::vector<YcPixel> pixels(35);
        Y4mToYc(format, frame, pixels.data(), 7);
        Y4mFrame back;
        YcToY4m(format, pixels.data(), 7, back);
        EXPECT_EQ(back.y, frame.y) << chroma;
        EXPECT_EQ(back.cb, frame.cb) << chroma;
        EXPECT_EQ(back.cr, frame.cr) << chroma;
    }
}

TEST(YcConvert, WayBackRoundsHalvesUpAndClamps) {
    EXPECT_EQ(YcToSample(7), 0);
    EXPECT_EQ(YcToSample(8), 1);
    EXPECT_EQ(YcToSample(-9), 0);
    EXPECT_EQ(YcToSample(4087), 255);
    EXPECT_EQ(YcToSample(30000), 255);
    EXPECT_EQ(YcToChromaSample(-8), 128);
    EXPECT_EQ(YcToChromaSample(-9), 127);
    EXPECT_EQ(YcToChromaSample(-5000), 0);
    EXPECT_EQ(YcToChromaSample(5000), 255);
}

TEST(YcConvert, WayBackAveragesTheCoveredPixels) {
    const Y4mFormat format = FormatOf("420jpeg", 3, 2);
    // Cb of the left 2x2 square: 16, 16, 32, 0 -> mean 16 -> +1 step.
    // Right column (one pixel wide at the odd edge): -24 and -40 -> -32.
    std::vector<YcPixel> pixels = {{0, 16, 0}, {0, 16, 0}, {0, -24, 0},
                                   {0, 32, 0}, {0, 0, 0},  {0, -40, 0}};
    Y4mFrame frame;
    YcToY4m(format, pixels.data(), 3, frame);
    ASSERT_EQ(frame.cb.size(), 2u);
    EXPECT_EQ(frame.cb[0], 129);
    EXPECT_EQ(frame.cb[1], 126);
}

}  // namespace
}  // namespace vardelk
