// The real encoder's confirmation: the command it runs, and, where ffmpeg
// is installed, that the encoder's own bytes and quality are what the
// search predicts for the ffmpeg model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

#include "encoders/butteraugli_tool.h"
#include "search/encoder_confirmation.h"
#include "search/matrix_family.h"
#include "search/verdict.h"
#include "test_pictures.h"

namespace vardelk {
namespace {

// The value after an option, or "" when the option is absent.
std::string After(const std::vector<std::string>& arguments, const std::string& option) {
    const auto at = std::find(arguments.begin(), arguments.end(), option);
    return at == arguments.end() || at + 1 == arguments.end() ? "" : *(at + 1);
}

TEST(EncoderConfirmation, RunsTheEncoderAtTheModelsSettings) {
    CodingModel model = PresetModel(EncoderPreset::kFfmpeg);
    model.intraVlcFormat = 1;
    model.dcPrecision = 10;
    SearchMatrix steep = DefaultSearchMatrix();
    for (int i = 1; i < kMatrixEntries; ++i) steep[size_t(i)] = 9 + i;  // natural order, entry i is 9 + i
    const std::vector<std::string> a = EncoderArguments("ffmpeg", "in.y4m", "out.m2v", steep, 7, model);
    EXPECT_EQ(After(a, "-qscale:v"), "7");
    EXPECT_EQ(After(a, "-qmin"), "1");  // else ffmpeg raises code 1 to 2
    EXPECT_EQ(After(a, "-intra_vlc"), "1");
    EXPECT_EQ(After(a, "-dc"), "10");
    EXPECT_EQ(After(a, "-g"), "1");
    const std::string entries = After(a, "-intra_matrix");
    EXPECT_EQ(entries.substr(0, 12), "8,10,11,12,1");
    EXPECT_EQ(entries.substr(entries.size() - 6), ",71,72");
    EXPECT_EQ(std::count(entries.begin(), entries.end(), ','), 63);
    EXPECT_EQ(After(a, "-dct"), "");  // the encoder's own transform
    EXPECT_EQ(a.back(), "out.m2v");
    // The default matrix is the encoder's own: no matrix is loaded.
    EXPECT_EQ(After(EncoderArguments("ffmpeg", "in.y4m", "o", DefaultSearchMatrix(), 2, model), "-intra_matrix"), "");
    EXPECT_TRUE(FindConfirmingEncoder(CodingModel{}).name.empty());
    EXPECT_FALSE(FindConfirmingEncoder(CodingModel{}).missing.empty());
}

TEST(EncoderConfirmation, EncoderGivesWhatTheSearchPredicts) {
    const CodingModel model = PresetModel(EncoderPreset::kFfmpeg);
    const ConfirmingEncoder encoder = FindConfirmingEncoder(model);
    if (encoder.name.empty()) GTEST_SKIP() << encoder.missing;
    Y4mFormat format;
    const Y4mFrame frame = GrainyScene(96, 64, 5, &format);
    const std::vector<CodedPicture> pictures = {PrepareCodedPicture("scene", format, frame, model)};
    const Objective objective(pictures, QualityMeasure::kSsim, {1, 3, 9, 14, 20}, 2, ObjectiveOptions{model});
    const EncoderConfirmation runner(encoder, model, pictures);
    for (const SearchMatrix& matrix : {DefaultSearchMatrix(), StartingFamilies().back().matrix}) {
        const RdCurveData predicted = objective.Curves(matrix)[0];
        const RdCurveData measured =
            runner.Curves(matrix, objective.ScaleCodes(), QualityMeasure::kSsim, 2, {}).value()[0];
        for (size_t i = 0; i < predicted.size(); ++i) {
            SCOPED_TRACE("scale code " + std::to_string(predicted[i].scaleCode));
            EXPECT_NEAR(measured[i].bytes / predicted[i].bytes, 1.0, 0.02);
            // At code 1, the finest step, ffmpeg's own transform (not the
            // model's integer one) shows in the quality: 0.15 dB here.
            EXPECT_NEAR(measured[i].quality, predicted[i].quality, predicted[i].scaleCode == 1 ? 0.25 : 0.1);
        }
    }
}

// SSIMULACRA 2 of the encoder's pictures is what the search predicts, and
// Butteraugli, where installed, gives a second opinion that falls as the
// scale code rises.
TEST(EncoderConfirmation, PerceptualMeasuresOfTheEncodersPictures) {
    const CodingModel model = PresetModel(EncoderPreset::kFfmpeg);
    const ConfirmingEncoder encoder = FindConfirmingEncoder(model);
    if (encoder.name.empty()) GTEST_SKIP() << encoder.missing;
    const std::string butteraugli = FindButteraugli();
    if (butteraugli.empty()) GTEST_SKIP() << "butteraugli_main is not installed (Debian: libjxl-devtools)";
    Y4mFormat format;
    const Y4mFrame frame = GrainyScene(96, 64, 5, &format);
    const std::vector<CodedPicture> pictures = {PrepareCodedPicture("scene", format, frame, model)};
    const std::vector<int32_t> codes = {3, 9, 16};
    const Objective objective(pictures, QualityMeasure::kSsimulacra2, codes, 2, ObjectiveOptions{model});
    const EncoderConfirmation runner(encoder, model, pictures, butteraugli);
    const auto measured = runner.CurvesByMeasure(DefaultSearchMatrix(), codes,
                                                 {QualityMeasure::kSsimulacra2, QualityMeasure::kButteraugli}, 2, {});
    const RdCurveData& predicted = objective.AnchorCurves()[0];
    const RdCurveData& score = (*measured)[0][0];
    const RdCurveData& distance = (*measured)[1][0];
    for (size_t i = 0; i < codes.size(); ++i) {
        SCOPED_TRACE("scale code " + std::to_string(codes[i]));
        EXPECT_NEAR(score[i].quality, predicted[i].quality, 1.0);
        EXPECT_TRUE(std::isfinite(distance[i].quality));
        if (i > 0) {
            EXPECT_LT(distance[i].quality, distance[i - 1].quality);  // -ln(norm): worse at coarser codes
        }
    }
}

// A stop ends the runs without an error, also when it comes while a run
// fails (Ctrl-C ends the encoder too); without one, a failing run is an
// error naming the picture. /bin/false stands in for an encoder that fails.
TEST(EncoderConfirmation, StopIsNotAFailure) {
    const CodingModel model = PresetModel(EncoderPreset::kFfmpeg);
    Y4mFormat format;
    const Y4mFrame frame = GrainyScene(32, 16, 1, &format);
    const std::vector<CodedPicture> pictures = {PrepareCodedPicture("scene", format, frame, model)};
    const EncoderConfirmation runner(ConfirmingEncoder{"ffmpeg", "/bin/false", ""}, model, pictures);
    const auto curves = [&](const std::function<bool()>& stop) {
        return runner.Curves(DefaultSearchMatrix(), {3, 9}, QualityMeasure::kPsnrY, 1, stop);
    };
    int asked = 0;
    EXPECT_FALSE(curves([&] { return ++asked > 1; }).has_value());
    EXPECT_EQ(asked, 2);  // before the run, then after it failed; no run after that
    EXPECT_FALSE(curves([] { return true; }).has_value());
    try {
        curves({});
        ADD_FAILURE() << "a failing encoder gave curves";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "scene, scale code 3: /bin/false failed");
    }
}

TEST(Verdict, AMatrixThatSavesByOneMeasureAndCostsByAnotherIsSaidToDoSo) {
    const auto figures = [](QualityMeasure measure, double vsDefault, double vsFlat) {
        MeasureFigures m{measure, {}};
        m.figures.foundVsDefault = {vsDefault, vsDefault};
        m.figures.foundVsFlat = {vsFlat, vsFlat};
        return m;
    };
    const std::vector<MeasureFigures> set = {figures(QualityMeasure::kPsnrY, -2.0, 0.4),
                                             figures(QualityMeasure::kSsim, 1.5, 0.2),
                                             figures(QualityMeasure::kPsnr611, -1.0, std::nan(""))};
    EXPECT_EQ(MixedVerdict(set, false), "saves by psnr, psnr611; costs by ssim");
    EXPECT_EQ(MixedVerdict(set, true), "");  // costs by both that have a figure
}

}  // namespace
}  // namespace vardelk
