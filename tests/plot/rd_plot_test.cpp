// The rate-distortion plot held to the figures it draws: read back from the
// SVG, each line vertex and marker sits where the drawn axes put its figures;
// curves lying exactly on one another (a matrix's linear and non-linear
// mappings) each stay in sight in the PNG; every legend entry is inside the
// picture, in its curve's colour, dash and marker.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "pictures/png_file.h"
#include "plot/rd_plot.h"

namespace vardelk {
namespace {

struct Pixel {
    double x, y;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every match of the pattern, each as its groups' text (0: the whole).
using Match = std::vector<std::string>;
std::vector<Match> All(const std::string& text, const std::string& pattern) {
    std::vector<Match> found;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        found.emplace_back(it->begin(), it->end());
    return found;
}

double Attribute(const std::string& element, const std::string& name) {
    std::smatch m;
    if (!std::regex_search(element, m, std::regex(" " + name + "=\"([-0-9.]+)\""))) return std::nan("");
    return std::stod(m[1]);
}

// "300", "2k", "1M" as the x axis writes them.
double TickValue(const std::string& label) {
    const char unit = label.back();
    if (unit == 'k') return std::stod(label) * 1e3;
    if (unit == 'M') return std::stod(label) * 1e6;
    return std::stod(label);
}

// The axes as the picture shows them: the first and last tick of each, the
// x axis logarithmic.
struct Axes {
    double x0, x1, px0, px1, y0, y1, py0, py1;

    explicit Axes(const std::string& svg) {
        const auto xs = All(svg, "<g class=\"x-tick\">\n<line x1=\"(\\d+)\"[^\n]*\n<text[^>]*>([^<]+)</text>");
        const auto ys =
            All(svg, "<g class=\"y-tick\">\n<line x1=\"\\d+\" y1=\"(\\d+)\"[^\n]*\n<text[^>]*>([^<]+)</text>");
        EXPECT_GE(xs.size(), 2u);
        EXPECT_GE(ys.size(), 2u);
        x0 = std::log10(TickValue(xs.front()[2])), x1 = std::log10(TickValue(xs.back()[2]));
        px0 = std::stod(xs.front()[1]), px1 = std::stod(xs.back()[1]);
        y0 = std::stod(ys.front()[2]), y1 = std::stod(ys.back()[2]);
        py0 = std::stod(ys.front()[1]), py1 = std::stod(ys.back()[1]);
    }
    Pixel At(const RdPoint& p) const {
        return {px0 + (std::log10(p.bytes) - x0) * (px1 - px0) / (x1 - x0),
                py0 + (p.quality - y0) * (py1 - py0) / (y1 - y0)};
    }
};

// A polygon's corners.
std::vector<Match> Corners(const std::string& marker) {
    const std::vector<Match> points = All(marker, "points=\"([^\"]*)\"");
    return points.empty() ? std::vector<Match>{} : All(points[0][1], "([-0-9.]+),([-0-9.]+)");
}

// A marker's centre: a circle's, or the centroid of a polygon's corners.
Pixel Centre(const std::string& marker) {
    if (marker.rfind("<circle", 0) == 0) return {Attribute(marker, "cx"), Attribute(marker, "cy")};
    double x = 0, y = 0;
    const std::vector<Match> corners = Corners(marker);
    for (const Match& c : corners) x += std::stod(c[1]), y += std::stod(c[2]);
    return {x / double(corners.size()), y / double(corners.size())};
}

// What tells a marker's shape apart: its element and its corners about the centre.
std::string Shape(const std::string& marker) {
    if (marker.rfind("<circle", 0) == 0) return "circle r" + std::to_string(Attribute(marker, "r"));
    const Pixel c = Centre(marker);
    std::string shape = "polygon";
    for (const Match& corner : Corners(marker))
        shape += " " + std::to_string(std::stod(corner[1]) - c.x) + "," + std::to_string(std::stod(corner[2]) - c.y);
    return shape;
}

std::string Paint(const std::string& marker) {
    std::smatch m;
    std::regex_search(marker, m, std::regex("fill=\"([^\"]+)\"( stroke=\"([^\"]+)\")?"));
    return m[1].str() + "/" + m[3].str();
}

const std::string kMarker = "<(circle|polygon) [^>]*>";

RgbColour ColourOf(const std::string& rgb) {
    int r = 0, g = 0, b = 0;
    EXPECT_EQ(std::sscanf(rgb.c_str(), "rgb(%d,%d,%d)", &r, &g, &b), 3) << rgb;
    return {uint8_t(r), uint8_t(g), uint8_t(b)};
}

TEST(RdPlot, PointsWhereTheAxesPutThemAndEveryCurveAndLegendEntryInSight) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Scale codes without a label, so that nothing but markers and lines
    // shows a curve at its points.
    const std::vector<RdPoint> shared = {{1000, 40, 3}, {2000, 44.5, 5}, {4300, 48.25, 6}};
    std::vector<RdCurve> curves = {
        {"m linear", shared, false, 0},
        {"m non-linear", shared, false, 1},  // lies exactly on the one before
        {"m linear (ffmpeg)", {{1500, 38, 3}, {3100, 42, 5}}, true, 0},
        {"other", {{520, 33.5, 7}, {800, 36.2, 9}, {900, nan, 10}}, false, -1},
    };
    const std::string svgPath = ::testing::TempDir() + "vardelk_rd_plot.svg";
    const std::string pngPath = ::testing::TempDir() + "vardelk_rd_plot.png";
    WriteRdPlot(svgPath, curves, "test", "Y PSNR (dB)");
    WriteRdPlot(pngPath, curves, "test", "Y PSNR (dB)");
    const std::string svg = ReadText(svgPath);
    const Axes axes(svg);

