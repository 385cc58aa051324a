#include "media/psnr.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include <cmath>

#include "testing/kernel_builds.h"

namespace vardelk {
namespace {

TEST(Psnr, MatchesTheDefinitionAndPoolsFrames) {
    const std::vector<uint8_t> a = {10, 20, 30, 40};
    const std::vector<uint8_t> b = {12, 20, 30, 40};  // MSE 1
    const PlaneError one = ComparePlanes(a, b);
    EXPECT_DOUBLE_EQ(one.MeanSquaredError(), 1.0);
    EXPECT_NEAR(one.Psnr(), 48.1308, 1e-4);
    PlaneError pooled = one;
    pooled.Add(ComparePlanes(a, a));  // MSE over 8 samples: 0.5
    EXPECT_NEAR(pooled.Psnr(), 48.1308 + 10 * std::log10(2.0), 1e-4);
}

TEST(Psnr, IdenticalPlanesAreInfiniteAndSizeMismatchIsAnError) {
    const std::vector<uint8_t> a = {1, 2, 3};
    EXPECT_TRUE(std::isinf(ComparePlanes(a, a).Psnr()));
    EXPECT_THROW(ComparePlanes(a, {1, 2}), std::invalid_argument);
}

// Every build's sum, and the one ComparePlanes picks, against the
// per-sample definition: lengths around the 16- and 32-sample steps and past
// the point where the lane sums are flushed to 64 bits, random samples and
// the largest differences (0 against 255).
TEST(Psnr, SumOfSquaresEqualsTheDefinitionForEveryLengthAndExtremes) {
    uint32_t seed = 7;
    for (size_t size : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{31}, size_t{33}, size_t{65535},
                        size_t{65536}, size_t{65553}, size_t{131072}, size_t{200001}}) {
        for (int kind = 0; kind < 2; ++kind) {
            std::vector<uint8_t> a(size), b(size);
            for (size_t i = 0; i < size; ++i) {
                seed = seed * 1664525u + 1013904223u;
                a[i] = kind == 0 ? uint8_t(seed >> 24) : uint8_t(i % 2 ? 0 : 255);
                b[i] = kind == 0 ? uint8_t(seed >> 13) : uint8_t(i % 2 ? 255 : 0);
            }
            uint64_t expected = 0;
            for (size_t i = 0; i < size; ++i) expected += uint64_t((int(a[i]) - b[i]) * (int(a[i]) - b[i]));
            const PlaneError e = ComparePlanes(a, b);
            EXPECT_EQ(e.squaredError, double(expected)) << size << " kind " << kind;
            EXPECT_EQ(e.samples, double(size));
            for (const testing::MediaKernelBuild& build : testing::MediaKernelBuilds())
                EXPECT_EQ(build.table->squaredError(a.data(), b.data(), size), expected) << build.name << " " << size;
        }
    }
}

}  // namespace
}  // namespace vardelk
