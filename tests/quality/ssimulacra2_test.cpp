#include "quality/ssimulacra2.h"

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

// The scores the reference tool gives these pairs
// (scripts/ssimulacra2_reference.sh makes them again).
struct Figure {
    const char* name;
    double score;
};
const Figure kReference[] = {
#include "tests/quality/ssimulacra2_figures.inc"
};

std::vector<MeasurePair> Pairs(bool& havePhotos) {
    const std::vector<PairMatrix> matrices = {PairMatrix::kDefault, PairMatrix::kFlat16};
    std::vector<MeasurePair> pairs;
    const std::vector<testing::PhotographCodings> photographs = {
        {"flower", {2, 8, 24}, matrices}, {"tiger", {3, 10, 31}, matrices}, {"tulips", {4, 12}, matrices},
        {"blossom", {6, 16}, matrices},   {"room", {5, 20}, matrices},
    };
    havePhotos = testing::AddCodedPhotographs(pairs, photographs);
    testing::AddMadePictures(pairs);
    return pairs;
}

TEST(Ssimulacra2, MatchesTheReferenceToolOnPhotographsAndEdgeCases) {
    bool havePhotos = false;
    const std::vector<MeasurePair> pairs = Pairs(havePhotos);
    if (!havePhotos) testing::NoteMissingPhotographs();
    testing::DumpPairs(pairs, "VARDELK_SSIMULACRA2_DUMP");
    double worst = 0.0, lowest = 100.0;
    const int32_t compared =
        testing::CheckEachPair(pairs, kReference, [&](const MeasurePair& pair, const Figure& figure) {
            const double score = Ssimulacra2(pair.original, pair.distorted);
            EXPECT_NEAR(score, figure.score, 0.02) << pair.name;
            std::printf("%-20s %10.4f %10.4f %+8.4f\n", pair.name.c_str(), score, figure.score, score - figure.score);
            worst = std::max(worst, std::fabs(score - figure.score));
            lowest = std::min(lowest, score);
        });
    std::printf("%d pairs, largest difference from the reference %.2g, lowest score %.2f\n", compared, worst, lowest);
    if (havePhotos) {
        EXPECT_GE(compared, 20);
    }
    EXPECT_LT(lowest, 0.0);
}

TEST(Ssimulacra2, IdenticalPicturesScore100AndTinyOrMismatchedPicturesAreRefused) {
    const RgbImage scene = Scene(64, 40, 11);
    EXPECT_EQ(Ssimulacra2(scene, scene), 100.0);
    // Under 8 pixels either way there is no scale to measure: no score,
    // rather than the 100 of a perfect match.
    const RgbImage tiny = Scene(40, 7, 12);
    EXPECT_TRUE(std::isnan(Ssimulacra2(tiny, AddNoise(tiny, 50, 13))));
    EXPECT_THROW(Ssimulacra2(scene, Scene(64, 41, 11)), std::invalid_argument);
    EXPECT_THROW(Ssimulacra2Original(scene).Score(Scene(63, 40, 11)), std::invalid_argument);
}

// The prepared original, the one-off score, any thread count and any
// kernel build give the same bits.
TEST(Ssimulacra2, ScoreIsTheSameForPreparedOriginalThreadsAndBuilds) {
    const RgbImage original = Scene(301, 203, 21);
    const RgbImage distorted = AddNoise(original, 12, 22);
    const double once = Ssimulacra2(original, distorted, Ssimulacra2Options{1, 0});
    for (uint32_t flags : {0u, uint32_t(kCpuSse2), uint32_t(kCpuSse2 | kCpuAvx2)}) {
        if (!CpuRuns(flags)) continue;
        for (int32_t threads : {1, 4}) {
            const Ssimulacra2Options options{threads, flags};
            EXPECT_EQ(Ssimulacra2(original, distorted, options), once) << flags << " " << threads;
            const Ssimulacra2Original prepared(original, options);
            EXPECT_EQ(prepared.Score(distorted), once) << flags << " " << threads;
            EXPECT_EQ(prepared.Score(original), 100.0);
        }
    }
}

TEST(Ssimulacra2, MapIsZeroWhereThePicturesAgreeAndPeaksAtTheDamage) {
    const RgbImage original = Scene(160, 96, 31);
    RgbImage distorted = original;
    for (int32_t y = 40; y < 56; ++y)
        for (int32_t x = 100; x < 116; ++x) std::fill_n(distorted.At(x, y), 3, uint8_t((x + y) % 2 ? 255 : 0));
    const Ssimulacra2Original prepared(original);
    Ssimulacra2Map map;
    const double score = prepared.Score(distorted, &map);
    EXPECT_EQ(score, Ssimulacra2(original, distorted));
    ASSERT_EQ(map.width, 160);
    ASSERT_EQ(map.height, 96);
    const size_t peak = size_t(std::max_element(map.error.begin(), map.error.end()) - map.error.begin());
    EXPECT_NEAR(int32_t(peak % 160), 108, 12);
    EXPECT_NEAR(int32_t(peak / 160), 48, 12);
    EXPECT_EQ(map.error[5 * 160 + 5], 0.0f);
    prepared.Score(original, &map);
    EXPECT_EQ(*std::max_element(map.error.begin(), map.error.end()), 0.0f);
}

}  // namespace
}  // namespace vardelk