    const auto lines = All(svg, "<polyline class=\"curve\"[^>]*stroke=\"([^\"]+)\"([^>]*)points=\"([^\"]*)\"");
    const auto points = All(svg, "<g class=\"points\">\n([\\s\\S]*?)</g>");
    const auto legend = All(svg, "<g class=\"legend-entry\">\n([\\s\\S]*?)</g>");
    ASSERT_EQ(lines.size(), curves.size());
    ASSERT_EQ(points.size(), curves.size());
    ASSERT_EQ(legend.size(), curves.size());
    const int32_t width = int32_t(Attribute(svg, "width")), height = int32_t(Attribute(svg, "height"));
    const RgbImage png = ReadPng(pngPath);
    ASSERT_EQ(png.width, width);
    ASSERT_EQ(png.height, height);

    std::set<std::tuple<std::string, std::string, bool>> styles;
    for (size_t i = 0; i < curves.size(); ++i) {
        SCOPED_TRACE(curves[i].label);
        std::vector<Pixel> expected;
        for (const RdPoint& p : curves[i].points)
            if (std::isfinite(p.quality)) expected.push_back(axes.At(p));
        const auto vertices = All(lines[i][3], "(\\d+),(\\d+)");
        const auto markers = All(points[i][1], kMarker);
        ASSERT_EQ(vertices.size(), expected.size());
        ASSERT_EQ(markers.size(), expected.size());
        for (size_t k = 0; k < expected.size(); ++k) {
            EXPECT_NEAR(std::stod(vertices[k][1]), expected[k].x, 1.0) << "vertex " << k;
            EXPECT_NEAR(std::stod(vertices[k][2]), expected[k].y, 1.0) << "vertex " << k;
            EXPECT_NEAR(Centre(markers[k][0]).x, expected[k].x, 1.0) << "marker " << k;
            EXPECT_NEAR(Centre(markers[k][0]).y, expected[k].y, 1.0) << "marker " << k;
        }
        const std::string colour = lines[i][1], shape = Shape(markers[0][0]);
        const bool dashed = lines[i][2].find("stroke-dasharray") != std::string::npos;
        EXPECT_EQ(dashed, curves[i].dashed);
        EXPECT_TRUE(styles.insert({colour, shape, dashed}).second) << "drawn as another curve is";

        // In the PNG the curve's colour shows at each of its points, though
        // a curve drawn later may run through every one of them.
        const RgbColour c = ColourOf(colour);
        for (const Pixel& p : expected) {
            int32_t seen = 0;
            for (int32_t y = int32_t(p.y) - 5; y <= int32_t(p.y) + 5; ++y)
                for (int32_t x = int32_t(p.x) - 5; x <= int32_t(p.x) + 5; ++x) {
                    const uint8_t* at = png.At(x, y);
                    seen += at[0] == c.r && at[1] == c.g && at[2] == c.b;
                }
            EXPECT_GE(seen, 4) << "the point at " << p.x << "," << p.y << " is hidden";
        }

        // The legend entry: the curve's line, dash and marker, and its label,
        // inside the picture.
        const std::string entry = legend[i][1];
        const auto sample =
            All(entry, "<line x1=\"(\\d+)\" y1=\"(\\d+)\" x2=\"(\\d+)\"[^>]*stroke=\"([^\"]+)\"([^>]*)>");
        const auto legendMarker = All(entry, kMarker);
        ASSERT_EQ(sample.size(), 1u);
        ASSERT_EQ(legendMarker.size(), 1u);
        EXPECT_EQ(sample[0][4], colour);
        EXPECT_NE(colour, "rgb(255,255,255)");
        EXPECT_EQ(sample[0][5].find("stroke-dasharray") != std::string::npos, dashed);
        EXPECT_EQ(Shape(legendMarker[0][0]), shape);
        EXPECT_EQ(Paint(legendMarker[0][0]), Paint(markers[0][0]));
        EXPECT_NE(entry.find(">" + curves[i].label + "</text>"), std::string::npos) << entry;
        for (int k : {1, 3}) EXPECT_TRUE(std::stoi(sample[0][k]) > 0 && std::stoi(sample[0][k]) < width);
        EXPECT_TRUE(std::stoi(sample[0][2]) > 0 && std::stoi(sample[0][2]) + 12 < height);
    }
    // Markers go over every line, so no line hides another curve's points.
    EXPECT_GT(svg.find("<g class=\"points\">"), svg.rfind("<polyline"));
}

TEST(RdPlot, ALongLegendMakesThePictureTaller) {
    std::vector<RdCurve> curves;
    for (int32_t i = 0; i < 30; ++i)
        curves.push_back({"curve " + std::to_string(i), {{1000.0 + 10 * i, 30.0 + i, 3}}, false, -1});
    const std::string svgPath = ::testing::TempDir() + "vardelk_rd_plot_long.svg";
    const std::string pngPath = ::testing::TempDir() + "vardelk_rd_plot_long.png";
    WriteRdPlot(svgPath, curves, "test", "Y PSNR (dB)");
    WriteRdPlot(pngPath, curves, "test", "Y PSNR (dB)");
    const std::string svg = ReadText(svgPath);
    const double height = Attribute(svg, "height");
    const auto labels =
        All(svg, "<g class=\"legend-entry\">\n[\\s\\S]*?<text x=\"\\d+\" y=\"(\\d+)\"[^>]*>([^<]+)</text>");
    ASSERT_EQ(labels.size(), curves.size());
    EXPECT_LT(std::stod(labels.back()[1]), height) << labels.back()[2];
    EXPECT_EQ(ReadPng(pngPath).height, int32_t(height));
}

}  // namespace
}  // namespace vardelk
