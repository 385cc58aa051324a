#include "sweep/bd_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vardelk {
namespace {

// PSNR and SSIM dB both straight lines in log-rate; `factor` scales the rates.
BdCurve Curve(const std::string& label, double factor) {
    BdCurve c{label, {}};
    for (int k = 0; k < 6; ++k) {
        const double bytes = 1000.0 * std::pow(1.5, k);
        const double db = 2 + 3 * std::log(bytes);
        c.points.push_back({bytes * factor, {10 + 4 * std::log(bytes), 1 - std::pow(10.0, -db / 10)}});
    }
    return c;
}

std::string Printed(const std::vector<BdReportRow>& rows) {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    PrintBdTable(out, "default linear", BdInterpolation::kPchip, rows);
    PrintBdWarnings(out, rows);
    std::fclose(out);
    std::string s(text, size);
    free(text);
    return s;
}

TEST(BdReport, FiguresOnPsnrAndSsimDbAndUnavailableOnesShownAsSuch) {
    BdCurve few = Curve("two points", 0.8);
    few.points.resize(2);
    few.points[1].quality[1] = 1.0;  // identical pictures: infinite SSIM dB
    const std::vector<BdReportRow> rows =
        CompareWithAnchor({Curve("default linear", 1.0), Curve("flat16 linear", 0.9), few}, BdInterpolation::kAkima);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NEAR(rows[0].figures[0].rate.value, -10.0, 1e-9);
    EXPECT_NEAR(rows[0].figures[0].quality.value, -4 * std::log(0.9), 1e-9);
    EXPECT_NEAR(rows[0].figures[1].rate.value, -10.0, 1e-6);
    EXPECT_NEAR(rows[0].figures[1].quality.value, -3 * std::log(0.9), 1e-6);
    EXPECT_TRUE(rows[0].warnings.empty());
    EXPECT_FALSE(rows[1].figures[0].rate.computable);

    const std::string text = Printed(rows);
    EXPECT_NE(text.find("-10.000 %"), std::string::npos) << text;
    EXPECT_NE(text.find("n/a"), std::string::npos);
    EXPECT_NE(text.find("warning: two points, SSIM: test point 2"), std::string::npos) << text;

    EXPECT_EQ(BdColumnValues(&rows[0]).rfind(",-10.000,", 0), 0u) << BdColumnValues(&rows[0]);
    EXPECT_EQ(BdColumnValues(&rows[1]).substr(0, 2), ",,") << BdColumnValues(&rows[1]);
    const std::string json = BdJson("default linear", BdInterpolation::kAkima, rows);
    EXPECT_NE(json.find("\"bd_rate_psnr\": null"), std::string::npos) << json;
}

// SSIMULACRA 2 as a third measure: its figures in points, after SSIM's in
// every form, and the same rows for PSNR and SSIM as without it.
TEST(BdReport, Ssimulacra2IsAThirdMeasureInItsOwnPoints) {
    const std::vector<SweepMeasure>& measures = SweepMeasures(true);
    ASSERT_EQ(measures.size(), 3u);
    std::vector<BdCurve> curves = {Curve("default linear", 1.0), Curve("flat16 linear", 0.9)};
    for (BdCurve& c : curves)
        for (BdSweepPoint& p : c.points) p.quality.push_back(20 + 1.25 * (p.quality[0] - 10));  // 20 + 5 log(bytes)
    const std::vector<BdReportRow> rows = CompareWithAnchor(curves, BdInterpolation::kPchip, measures);
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].figures.size(), 3u);
    EXPECT_NEAR(rows[0].figures[2].rate.value, -10.0, 1e-6);
    EXPECT_NEAR(rows[0].figures[2].quality.value, -5 * std::log(0.9), 1e-6);
    EXPECT_NEAR(rows[0].figures[1].rate.value, -10.0, 1e-6);

    EXPECT_EQ(BdColumnNames("measured_", measures),
              "measured_bd_rate_psnr,measured_bd_psnr,measured_bd_rate_ssim,measured_bd_ssim,"
              "measured_bd_rate_ssimulacra2,measured_bd_ssimulacra2");
    EXPECT_EQ(BdColumnValues(nullptr, measures), ",,,,,,");
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    PrintBdTable(out, "default linear", BdInterpolation::kPchip, rows, measures);
    std::fclose(out);
    const std::string table(text, size);
    free(text);
    EXPECT_NE(table.find("BD-rate SSIMULACRA 2 BD-SSIMULACRA 2"), std::string::npos) << table;
    EXPECT_NE(table.find("+0.527 pt"), std::string::npos) << table;
    EXPECT_NE(
        BdJson("default linear", BdInterpolation::kPchip, rows, measures).find("\"bd_rate_ssimulacra2\": -10.0000"),
        std::string::npos);
}

// Butteraugli's 3-norm, a distance, is compared as -ln of it, after
// SSIMULACRA 2: a curve reaching the same norm with 10 % fewer bytes saves
// 10 % and is better by the log of the norm it gains.
TEST(BdReport, ButteraugliIsTakenAsMinusLogOfTheThreeNorm) {
    const std::vector<SweepMeasure>& measures = SweepMeasures(true, true);
    ASSERT_EQ(measures.size(), 4u);
    std::vector<BdCurve> curves = {Curve("default linear", 1.0), Curve("flat16 linear", 0.9)};
    for (BdCurve& c : curves)
        for (BdSweepPoint& p : c.points) {
            const double bytes = std::exp((p.quality[0] - 10) / 4);  // the curve's own bytes, before its factor
            p.quality.push_back(50);
            p.quality.push_back(8 / std::sqrt(bytes));
        }
    const std::vector<BdReportRow> rows = CompareWithAnchor(curves, BdInterpolation::kPchip, measures);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NEAR(rows[0].figures[3].rate.value, -10.0, 1e-6);
    EXPECT_NEAR(rows[0].figures[3].quality.value, -0.5 * std::log(0.9), 1e-6);
    EXPECT_EQ(BdColumnNames("", SweepMeasures(false, true)),
              "bd_rate_psnr,bd_psnr,bd_rate_ssim,bd_ssim,bd_rate_butteraugli,bd_butteraugli");
}

TEST(BdReport, WarningsAlikeButForCurveAndFiguresArePrintedOnce) {
    BdReportRow a, b, c;
    a.warnings = {"flat16 linear, PSNR: BD-rate: the curves share only 60% of their range"};
    b.warnings = {"steep linear, SSIM: BD-rate: the curves share only 42% of their range",
                  "steep linear, PSNR: BD-rate: n/a (a curve is not monotonic)"};
    c.warnings = {"mine linear, PSNR: BD-rate: the curves share only 7% of their range"};
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    PrintBdWarnings(out, {a, b, c});
    std::fclose(out);
    const std::string printed(text, size);
    free(text);
    EXPECT_EQ(printed,
              "warning: flat16 linear, PSNR: BD-rate: the curves share only 60% of their range\n"
              "warning: the same for 2 more (steep linear, SSIM; mine linear, PSNR)\n"
              "warning: steep linear, PSNR: BD-rate: n/a (a curve is not monotonic)\n");
}

}  // namespace
}  // namespace vardelk
