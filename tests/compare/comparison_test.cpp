// A whole comparison on two small pictures with three matrices: the
// ranking's shape in every band, report.json and the plots; and the same
// confirmed by ffmpeg where it is installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "compare/comparison.h"
#include "encoders/child_process.h"
#include "encoders/ffmpeg_mpeg2.h"
#include "search/encoder_confirmation.h"
#include "search/matrix_family.h"
#include "search/operating_range.h"
#include "tests/search/test_pictures.h"

namespace vardelk {
namespace {

struct SmallComparison {
    TemporaryFolder folder{"vardelk-compare-test"};
    ComparisonOptions options;

    SmallComparison() {
        for (uint32_t seed : {1u, 2u}) {
            Y4mFormat format;
            const Y4mFrame frame = GrainyScene(100, 68, seed, &format);
            const std::string path = folder.File("scene" + std::to_string(seed) + ".y4m");
            WriteY4mFile(path, format, {frame});
            options.inputs.push_back(path);
        }
        SearchMatrix steep = DefaultSearchMatrix();
        for (size_t i = 1; i < steep.size(); ++i) steep[i] = std::min(255, steep[i] * 2);
        options.candidates = {{"flat16", FlatSearchMatrix(16)}, {"steep", steep}};
        options.model = PresetModel(EncoderPreset::kFfmpeg);
        options.scaleCodes = {2, 4, 6, 8, 11, 16, 22, 31};
        options.threads = 2;
        options.outputFolder = folder.File("out");
    }
};

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void ExpectRankedSide(const ComparisonSide& side, size_t bands) {
    ASSERT_EQ(side.bands.size(), bands);
    EXPECT_TRUE(side.bands.back().band.Whole());
    for (const BandRanking& band : side.bands) {
        std::vector<size_t> order = band.order;
        std::sort(order.begin(), order.end());
        EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2})) << band.band.name;
        // Best first; a candidate without a figure (a band no picture
        // reaches) after every one with one.
        for (size_t rank = 1; rank < band.order.size(); ++rank) {
            const double before = band.figures[band.order[rank - 1]][0].meanBdRate;
            const double after = band.figures[band.order[rank]][0].meanBdRate;
            EXPECT_TRUE(std::isnan(after) || before <= after) << band.band.name;
        }
    }
    // Every picture reaches the whole range; the default is its own reference.
    EXPECT_TRUE(side.bands.back().uncovered.empty());
    EXPECT_EQ(side.bands.back().figures[0][0].meanBdRate, 0.0);
}

TEST(Comparison, RanksEveryBandAndWritesTheReport) {
    SmallComparison c;
    const ComparisonResult result = RunComparison(c.options);
    ASSERT_EQ(result.candidates.size(), 3u);
    EXPECT_EQ(result.candidates[0].name, "default");
    EXPECT_EQ(result.pictures.size(), 2u);
    ExpectRankedSide(result.predicted, 4);
    EXPECT_FALSE(result.confirmed);
    const std::string json = FileText(c.options.outputFolder + "/report.json");
    for (const char* part : {"\"ranking\"", "\"steep\"", "\"low\"", "\"all\"", "\"measured\": null"})
        EXPECT_NE(json.find(part), std::string::npos) << part;
    EXPECT_TRUE(std::filesystem::exists(c.options.outputFolder + "/band-all.svg"));
    EXPECT_TRUE(std::filesystem::exists(c.options.outputFolder + "/band-all.png"));
}

TEST(Comparison, ConfirmedByTheEncoderBesidePredicted) {
    if (FindConfirmingEncoder(PresetModel(EncoderPreset::kFfmpeg)).name.empty()) GTEST_SKIP() << "needs ffmpeg";
    SmallComparison c;
    c.options.confirm = true;
    c.options.bands = {BppBand(1.0, 3.0)};
    c.options.scaleCodes = {2, 6, 11, 22};
    const ComparisonResult result = RunComparison(c.options);
    ASSERT_TRUE(result.confirmed);
    ExpectRankedSide(result.measured, 2);
    EXPECT_EQ(result.measured.source, "ffmpeg");
    // One agreement line per band, each naming the encoder.
    ASSERT_EQ(result.notes.size(), 2u);
    EXPECT_NE(result.notes[0].find("ffmpeg gives"), std::string::npos) << result.notes[0];
}

// A candidate 10 % cheaper below 3000 bytes and 50 % dearer above: a low
// band sees the saving, the whole range the cost.
TEST(OperatingRange, RankingInABandTakesOnlyItsInterval) {
    const RdCurveData reference = {{16, 500, 40}, {12, 1000, 50}, {10, 2000, 60}, {8, 4000, 70}, {4, 16000, 90}};
    RdCurveData candidate = reference;
    for (CurvePoint& p : candidate) p.bytes *= p.bytes < 3000 ? 0.9 : 1.5;
    const std::vector<std::vector<std::vector<RdCurveData>>> curves = {{{reference}}, {{candidate}}};
    const BandRanking low = RankBand(curves, {"picture"}, {1.0}, {8000}, BppBand(0.5, 2.0));
    EXPECT_NEAR(low.figures[1][0].meanBdRate, -10.0, 1e-6);
    EXPECT_EQ(low.order.front(), 1u);
    EXPECT_EQ(low.figures[1][0].worstPicture, "picture");
    const BandRanking whole = RankBand(curves, {"picture"}, {1.0}, {8000}, WholeRange());
    EXPECT_GT(whole.figures[1][0].meanBdRate, 0.0);
    EXPECT_EQ(whole.order.front(), 0u);
}

}  // namespace
}  // namespace vardelk
