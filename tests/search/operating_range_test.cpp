// A band's rates and its interval on a curve, on curves worked out by
// hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "media/error.h"
#include "search/objective.h"
#include "search/operating_range.h"
#include "test_pictures.h"

namespace vardelk {
namespace {

// Quality 50 at 1000 bytes, 70 at 4000 bytes, 90 at 16000 bytes.
RdCurveData HandCurve(double bytesFactor = 1.0) {
    return {{12, 1000 * bytesFactor, 50}, {8, 4000 * bytesFactor, 70}, {4, 16000 * bytesFactor, 90}};
}

TEST(OperatingRange, RatesOfAnAllIntraStream) {
    // 0.35 bits per pixel of 864x576 pictures, 25 and 30000/1001 a second.
    EXPECT_NEAR(MbitPerSecond(0.35, 864.0 * 576.0, kPalPicturesPerSecond), 4.35456, 1e-9);
    EXPECT_NEAR(MbitPerSecond(0.35, 864.0 * 576.0, kNtscPicturesPerSecond), 5.22025, 1e-5);
    EXPECT_DOUBLE_EQ(BitsPerPixel(1000, 8000), 1.0);
}

TEST(OperatingRange, BandBecomesTheDefaultCurvesQualityInterval) {
    // 8000 pixels: 1 bpp at 1000 bytes. 1..2 bpp: 1000..2000 bytes, half of
    // the first step in log bytes: quality 50..60, codes 12..10.
    const PictureBand inside = BandOnCurve(HandCurve(), 8000, BppBand(1.0, 2.0));
    ASSERT_TRUE(inside.covered);
    EXPECT_NEAR(inside.qualityLow, 50, 1e-9);
    EXPECT_NEAR(inside.qualityHigh, 60, 1e-9);
    EXPECT_NEAR(inside.codeAtLow, 12, 1e-9);
    EXPECT_NEAR(inside.codeAtHigh, 10, 1e-9);
    EXPECT_NEAR(inside.coverage, 1, 1e-12);
    // 0.5..2 bpp: the curve reaches half of the band's span.
    const PictureBand half = BandOnCurve(HandCurve(), 8000, BppBand(0.5, 2.0));
    ASSERT_TRUE(half.covered);
    EXPECT_NEAR(half.coverage, 0.5, 1e-12);
    EXPECT_NEAR(half.qualityLow, 50, 1e-9);
    // Above the curve's finest point the band says nothing of the picture.
    EXPECT_FALSE(BandOnCurve(HandCurve(), 8000, BppBand(20.0, 40.0)).covered);
    EXPECT_THROW(BppBand(0.8, 0.4), Error);
}

TEST(OperatingRange, CurveWithinCutsAtTheIntervalsEnds) {
    const RdCurveData within = CurveWithin(HandCurve(), 60, 80);
    ASSERT_EQ(within.size(), 3u);
    EXPECT_NEAR(within[0].quality, 60, 1e-12);
    EXPECT_NEAR(within[0].bytes, 2000, 1e-9);
    EXPECT_EQ(within[1].scaleCode, 8);
    EXPECT_NEAR(within[2].bytes, 8000, 1e-9);
}

// The codes chosen for a band reach its higher rate at the finest and its
// lower rate at the coarsest on every picture, pictures of different
// detail and size together.
TEST(OperatingRange, BandCodesCoverTheBandOnEveryPicture) {
    const std::vector<CodedPicture> pictures = {GrainyPicture(64, 48, 1), GrainyPicture(96, 64, 4)};
    const CodingModel model;
    const RateBand band = BppBand(1.4, 2.8);
    const std::vector<int32_t> codes = BandScaleCodes(pictures, band, model, 2);
    ASSERT_GE(codes.size(), 4u);
    for (size_t i = 1; i < codes.size(); ++i) EXPECT_GT(codes[i], codes[i - 1]);
    PointCoder coder;
    for (const CodedPicture& p : pictures) {
        const double pixels = double(p.format.width) * double(p.format.height);
        const auto bpp = [&](int32_t code) {
            return BitsPerPixel(double(coder.Code(p, kDefaultIntraMatrix, code, false, 0, model).bytes) +
                                    StreamHeaderBytes(model, p.columns, p.rows),
                                pixels);
        };
        EXPECT_GE(bpp(codes.front()), band.highBpp) << p.name;
        EXPECT_LE(bpp(codes.back()), band.lowBpp) << p.name;
        // and far enough for a matrix of half the default's weights
        EXPECT_LE(bpp(std::max(1, codes.back() / 2)), band.lowBpp) << p.name;
    }
    EXPECT_LT(codes.back() - codes.front(), 30);
}

// A picture the default brings to the band's top only at the finest code
// counts over the whole range; with room above, over the band's interval.
TEST(OperatingRange, PictureWithoutRoomAboveTheBandCountsOverTheWholeRange) {
    const std::vector<CodedPicture> pictures = {GrainyPicture(64, 48, 1)};
    const std::vector<int32_t> codes = {2, 4, 8, 16};
    const Objective whole(pictures, QualityMeasure::kPsnrY, codes, 1);
    const CodedPicture& p = pictures[0];
    const double finest = BitsPerPixel(whole.AnchorCurves()[0].front().bytes, double(p.format.width) * p.format.height);
    const double coarsest =
        BitsPerPixel(whole.AnchorCurves()[0].back().bytes, double(p.format.width) * p.format.height);
    ObjectiveOptions options;
    options.lowBpp = coarsest * 1.1;
    options.highBpp = finest / (kBandRoomAbove * 1.01);
    const Objective roomy(pictures, QualityMeasure::kPsnrY, codes, 1, options);
    EXPECT_LT(roomy.BandIntervals()[0].first, roomy.BandIntervals()[0].second);
    options.highBpp = finest / (kBandRoomAbove * 0.99);
    const Objective tight(pictures, QualityMeasure::kPsnrY, codes, 1, options);
    EXPECT_EQ(tight.BandIntervals()[0], std::make_pair(0.0, 0.0));
}

}  // namespace
}  // namespace vardelk
