#include "quality/bd_rate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace vardelk {
namespace {

constexpr BdInterpolation kMethods[] = {BdInterpolation::kPchip, BdInterpolation::kAkima, BdInterpolation::kCubicFit};

// Quality = 10 + 4 ln(bytes), a straight line that every method reproduces.
std::vector<BdPoint> Line(double rateFactor, int points = 6) {
    std::vector<BdPoint> curve;
    for (int k = 0; k < points; ++k) {
        const double bytes = 1000.0 * std::pow(1.6, k);
        curve.push_back({bytes * rateFactor, 10 + 4 * std::log(bytes)});
    }
    return curve;
}

bool HasWarning(const BdResult& r, const char* text) {
    for (const std::string& w : r.warnings)
        if (w.find(text) != std::string::npos) return true;
    return false;
}

TEST(BdRate, KnownShiftsForEveryMethod) {
    for (BdInterpolation m : kMethods) {
        // 10% less rate for every quality: BD-rate -10%, BD-quality 4 ln(1/0.9).
        const BdResult r = BjontegaardDelta(Line(1.0), Line(0.9), m);
        ASSERT_TRUE(r.rate.computable) << r.rate.reason;
        ASSERT_TRUE(r.quality.computable) << r.quality.reason;
        EXPECT_NEAR(r.rate.value, -10.0, 1e-9) << BdInterpolationName(m);
        EXPECT_NEAR(r.quality.value, -4 * std::log(0.9), 1e-9) << BdInterpolationName(m);
        EXPECT_NEAR(r.rate.anchorOverlap, 1.0, 1e-12);
        EXPECT_LT(r.quality.testOverlap, 1.0);
        EXPECT_TRUE(r.warnings.empty());
        // Order of the points does not matter.
        std::vector<BdPoint> reversed = Line(0.9);
        std::swap(reversed.front(), reversed.back());
        EXPECT_NEAR(BjontegaardDelta(Line(1.0), reversed, m).rate.value, -10.0, 1e-9);
    }
}

TEST(BdRate, DegenerateCurvesAreNotComputableWithAReason) {
    const BdResult few = BjontegaardDelta(Line(1.0, 3), Line(0.9, 3), BdInterpolation::kCubicFit);
    EXPECT_FALSE(few.rate.computable);
    EXPECT_NE(few.rate.reason.find("at least 4"), std::string::npos);
    EXPECT_TRUE(BjontegaardDelta(Line(1.0, 3), Line(0.9, 3), BdInterpolation::kAkima).rate.computable);
    EXPECT_FALSE(BjontegaardDelta(Line(1.0, 2), Line(0.9, 2), BdInterpolation::kAkima).rate.computable);
    EXPECT_FALSE(BjontegaardDelta({}, {}, BdInterpolation::kPchip).quality.computable);

    std::vector<BdPoint> flat = Line(1.0);
    flat[2].quality = flat[3].quality;  // two points at one quality
    const BdResult same = BjontegaardDelta(flat, Line(0.9), BdInterpolation::kPchip);
    EXPECT_FALSE(same.rate.computable);
    EXPECT_NE(same.rate.reason.find("share the quality"), std::string::npos);
    EXPECT_TRUE(same.quality.computable);
    EXPECT_TRUE(HasWarning(same, "not monotonic"));

    // Far apart: no shared quality or rate.
    std::vector<BdPoint> far = Line(1.0);
    for (BdPoint& p : far) p.quality += 1000, p.bytes *= 1e6;
    const BdResult apart = BjontegaardDelta(Line(1.0), far, BdInterpolation::kAkima);
    EXPECT_FALSE(apart.rate.computable);
    EXPECT_FALSE(apart.quality.computable);
    EXPECT_NE(apart.rate.reason.find("share no"), std::string::npos);
}

TEST(BdRate, UnusablePointsAreLeftOutAndSmallOverlapsWarned) {
    std::vector<BdPoint> anchor = Line(1.0, 7);
    anchor.push_back({5e6, std::numeric_limits<double>::infinity()});  // identical planes
    anchor.push_back({0, 30});
    anchor.push_back({std::nan(""), 30});
    const BdResult r = BjontegaardDelta(anchor, Line(0.9, 7), BdInterpolation::kPchip);
    EXPECT_TRUE(r.rate.computable);
    EXPECT_NEAR(r.rate.value, -10.0, 1e-9);
    EXPECT_TRUE(HasWarning(r, "point 8"));
    EXPECT_TRUE(HasWarning(r, "point 10"));

    // Test curve covering only the top half of the anchor's qualities.
    std::vector<BdPoint> top = Line(1.0, 7);
    top.erase(top.begin(), top.begin() + 3);
    const BdResult part = BjontegaardDelta(Line(1.0, 7), top, BdInterpolation::kCubicFit);
    EXPECT_NEAR(part.rate.anchorOverlap, 0.5, 1e-12);
    EXPECT_NEAR(part.rate.testOverlap, 1.0, 1e-12);
    EXPECT_TRUE(HasWarning(part, "BD-rate: the curves share only 50%"));
}

}  // namespace
}  // namespace vardelk
