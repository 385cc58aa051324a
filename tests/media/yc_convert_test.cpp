#include "media/yc_convert.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "pattern_frames.h"
#include "testing/kernel_builds.h"

namespace vardelk {
namespace {

using testing::FormatOf;
using testing::Pattern;

TEST(YcConvert, ScalesBySixteenAndReplicatesSubsampledChroma) {
    const Y4mFormat format = FormatOf("420jpeg", 3, 3);
    const Y4mFrame frame = Pattern(format);
    const int32_t stride = 5;  // wider rows than the picture
    std::vector<Pixel> pixels(size_t(stride) * 3, Pixel{-1, -1, -1});
    Y4mToYc(format, frame, pixels.data(), stride);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 3; ++x) {
            const Pixel& p = pixels[size_t(y * stride + x)];
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
    std::vector<Pixel> pixels(2);
    Y4mToYc(format, Pattern(format), pixels.data(), 2);
    EXPECT_EQ(pixels[1].cb, 0);
    EXPECT_EQ(pixels[1].cr, 0);
}

TEST(YcConvert, RoundTripIsExactForEveryLayoutAndOddSize) {
    for (const char* chroma : {"420jpeg", "422", "444", "mono"}) {
        const Y4mFormat format = FormatOf(chroma, 7, 5);
        const Y4mFrame frame = Pattern(format);
        std::vector<Pixel> pixels(35);
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
    std::vector<Pixel> pixels = {{0, 16, 0}, {0, 16, 0}, {0, -24, 0}, {0, 32, 0}, {0, 0, 0}, {0, -40, 0}};
    Y4mFrame frame;
    YcToY4m(format, pixels.data(), 3, frame);
    ASSERT_EQ(frame.cb.size(), 2u);
    EXPECT_EQ(frame.cb[0], 129);
    EXPECT_EQ(frame.cb[1], 126);
}

// The fast conversions (every build this machine runs, and the entry points
// that pick one) against the per-pixel reference: every layout, even
// and odd sizes (odd last chroma column and row), a stride wider than the
// picture, random 8-bit planes on the way in and random, extreme and
// near-rounding-boundary host components on the way back.
TEST(YcConvert, FastConversionsEqualTheReference) {
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const std::vector<testing::MediaKernelBuild> builds = testing::MediaKernelBuilds();
    const int16_t extremes[] = {-32768, -32767, -2056, -2055, -2049, -2048, -8,   -7,   0,
                                7,      8,      9,     4087,  4088,  4095,  4096, 32767};
    for (const char* chroma : {"420jpeg", "422", "444", "mono"}) {
        for (const auto& size : {std::pair<int32_t, int32_t>{1, 1}, {2, 2}, {7, 5}, {16, 9}, {33, 17}}) {
            const Y4mFormat format = FormatOf(chroma, size.first, size.second);
            const int32_t stride = size.first + 3;
            Y4mFrame frame;
            frame.Allocate(format);
            for (auto* plane : {&frame.y, &frame.cb, &frame.cr})
                for (uint8_t& v : *plane) v = uint8_t(next());
            std::vector<Pixel> fast(size_t(stride) * size_t(size.second), Pixel{1, 2, 3});
            std::vector<Pixel> plain = fast;
            Y4mToYcReference(format, frame, plain.data(), stride);
            const uint8_t* const planes[3] = {frame.y.data(), frame.cb.data(), frame.cr.data()};
            for (size_t build = 0; build <= builds.size(); ++build) {
                if (build == builds.size())
                    Y4mToYc(format, frame, fast.data(), stride);
                else
                    builds[build].table->toYc(format, planes, fast.data(), stride);
                for (size_t i = 0; i < fast.size(); ++i) {
                    ASSERT_EQ(fast[i].y, plain[i].y) << chroma << " build " << build << " pixel " << i;
                    ASSERT_EQ(fast[i].cb, plain[i].cb) << chroma << " build " << build << " pixel " << i;
                    ASSERT_EQ(fast[i].cr, plain[i].cr) << chroma << " build " << build << " pixel " << i;
                }
            }
            for (int round = 0; round < 3; ++round) {
                for (Pixel& p : fast) {
                    for (int16_t* c : {&p.y, &p.cb, &p.cr}) {
                        const uint32_t r = next();
                        *c = round == 0 ? int16_t(r)
                                        : (round == 1 ? extremes[r % 17] : int16_t(int32_t(r % 4400) - 2200));
                    }
                }
                Y4mFrame plainBack;
                YcToY4mReference(format, fast.data(), stride, plainBack);
                for (size_t build = 0; build <= builds.size(); ++build) {
                    Y4mFrame fastBack;
                    fastBack.Allocate(format);
                    uint8_t* const outPlanes[3] = {fastBack.y.data(), fastBack.cb.data(), fastBack.cr.data()};
                    if (build == builds.size())
                        YcToY4m(format, fast.data(), stride, fastBack);
                    else
                        builds[build].table->toY4m(format, fast.data(), stride, outPlanes);
                    EXPECT_EQ(fastBack.y, plainBack.y) << chroma << " build " << build << " round " << round;
                    EXPECT_EQ(fastBack.cb, plainBack.cb) << chroma << " build " << build << " round " << round;
                    EXPECT_EQ(fastBack.cr, plainBack.cr) << chroma << " build " << build << " round " << round;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vardelk
