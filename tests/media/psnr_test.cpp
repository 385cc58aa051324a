#include "media/psnr.h"

#include <gtest/gtest.h>

#include <cmath>

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
    EXPECT_THROW(ComparePlanes(a, {1, 2}), MediaError);
}

}  // namespace
}  // namespace vardelk
