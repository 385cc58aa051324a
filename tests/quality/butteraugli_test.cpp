#include "quality/butteraugli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "testing/measure_pairs.h"
#include "testing/stored_figures.h"

namespace vardelk {
namespace {

using testing::AddNoise;
using testing::MeasurePair;
using testing::PairMatrix;
using testing::Scene;

// What `butteraugli_main ORIGINAL DISTORTED --pnorm 3` prints for these
// pairs (scripts/butteraugli_reference.sh makes them again).
struct Figure {
    const char* name;
    double maxNorm;
    double norm3;
};
const Figure kReference[] = {
#include "tests/quality/butteraugli_figures.inc"
};

// The measures' shared pairs, the photographs also with a steep matrix, and
// what the distance alone meets: sizes at the smallest measured or just too
// small for the half resolution, flat pictures, a checkerboard.
std::vector<MeasurePair> Pairs(bool& havePhotos) {
    std::vector<MeasurePair> pairs;
    const std::vector<testing::PhotographCodings> photographs = {
        {"flower", {2, 8, 24}, {PairMatrix::kDefault, PairMatrix::kFlat16}},
        {"tiger", {3, 10, 31}, {PairMatrix::kDefault, PairMatrix::kSteep}},
        {"tulips", {1, 12}, {PairMatrix::kFlat16, PairMatrix::kSteep}},
        {"blossom", {6, 16}, {PairMatrix::kDefault, PairMatrix::kFlat16}},
        {"room", {5, 20}, {PairMatrix::kDefault, PairMatrix::kSteep}},
    };
    havePhotos = testing::AddCodedPhotographs(pairs, photographs);
    testing::AddMadePictures(pairs);
    const RgbImage least = Scene(8, 8, 9), narrow = Scene(15, 40, 10);
    pairs.push_back({"least-8x8", least, AddNoise(least, 20, 11)});
    pairs.push_back({"narrow-15x40", narrow, AddNoise(narrow, 8, 12)});
    // A faint change on flat grey, and noise against it.
    RgbImage flat;
    flat.Resize(64, 48);
    std::fill(flat.rgb.begin(), flat.rgb.end(), uint8_t(118));
    RgbImage faint = flat;
    for (int32_t y = 20; y < 28; ++y) std::fill_n(faint.At(24, y), 3 * 16, uint8_t(121));
    pairs.push_back({"flat-64x48", flat, faint});
    pairs.push_back({"noise-on-flat-64x48", flat, AddNoise(flat, 40, 13)});
    // Black and white extremes.
    RgbImage checker, a, b;
    checker.Resize(40, 40);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x) std::fill_n(checker.At(x, y), 3, uint8_t(((x / 5 + y / 5) % 2) * 255));
    testing::CodeAsRgb(checker, 6, PairMatrix::kFlat16, a, b);
    pairs.push_back({"checker-40x40", a, b});
    return pairs;
}

// Within 0.1 % of the program's figures (it prints the 3-norm to six
// places, so a small norm is held to half a unit of that place).
TEST(Butteraugli, MatchesTheProgramOnPhotographsAndEdgeCases) {
    bool havePhotos = false;
    const std::vector<MeasurePair> pairs = Pairs(havePhotos);
    if (!havePhotos) testing::NoteMissingPhotographs();
    testing::DumpPairs(pairs, "VARDELK_BUTTERAUGLI_DUMP");
    const auto relative = [](double ours, double theirs) {
        return theirs == 0.0 ? std::fabs(ours) : std::fabs(ours - theirs) / theirs;
    };
    double worstMax = 0.0, worstNorm = 0.0;
    const int32_t compared =
        testing::CheckEachPair(pairs, kReference, [&](const MeasurePair& pair, const Figure& figure) {
            const ButteraugliDistance d = Butteraugli(pair.original, pair.distorted);
            EXPECT_NEAR(d.maxNorm, figure.maxNorm, 1e-3 * figure.maxNorm) << pair.name;
            EXPECT_NEAR(d.norm3, figure.norm3, std::max(1e-3 * figure.norm3, 5e-7)) << pair.name;
            worstMax = std::max(worstMax, relative(d.maxNorm, figure.maxNorm));
            worstNorm = std::max(worstNorm, relative(d.norm3, figure.norm3));
            std::printf("%-24s max %12.8f %12.8f  3-norm %10.6f %10.6f\n", pair.name.c_str(), d.maxNorm, figure.maxNorm,
                        d.norm3, figure.norm3);
        });
    std::printf("%d pairs; largest relative difference from the program: max norm %.2g, 3-norm %.2g\n", compared,
                worstMax, worstNorm);
    if (havePhotos) {
        EXPECT_GE(compared, 30);
    }
}

TEST(Butteraugli, TinyPicturesHaveNoDistanceAndMismatchedPicturesAreRefused) {
    const RgbImage scene = Scene(64, 40, 11);
    const ButteraugliDistance same = Butteraugli(scene, scene);
    EXPECT_EQ(same.maxNorm, 0.0);
    EXPECT_EQ(same.norm3, 0.0);
    // Under 8 pixels either way the program answers 0, a perfect match; here
    // there is no distance.
    const RgbImage tiny = Scene(40, 7, 12);
    ButteraugliMap map;
    map.width = 1;
    const ButteraugliDistance none = Butteraugli(tiny, AddNoise(tiny, 50, 13), {}, &map);
    EXPECT_TRUE(std::isnan(none.maxNorm));
    EXPECT_TRUE(std::isnan(none.norm3));
    EXPECT_EQ(map.width, 0);
    EXPECT_TRUE(std::isnan(ButteraugliOriginal(tiny).Measure(tiny).norm3));
    EXPECT_THROW(Butteraugli(scene, Scene(64, 41, 11)), std::invalid_argument);
    EXPECT_THROW(ButteraugliOriginal(scene).Measure(Scene(63, 40, 11)), std::invalid_argument);
}

// The prepared original, the one-off measure, linear planes given by the
// caller, any thread count and any kernel build give the same bits; the
// map's largest value is the max norm.
TEST(Butteraugli, SameBitsForPreparedOriginalLinearPlanesThreadsAndBuilds) {
    const RgbImage original = Scene(203, 97, 21);
    const RgbImage distorted = AddNoise(original, 12, 22);
    ButteraugliMap map;
    const ButteraugliDistance once = Butteraugli(original, distorted, ButteraugliOptions{1, 0}, &map);
    ASSERT_EQ(map.width, 203);
    ASSERT_EQ(map.height, 97);
    EXPECT_EQ(double(*std::max_element(map.distance.begin(), map.distance.end())), once.maxNorm);
    const LinearRgb linearOriginal(original), linearDistorted(distorted);
    for (uint32_t flags : {0u, uint32_t(kCpuSse2), uint32_t(kCpuSse2 | kCpuAvx2)}) {
        if (!CpuRuns(flags)) continue;
        for (int32_t threads : {1, 3}) {
            const ButteraugliOptions options{threads, flags};
            const auto same = [&](const ButteraugliDistance& d, const char* what) {
                EXPECT_EQ(d.maxNorm, once.maxNorm) << what << " " << flags << " " << threads;
                EXPECT_EQ(d.norm3, once.norm3) << what << " " << flags << " " << threads;
            };
            same(Butteraugli(original, distorted, options), "one-off");
            same(Butteraugli(linearOriginal.Planes(), linearDistorted.Planes(), options), "linear");
            const ButteraugliOriginal prepared(original, options);
            same(prepared.Measure(distorted), "prepared");
            same(prepared.Measure(linearDistorted.Planes()), "prepared, linear");
            EXPECT_EQ(prepared.Measure(original).maxNorm, 0.0);
        }
    }
}

}  // namespace
}  // namespace vardelk
