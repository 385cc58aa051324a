// The search by SSIMULACRA 2: its scale codes, its family, the prepared
// original against scoring from scratch, and the answer chosen at every
// scale code when the candidates were coded at fewer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "encoders/butteraugli_tool.h"
#include "search/matrix_search.h"
#include "test_pictures.h"

namespace vardelk {
namespace {

TEST(PerceptualSearch, CodesCandidatesAtSixCodesSpreadInLogScale) {
    std::vector<int32_t> all;
    for (int32_t c = 2; c <= 16; ++c) all.push_back(c);
    EXPECT_EQ(SearchCodesFor(QualityMeasure::kSsimulacra2, all), (std::vector<int32_t>{2, 3, 5, 7, 11, 16}));
    EXPECT_EQ(SearchCodesFor(QualityMeasure::kPsnrY, all), all);
    // Crowded at one end: every pick distinct, in order, first and last kept.
    const std::vector<int32_t> crowded = {1, 2, 3, 4, 5, 6, 7, 31};
    const std::vector<int32_t> picked = SearchCodesFor(QualityMeasure::kSsimulacra2, crowded);
    ASSERT_EQ(picked.size(), 6u);
    EXPECT_EQ(picked.front(), 1);
    EXPECT_EQ(picked.back(), 31);
    for (size_t i = 1; i < picked.size(); ++i) EXPECT_LT(picked[i - 1], picked[i]);
    const std::vector<int32_t> few = {2, 4, 8, 16};
    EXPECT_EQ(SearchCodesFor(QualityMeasure::kSsimulacra2, few), few);
}

TEST(PerceptualSearch, FamilyIsThePoweredDefaultCappedWithItsLowFrequencyFactors) {
    PerceptualShape shape;
    shape.power = 2.0;
    shape.cap = 64;
    const SearchMatrix m = PerceptualMatrix(shape);
    EXPECT_EQ(m[0], 8);
    EXPECT_EQ(m[1], 16);                                                 // W 16 stays 16 at any power
    EXPECT_EQ(m[2], int32_t(std::lround(16 * std::pow(19 / 16.0, 2))));  // (0,2): W 19
    EXPECT_EQ(m[63], 64);                                                // W 83 capped
    shape.horizontal = 1.5;
    shape.vertical = 0.5;
    shape.diagonalLow = 2.0;
    const SearchMatrix f = PerceptualMatrix(shape);
    EXPECT_EQ(f[1], 24);
    EXPECT_EQ(f[8], 8);
    EXPECT_EQ(f[9], 32);
    for (int i = 2; i < kMatrixEntries; ++i) {
        if (i != 8 && i != 9) {
            EXPECT_EQ(f[size_t(i)], m[size_t(i)]) << "entry " << i;
        }
    }
    EXPECT_EQ(PerceptualFamilies().size(), PerceptualStarts().size());
}

// The original prepared once (and shared by copies of the picture) scores
// exactly as a pair scored from scratch.
TEST(PerceptualSearch, PreparedOriginalScoresAsFromScratch) {
    const CodedPicture picture = GrainyPicture(72, 40, 3);
    const CodedPicture copy = picture;
    PointCoder coder;
    for (int32_t code : {2, 9}) {
        const PointResult point =
            coder.Code(copy, kDefaultIntraMatrix, code, false, kMeasureSsimulacra2 | kMeasureLumaPsnr);
        EXPECT_EQ(point.ssimulacra2, Ssimulacra2Frames(picture.format, picture.original, coder.Reconstruction()));
        EXPECT_LT(point.ssimulacra2, 100.0);
    }
    EXPECT_EQ(picture.ssimulacra2, copy.ssimulacra2);
}

// Both opinions from one conversion give each measure's own figure, and a
// matrix scores by the worse of the two objectives.
TEST(PerceptualSearch, TwoOpinionsScoreByTheWorse) {
    const std::vector<CodedPicture> pictures = {GrainyPicture(64, 48, 1), GrainyPicture(80, 48, 2)};
    PointCoder coder;
    const PointResult point =
        coder.Code(pictures[0], kDefaultIntraMatrix, 6, false, MeasuresFor(kSsimulacra2Butteraugli));
    EXPECT_EQ(point.ssimulacra2, pictures[0].Ssimulacra2Of(coder.Reconstruction()));
    EXPECT_EQ(point.butteraugli,
              ButteraugliFrames(pictures[0].format, pictures[0].original, coder.Reconstruction()).norm3);
    const std::vector<int32_t> codes = {2, 4, 7, 12};
    const Objective both(pictures, kSsimulacra2Butteraugli, codes, 2);
    const Objective ssimulacra2(pictures, QualityMeasure::kSsimulacra2, codes, 2);
    const Objective butteraugli(pictures, QualityMeasure::kButteraugli, codes, 2);
    SearchMatrix steep = DefaultSearchMatrix();
    for (size_t i = 1; i < steep.size(); ++i) steep[i] = std::min(255, steep[i] * steep[i] / 20);
    for (const SearchMatrix& m : {FlatSearchMatrix(16), steep}) {
        const double s = ssimulacra2.Score(m).objective, b = butteraugli.Score(m).objective;
        const MatrixScore score = both.Score(m);
        EXPECT_EQ(score.objective, std::max(s, b));
        EXPECT_EQ(score.opinionObjectives, (std::vector<double>{s, b}));
        EXPECT_EQ(both.ScoreCurves(score.curves).objective, score.objective);
        // Asked against a bound above it, the score is whole; against one
        // SSIMULACRA 2 alone reaches, that figure settles it.
        EXPECT_EQ(both.ScoreAgainst(m, score.objective + 1).objective, score.objective);
        const MatrixScore settled = both.ScoreAgainst(m, s);
        EXPECT_FALSE(settled.complete);
        EXPECT_EQ(settled.objective, s);
    }
}

// A found matrix that only ties with the best named matrix is not the
// answer: the named matrix is, by its name.
TEST(PerceptualSearch, NamedMatrixThatIsNotBeatenIsTheAnswer) {
    const std::vector<CodedPicture> pictures = {GrainyPicture(64, 48, 1), GrainyPicture(80, 48, 2)};
    const Objective objective(pictures, kSsimulacra2Butteraugli, {2, 4, 7, 12}, 2);
    SearchAnswer named =
        ChooseAnswer(objective, objective, DefaultSearchMatrix(), objective.Score(DefaultSearchMatrix()));
    ASSERT_EQ(named.named.size(), NamedMatrices().size());
    const auto best =
        std::min_element(named.named.begin(), named.named.end(),
                         [](const NamedObjective& a, const NamedObjective& b) { return a.objective < b.objective; });
    ASSERT_LT(best->objective, std::min(named.defaultObjective, named.flatObjective))
        << "no named matrix beats the presets here";
    EXPECT_EQ(named.preset, best->name);
    SearchMatrix tie{};
    for (const FamilyMatrix& m : NamedMatrices()) {
        if (m.name == best->name) tie = m.matrix;
    }
    const SearchAnswer tied = ChooseAnswer(objective, objective, tie, objective.Score(tie));
    EXPECT_EQ(tied.preset, best->name);
    EXPECT_EQ(tied.matrix, tie);
}

// Candidates at six codes, the answer at all of them: its figure is the
// found matrix coded again at every code, never the six-code one.
TEST(PerceptualSearch, AnswerIsChosenAtEveryScaleCode) {
    const std::vector<CodedPicture> pictures = {GrainyPicture(64, 48, 1), GrainyPicture(80, 48, 2)};
    const std::vector<int32_t> codes = {2, 3, 4, 5, 6, 8, 10, 12};
    const Objective searched(pictures, QualityMeasure::kSsimulacra2,
                             SearchCodesFor(QualityMeasure::kSsimulacra2, codes), 2);
    const Objective counting(pictures, QualityMeasure::kSsimulacra2, codes, 2);
    SearchSettings settings;
    settings.budgetSeconds = 0;
    settings.maxEvaluations = 45;
    const SearchResult result = RunMatrixSearch(searched, settings, {}, {}, &counting);
    EXPECT_EQ(result.families.size(), StartingFamilies().size() + PerceptualFamilies().size() + NamedMatrices().size());
    const SearchAnswer answer = ChooseAnswer(counting, searched, result.best, result.score);
    EXPECT_EQ(answer.score.curves.front().size(), codes.size());
    EXPECT_EQ(answer.score.objective, counting.Score(answer.matrix).objective);
    EXPECT_LE(answer.score.objective, std::min(answer.defaultObjective, answer.flatObjective));
}

TEST(Butteraugli, ReadsTheThreeNormFromWhatTheProgramPrints) {
    EXPECT_DOUBLE_EQ(ParseButteraugliNorm("5.3013048172\n3-norm: 2.268960\n", "a"), 2.26896);
    EXPECT_THROW(ParseButteraugliNorm("5.3013048172\n", "a"), std::runtime_error);
    EXPECT_THROW(ParseButteraugliNorm("3-norm: nothing\n", "a"), std::runtime_error);
}

}  // namespace
}  // namespace vardelk
