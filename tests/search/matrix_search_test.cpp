#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "search/matrix_search.h"
#include "test_pictures.h"

namespace vardelk {
namespace {

std::vector<CodedPicture> TinySet() { return {GrainyPicture(64, 48, 1), GrainyPicture(80, 48, 2)}; }

const std::vector<int32_t> kCodes = {2, 4, 6, 8, 11, 16};

SearchSettings Limited(int64_t evaluations, uint64_t seed) {
    SearchSettings settings;
    settings.budgetSeconds = 0;
    settings.maxEvaluations = evaluations;
    settings.seed = seed;
    return settings;
}

void ExpectCarriable(const SearchMatrix& m) {
    EXPECT_EQ(m[0], 8);
    for (int i = 1; i < kMatrixEntries; ++i) {
        EXPECT_GE(m[size_t(i)], 1) << "entry " << i;
        EXPECT_LE(m[size_t(i)], 255) << "entry " << i;
    }
}

TEST(MatrixSearch, ImprovesMonotonicallyAndReportsWhatItFound) {
    ObjectiveOptions ffmpeg;
    ffmpeg.model = PresetModel(EncoderPreset::kFfmpeg);
    for (const ObjectiveOptions& options : {ObjectiveOptions{}, ffmpeg}) {
        std::vector<CodedPicture> pictures;
        for (const CodedPicture& p : TinySet())
            pictures.push_back(PrepareCodedPicture(p.name, p.format, p.original, options.model));
        for (QualityMeasure measure : AllQualityMeasures()) {
            const Objective objective(pictures, measure, kCodes, 2, options);
            const SearchResult result = RunMatrixSearch(objective, Limited(60, 1), {}, {});
            SCOPED_TRACE(DescribeModel(options.model) + " " + QualityMeasureName(measure));
            // On these small pictures the ffmpeg model's default can stay
            // best (every other matrix costs its 64 bytes in each picture).
            if (options.model == CodingModel{}) {
                ASSERT_FALSE(result.history.empty());
            }
            double previous = objective.Score(DefaultSearchMatrix()).objective;
            for (const SearchEvent& e : result.history) {
                EXPECT_LT(e.objective, previous) << e.move;
                previous = e.objective;
            }
            EXPECT_EQ(result.score.objective, previous);
            EXPECT_EQ(objective.Score(result.best).objective, result.score.objective);
            EXPECT_EQ(result.evaluations, 60);
            ExpectCarriable(result.best);
        }
    }
}

TEST(MatrixSearch, SameSeedSameMatrixWhateverTheThreads) {
    const std::vector<CodedPicture> pictures = TinySet();
    const Objective one(pictures, QualityMeasure::kPsnrY, kCodes, 1);
    const Objective two(pictures, QualityMeasure::kPsnrY, kCodes, 2);
    const SearchResult a = RunMatrixSearch(one, Limited(40, 7), {}, {});
    const SearchResult b = RunMatrixSearch(two, Limited(40, 7), {}, {});
    EXPECT_EQ(a.best, b.best);
    EXPECT_EQ(a.history.size(), b.history.size());
    // Other seeds walk the coordinates in other orders.
    bool anotherPath = false;
    for (uint64_t seed = 8; seed < 12 && !anotherPath; ++seed) {
        const SearchResult c = RunMatrixSearch(two, Limited(40, seed), {}, {});
        anotherPath = c.history.size() != a.history.size();
        for (size_t i = 0; !anotherPath && i < a.history.size(); ++i)
            anotherPath = a.history[i].move != c.history[i].move;
    }
    EXPECT_TRUE(anotherPath);
}

TEST(MatrixSearch, StopKeepsTheBestSoFar) {
    const std::vector<CodedPicture> pictures = TinySet();
    const Objective objective(pictures, QualityMeasure::kSsim, kCodes, 2);
    int asked = 0;
    int reports = 0;
    const SearchResult stopped = RunMatrixSearch(
        objective, Limited(0, 3), [&] { return ++asked > 25; }, [&](const SearchProgress&) { ++reports; });
    EXPECT_EQ(stopped.stop, SearchStop::kStopped);
    EXPECT_EQ(stopped.evaluations, 25);
    EXPECT_EQ(reports, 25);
    // The same run limited to those 25 candidates ends with the same matrix.
    const SearchResult limited = RunMatrixSearch(objective, Limited(25, 3), {}, {});
    EXPECT_EQ(stopped.best, limited.best);
    EXPECT_EQ(stopped.score.objective, limited.score.objective);
    EXPECT_EQ(stopped.phaseBest.back().second, stopped.best);
}

TEST(MatrixSearch, NeverAnswersWorseThanAPreset) {
    // The search objective counts the matrix load for every matrix; the
    // answer counts what each stream really carries.
    ObjectiveOptions real;
    real.model = PresetModel(EncoderPreset::kFfmpeg);
    ObjectiveOptions loaded = real;
    loaded.loadEveryMatrix = true;
    std::vector<CodedPicture> pictures;
    for (const CodedPicture& p : TinySet())
        pictures.push_back(PrepareCodedPicture(p.name, p.format, p.original, real.model));
    const Objective searched(pictures, QualityMeasure::kSsim, kCodes, 2, loaded);
    const Objective counting(pictures, QualityMeasure::kSsim, kCodes, 2, real);

    // Stopped before its first candidate: the default, by the counted figure.
    const SearchResult none = RunMatrixSearch(searched, Limited(0, 1), [] { return true; }, {});
    const SearchAnswer kept = ChooseAnswer(counting, searched, none.best, none.score);
    EXPECT_EQ(kept.preset, "default");
    EXPECT_EQ(kept.matrix, DefaultSearchMatrix());
    EXPECT_EQ(kept.score.objective, kept.defaultObjective);
    // The load the search counts for the default is taken off again.
    EXPECT_LT(kept.foundObjective, none.score.objective);

    // A matrix worse than flat 16 gives way to flat 16 when flat 16 leads.
    const SearchMatrix steep = StartingFamilies().back().matrix;
    const SearchAnswer worse = ChooseAnswer(counting, searched, steep, searched.Score(steep));
    ASSERT_FALSE(worse.preset.empty());
    EXPECT_EQ(worse.matrix, worse.preset == "flat16" ? FlatSearchMatrix(16) : DefaultSearchMatrix());
    EXPECT_LE(worse.score.objective, std::min(worse.defaultObjective, worse.flatObjective));
    EXPECT_GE(worse.foundObjective, worse.score.objective);

    // Recounting the search's curves gives exactly the figures of coding anew.
    const SearchResult found = RunMatrixSearch(searched, Limited(30, 1), {}, {});
    const SearchAnswer answer = ChooseAnswer(counting, searched, found.best, found.score);
    EXPECT_EQ(answer.foundObjective, counting.Score(found.best).objective);
    const double presets = std::min(answer.defaultObjective, answer.flatObjective);
    EXPECT_EQ(answer.preset.empty(), answer.foundObjective < presets);
    // The progress reports by the same figures as the answer.
    double reported = NAN;
    RunMatrixSearch(
        searched, Limited(30, 1), {}, [&](const SearchProgress& p) { reported = p.best; }, &counting);
    EXPECT_EQ(reported, answer.score.objective);
}

TEST(Objective, RefusesCurvesThatShareTooLittleOfTheirRange) {
    const std::vector<CodedPicture> pictures = TinySet();
    const Objective objective(pictures, QualityMeasure::kSsim, kCodes, 2);
    // Far coarser than the default: its finest point lies below most of the default's curve.
    const MatrixScore coarse = objective.Score(FlatSearchMatrix(255));
    EXPECT_TRUE(std::isinf(coarse.objective));
    EXPECT_LT(*std::min_element(coarse.overlaps.begin(), coarse.overlaps.end()), kBdMinimumOverlap);
    const SearchResult result = RunMatrixSearch(objective, Limited(60, 1), {}, {});
    for (double overlap : result.score.overlaps) EXPECT_GE(overlap, kBdMinimumOverlap);
}

TEST(Objective, SizeDoesNotDecideAPicturesWeight) {
    // A crop far smaller than the rest weighs next to nothing; a picture far
    // larger weighs no more than twice the median one.
    const std::vector<CodedPicture> pictures = {GrainyPicture(64, 48, 1), GrainyPicture(80, 48, 2),
                                                GrainyPicture(64, 64, 3), GrainyPicture(16, 16, 4),
                                                GrainyPicture(320, 240, 5)};
    const std::vector<double> w = PictureWeights(pictures);
    ASSERT_EQ(w.size(), pictures.size());
    EXPECT_NEAR(w[0] + w[1] + w[2] + w[3] + w[4], 1.0, 1e-12);
    EXPECT_LT(w[3], w[0] / 10);
    EXPECT_DOUBLE_EQ(w[4], 2 * w[1]);  // 15 macroblocks the median, 300 capped at 30
    // The figures pool by these weights.
    EXPECT_DOUBLE_EQ(WeightedBdRate({-4.0, 2.0}, {3.0, 1.0}), -2.5);
    EXPECT_TRUE(std::isinf(WeightedBdRate({-4.0, std::nan("")}, {1.0, 1.0})));
}

TEST(Objective, PenalisesPicturesThatGainLessThanTheSet) {
    const std::vector<CodedPicture> pictures = TinySet();
    ObjectiveOptions plain, penalised;
    plain.spreadWeight = 0;
    penalised.spreadWeight = 2;
    const Objective a(pictures, QualityMeasure::kPsnrY, kCodes, 2, plain);
    const Objective b(pictures, QualityMeasure::kPsnrY, kCodes, 2, penalised);
    const SearchMatrix steep = StartingFamilies()[5].matrix;  // default^1.25
    const MatrixScore x = a.Score(steep), y = b.Score(steep);
    EXPECT_EQ(x.meanBdRate, y.meanBdRate);
    EXPECT_EQ(x.objective, x.meanBdRate);
    EXPECT_GT(y.spread, 0.0);
    EXPECT_DOUBLE_EQ(y.objective, y.meanBdRate + 2 * y.spread);
}

TEST(MatrixFamily, EveryMatrixStaysCarriable) {
    for (const FamilyMatrix& family : StartingFamilies()) ExpectCarriable(family.matrix);
    for (double extreme : {-40.0, 40.0, std::nan("")}) {
        ShapeParameters shape;
        shape.fill(extreme);
        ExpectCarriable(ShapedMatrix(DefaultSearchMatrix(), shape));
    }
    EXPECT_EQ(ShapedMatrix(DefaultSearchMatrix(), ShapeParameters{}), DefaultSearchMatrix());
}

}  // namespace
}  // namespace vardelk
