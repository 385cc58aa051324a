#include "plot/rd_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "media/file_name.h"
#include "media/output_file.h"
#include "pictures/png_file.h"
#include "plot/canvas.h"
#include "plot/plot_error.h"

namespace vardelk {
namespace {

constexpr int32_t kWidth = 1120, kHeight = 660;
constexpr int32_t kLeft = 100, kRight = 760, kTop = 70, kBottom = 590;
constexpr int32_t kTextScale = 2;  // PNG font pixels per 5x7 font pixel: 12 x 14 per character
constexpr size_t kMaxLabel = 24;   // characters of a legend entry: fits right of the plot
constexpr RgbColour kPalette[] = {{31, 119, 180}, {214, 39, 40},  {44, 160, 44}, {148, 103, 189},
                                  {255, 127, 14}, {23, 190, 207}, {140, 86, 75}, {227, 119, 194}};
constexpr RgbColour kInk{20, 20, 20}, kGrid{220, 220, 220}, kWhite{255, 255, 255};
constexpr int32_t kLabelledCodes[] = {1, 2, 4, 8, 16, 31};
constexpr int32_t kLegendRow = 24;  // pixels from one legend entry to the next

// Long file names keep their end, which usually tells them apart.
std::string LegendLabel(const std::string& label) {
    return label.size() <= kMaxLabel ? label : "..." + label.substr(label.size() - (kMaxLabel - 3));
}

struct Tick {
    int32_t pixel;
    std::string label;
};

// A scale-code label placed where it covers no curve, marker or other label;
// a label moved away from its point gets a leader line back to it.
struct PointLabel {
    int32_t x, y;  // top-left of the text in PNG pixels
    int32_t pointX, pointY;
    bool leader;
    std::string text;
    size_t curve;
};

// Pixel positions of everything on the plot, shared by both renderers.
struct PlotModel {
    int32_t height;             // the picture's: taller than kHeight when the legend needs it
    double xLo, xHi, yLo, yHi;  // x in log10(bytes)
    std::vector<Tick> xTicks, yTicks;
    std::vector<PointLabel> labels;

    int32_t X(double bytes) const {
        return kLeft + int32_t(std::lround((std::log10(bytes) - xLo) / (xHi - xLo) * (kRight - kLeft)));
    }
    int32_t Y(double quality) const {
        return kBottom - int32_t(std::lround((quality - yLo) / (yHi - yLo) * (kBottom - kTop)));
    }
};

std::string ShortNumber(double v) {
    char text[32];
    if (v >= 1e6)
        std::snprintf(text, sizeof(text), "%gM", v / 1e6);
    else if (v >= 1e3)
        std::snprintf(text, sizeof(text), "%gk", v / 1e3);
    else
        std::snprintf(text, sizeof(text), "%g", v);
    return text;
}

bool Plottable(const RdPoint& p) { return std::isfinite(p.quality) && std::isfinite(p.bytes) && p.bytes > 0; }

bool Labelled(int32_t code) {
    return std::find(std::begin(kLabelledCodes), std::end(kLabelledCodes), code) != std::end(kLabelledCodes);
}

// Which pixels of the plot area are taken: curves (with a margin), markers and
// labels already placed.
class Occupancy {
public:
    Occupancy() : taken_(size_t(kWidth) * kHeight, false) {}

    void MarkBox(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        for (int32_t y = std::max(y0, 0); y < std::min(y1, kHeight); ++y) {
            for (int32_t x = std::max(x0, 0); x < std::min(x1, kWidth); ++x)
                taken_[size_t(y) * kWidth + size_t(x)] = true;
        }
    }
    // A segment as a chain of small squares, one per pixel step.
    void MarkSegment(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t margin) {
        const int32_t steps = std::max({std::abs(x1 - x0), std::abs(y1 - y0), 1});
        for (int32_t i = 0; i <= steps; ++i) {
            const int32_t x = x0 + int32_t(std::lround(double(x1 - x0) * i / steps));
            const int32_t y = y0 + int32_t(std::lround(double(y1 - y0) * i / steps));
            MarkBox(x - margin, y - margin, x + margin + 1, y + margin + 1);
        }
    }
    // Free when inside the plot area and touching nothing taken.
    bool Free(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
        if (x0 < kLeft + 2 || y0 < kTop + 2 || x1 > kRight - 2 || y1 > kBottom - 2) return false;
        for (int32_t y = y0; y < y1; ++y) {
            for (int32_t x = x0; x < x1; ++x) {
                if (taken_[size_t(y) * kWidth + size_t(x)]) return false;
            }
        }
        return true;
    }

private:
    std::vector<bool> taken_;
};

// Tries spots around each labelled point, nearest first, and keeps the first
// free one; a label with no free spot is left out (the marker stays).
std::vector<PointLabel> PlaceLabels(const PlotModel& m, const std::vector<RdCurve>& curves) {
    Occupancy occupied;
    for (const RdCurve& curve : curves) {
        const RdPoint* previous = nullptr;
        for (const RdPoint& p : curve.points) {
            if (!Plottable(p)) continue;
            occupied.MarkBox(m.X(p.bytes) - 5, m.Y(p.quality) - 5, m.X(p.bytes) + 6, m.Y(p.quality) + 6);
            if (previous)
                occupied.MarkSegment(m.X(previous->bytes), m.Y(previous->quality), m.X(p.bytes), m.Y(p.quality), 3);
            previous = &p;
        }
    }
    std::vector<PointLabel> labels;
    const int32_t h = Canvas::TextHeight(kTextScale), pad = 3;
    for (size_t i = 0; i < curves.size(); ++i) {
        for (const RdPoint& p : curves[i].points) {
            if (curves[i].dashed || !Plottable(p) || !Labelled(p.scaleCode)) continue;
            const std::string text = std::to_string(p.scaleCode);
            const int32_t w = Canvas::TextWidth(text, kTextScale) - kTextScale;  // no spacing after the last character
            const int32_t px = m.X(p.bytes), py = m.Y(p.quality);
            bool placed = false;
            for (int32_t d : {8, 22, 40, 62}) {
                const int32_t spots[][2] = {{px + d, py - d - h}, {px - d - w, py - d - h}, {px + d, py + d},
                                            {px - d - w, py + d}, {px - w / 2, py - d - h}, {px - w / 2, py + d},
                                            {px + d, py - h / 2}, {px - d - w, py - h / 2}};
                for (const auto& s : spots) {
                    if (!occupied.Free(s[0] - pad, s[1] - pad, s[0] + w + pad, s[1] + h + pad)) continue;
                    labels.push_back({s[0], s[1], px, py, d > 8, text, i});
                    occupied.MarkBox(s[0] - pad, s[1] - pad, s[0] + w + pad, s[1] + h + pad);
                    if (d > 8) occupied.MarkSegment(px, py, s[0] + w / 2, s[1] + h / 2, 1);
                    placed = true;
                    break;
                }
                if (placed) break;
            }
        }
    }
    return labels;
}

// Tick step 1, 2 or 5 times a power of ten, at most eight steps over the range.
double TickStep(double span) {
    for (int exponent = -6; exponent <= 6; ++exponent) {
        for (double mantissa : {1.0, 2.0, 5.0}) {
            const double step = mantissa * std::pow(10.0, exponent);
            if (span / step <= 8) return step;
        }
    }
    return std::pow(10.0, 7);
}

std::string TickLabel(double v, double step) {
    const int decimals = std::max(0, int(std::ceil(-std::log10(step) - 1e-9)));
    char text[48];
    std::snprintf(text, sizeof(text), "%.*f", decimals, std::fabs(v) < step / 2 ? 0.0 : v);
    return text;
}

PlotModel BuildModel(const std::vector<RdCurve>& curves, const std::string& yTitle) {
    double bLo = 1e300, bHi = 0, qLo = 1e300, qHi = -1e300;
    for (const RdCurve& c : curves) {
        for (const RdPoint& p : c.points) {
            if (!Plottable(p)) continue;
            bLo = std::min(bLo, p.bytes), bHi = std::max(bHi, p.bytes);
            qLo = std::min(qLo, p.quality), qHi = std::max(qHi, p.quality);
        }
    }
    if (bHi <= 0)
        throw PlotError("rate-distortion plot: no point with a finite " + yTitle + " and non-zero bytes to plot");
    PlotModel m;
    // Every legend entry and the note below them inside the picture.
    m.height = std::max(kHeight, kTop + int32_t(curves.size()) * kLegendRow + 40);
    m.xLo = std::log10(bLo / 1.2);
    m.xHi = std::log10(bHi * 1.2);
    // A little room above and below the extreme points; a flat set gets a band around it.
    const double margin = qHi > qLo ? (qHi - qLo) * 0.03 : std::max(std::fabs(qHi) * 0.01, 1e-3);
    const double step = TickStep(qHi - qLo + 2 * margin);
    m.yLo = std::floor((qLo - margin) / step) * step;
    m.yHi = std::ceil((qHi + margin) / step) * step;
    for (int k = 0; m.yLo + k * step <= m.yHi + step * 1e-6; ++k) {
        const double v = m.yLo + k * step;
        m.yTicks.push_back({m.Y(v), TickLabel(v, step)});
    }
    for (int k = int(std::floor(m.xLo)); k <= int(std::ceil(m.xHi)); ++k) {
        for (double mantissa : {1.0, 2.0, 3.0, 5.0}) {
            const double v = mantissa * std::pow(10.0, k);
            if (std::log10(v) >= m.xLo && std::log10(v) <= m.xHi) m.xTicks.push_back({m.X(v), ShortNumber(v)});
        }
    }
    m.labels = PlaceLabels(m, curves);
    return m;
}

// A curve's series: its colour index, or its position when it has none. A
// measured curve shares its predicted twin's series.
size_t Series(const std::vector<RdCurve>& curves, size_t i) {
    return curves[i].colour >= 0 ? size_t(curves[i].colour) : i;
}

const RgbColour& CurveColour(const std::vector<RdCurve>& curves, size_t i) {
    return kPalette[Series(curves, i) % std::size(kPalette)];
}

// Each series marks its points with its own shape as well as its own colour,
// so that curves lying on one another (a matrix's linear and non-linear
// mappings trace the same curve) still show whose points are whose. Shapes
// are centred on the point; a dashed curve's are hollow.
enum class MarkerShape { kCircle, kSquare, kTriangleUp, kDiamond, kTriangleDown };
constexpr MarkerShape kShapes[] = {MarkerShape::kCircle, MarkerShape::kSquare, MarkerShape::kTriangleUp,
                                   MarkerShape::kDiamond, MarkerShape::kTriangleDown};
// A little larger than the other shapes, so that a circle under another
// marker at the same point still shows as a ring.
constexpr double kCircleRadius = 5.5;

struct Offset {
    double x, y;
};

MarkerShape CurveMarker(const std::vector<RdCurve>& curves, size_t i) {
    return kShapes[Series(curves, i) % std::size(kShapes)];
}

// The corners of a shape other than the circle, clockwise on the picture
// (y down), their centroid the point.
std::vector<Offset> MarkerCorners(MarkerShape shape) {
    switch (shape) {
        case MarkerShape::kSquare:
            return {{-3.5, -3.5}, {3.5, -3.5}, {3.5, 3.5}, {-3.5, 3.5}};
        case MarkerShape::kTriangleUp:
            return {{0, -5.5}, {4.8, 2.75}, {-4.8, 2.75}};
        case MarkerShape::kDiamond:
            return {{0, -5}, {5, 0}, {0, 5}, {-5, 0}};
        case MarkerShape::kTriangleDown:
            return {{-4.8, -2.75}, {4.8, -2.75}, {0, 5.5}};
        case MarkerShape::kCircle:
            break;
    }
    return {};
}

// Whether the offset lies inside the shape shrunk by `scale` about its point.
bool InsideMarker(MarkerShape shape, double scale, double x, double y) {
    if (shape == MarkerShape::kCircle) return x * x + y * y <= kCircleRadius * kCircleRadius * scale * scale;
    const std::vector<Offset> corners = MarkerCorners(shape);
    for (size_t k = 0; k < corners.size(); ++k) {
        const Offset a = corners[k], b = corners[(k + 1) % corners.size()];
        if ((b.x - a.x) * scale * (y - a.y * scale) - (b.y - a.y) * scale * (x - a.x * scale) < 0) return false;
    }
    return true;
}

void DrawMarker(Canvas& c, MarkerShape shape, int32_t x, int32_t y, RgbColour colour, bool hollow) {
    for (int32_t dy = -6; dy <= 6; ++dy) {
        for (int32_t dx = -6; dx <= 6; ++dx) {
            if (!InsideMarker(shape, 1.0, dx, dy)) continue;
            c.Set(x + dx, y + dy, hollow && InsideMarker(shape, 0.5, dx, dy) ? kWhite : colour);
        }
    }
}

constexpr int32_t kDash = 8, kGap = 5;  // pixels along a dashed line

// A dashed line: dashes of kDash pixels kGap apart, starting with a dash.
void DashedLine(Canvas& c, int32_t x0, int32_t y0, int32_t x1, int32_t y1, RgbColour colour, int32_t thickness) {
    const double length = std::hypot(double(x1 - x0), double(y1 - y0));
    for (double start = 0; start < length; start += kDash + kGap) {
        const double end = std::min(start + kDash, length);
        auto at = [&](double d, int32_t a, int32_t b) { return a + int32_t(std::lround((b - a) * d / length)); };
        c.Line(at(start, x0, x1), at(start, y0, y1), at(end, x0, x1), at(end, y0, y1), colour, thickness);
    }
}

const char kXTitle[] = "mean bytes per frame (log scale)";
const char kLabelNote[] = "numbers: scale code";

// Every curve's line first, then every marker over them, so that no line
// hides a point of another curve.
void DrawPng(const std::string& path, const PlotModel& m, const std::vector<RdCurve>& curves, const std::string& title,
             const std::string& yTitle) {
    Canvas c(kWidth, m.height, kWhite);
    const int32_t s = kTextScale;
    for (const Tick& t : m.xTicks) {
        c.Line(t.pixel, kTop, t.pixel, kBottom, kGrid, 1);
        c.Text(t.pixel - Canvas::TextWidth(t.label, s) / 2, kBottom + 10, t.label, kInk, s);
    }
    for (const Tick& t : m.yTicks) {
        c.Line(kLeft, t.pixel, kRight, t.pixel, kGrid, 1);
        c.Text(kLeft - 10 - Canvas::TextWidth(t.label, s), t.pixel - 7, t.label, kInk, s);
    }
    c.Line(kLeft, kBottom, kRight, kBottom, kInk, 2);
    c.Line(kLeft, kTop, kLeft, kBottom, kInk, 2);
    c.Text(kLeft, 12, title.substr(0, size_t(kWidth - kLeft) / 12), kInk, s);
    c.Text((kLeft + kRight - Canvas::TextWidth(kXTitle, s)) / 2, kBottom + 38, kXTitle, kInk, s);
    c.Text(10, kTop - 26, yTitle, kInk, s);
    auto line = [&c](bool dashed, int32_t x0, int32_t y0, int32_t x1, int32_t y1, RgbColour colour) {
        if (dashed)
            DashedLine(c, x0, y0, x1, y1, colour, 2);
        else
            c.Line(x0, y0, x1, y1, colour, 2);
    };
    for (size_t i = 0; i < curves.size(); ++i) {
        const RdPoint* previous = nullptr;
        for (const RdPoint& p : curves[i].points) {
            if (!Plottable(p)) continue;
            if (previous)
                line(curves[i].dashed, m.X(previous->bytes), m.Y(previous->quality), m.X(p.bytes), m.Y(p.quality),
                     CurveColour(curves, i));
            previous = &p;
        }
    }
    for (size_t i = 0; i < curves.size(); ++i) {
        for (const RdPoint& p : curves[i].points) {
            if (Plottable(p))
                DrawMarker(c, CurveMarker(curves, i), m.X(p.bytes), m.Y(p.quality), CurveColour(curves, i),
                           curves[i].dashed);
        }
        const int32_t ly = kTop + int32_t(i) * kLegendRow;
        line(curves[i].dashed, kRight + 14, ly + 7, kRight + 44, ly + 7, CurveColour(curves, i));
        DrawMarker(c, CurveMarker(curves, i), kRight + 29, ly + 7, CurveColour(curves, i), curves[i].dashed);
        c.Text(kRight + 52, ly, LegendLabel(curves[i].label), kInk, s);
    }
    for (const PointLabel& l : m.labels) {
        const int32_t h = Canvas::TextHeight(s), w = Canvas::TextWidth(l.text, s) - s;
        if (l.leader)
            c.Line(l.pointX, l.pointY, std::clamp(l.pointX, l.x, l.x + w), std::clamp(l.pointY, l.y, l.y + h),
                   CurveColour(curves, l.curve), 1);
        c.Text(l.x, l.y, l.text, CurveColour(curves, l.curve), s);
    }
    c.Text(kRight + 20, kTop + int32_t(curves.size()) * kLegendRow + 10, kLabelNote, kInk, s);
    WritePng(path, c.Image());
}

std::string SvgEscape(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (ch == '&')
            out += "&amp;";
        else if (ch == '<')
            out += "&lt;";
        else if (ch == '>')
            out += "&gt;";
        else if (ch == '"')
            out += "&quot;";
        else
            out += ch;
    }
    return out;
}

std::string Rgb(const RgbColour& c) {
    return "rgb(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

std::string SvgText(int32_t x, int32_t y, const std::string& text, const char* anchor, int32_t size,
                    const std::string& fill) {
    return "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" text-anchor=\"" + anchor +
           "\" font-size=\"" + std::to_string(size) + "\" fill=\"" + fill + "\">" + SvgEscape(text) + "</text>\n";
}

std::string SvgLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const std::string& stroke, int32_t width,
                    const std::string& extra = "") {
    return "<line x1=\"" + std::to_string(x0) + "\" y1=\"" + std::to_string(y0) + "\" x2=\"" + std::to_string(x1) +
           "\" y2=\"" + std::to_string(y1) + "\" stroke=\"" + stroke + "\" stroke-width=\"" + std::to_string(width) +
           "\"" + extra + "/>\n";
}

// A marker as an SVG element, `inner` (its tooltip) inside.
std::string SvgMarker(MarkerShape shape, int32_t x, int32_t y, const std::string& colour, bool hollow,
                      const std::string& inner) {
    std::ostringstream s;
    const std::string paint =
        hollow ? "fill=\"white\" stroke=\"" + colour + "\" stroke-width=\"1.5\"" : "fill=\"" + colour + "\"";
    if (shape == MarkerShape::kCircle) {
        s << "<circle cx=\"" << x << "\" cy=\"" << y << "\" r=\"" << kCircleRadius << "\" " << paint << ">";
    } else {
        s << "<polygon points=\"";
        const char* separator = "";
        for (const Offset& o : MarkerCorners(shape)) {
            s << separator << x + o.x << ',' << y + o.y;
            separator = " ";
        }
        s << "\" " << paint << ">";
    }
    s << inner << (shape == MarkerShape::kCircle ? "</circle>\n" : "</polygon>\n");
    return s.str();
}

// Groups name what they hold (ticks, each curve's line and points, legend
// entries), for readers of the file as much as for its tests.
std::string BuildSvg(const PlotModel& m, const std::vector<RdCurve>& curves, const std::string& title,
                     const std::string& yTitle) {
    std::ostringstream s;
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << m.height
      << "\" font-family=\"sans-serif\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    const std::string grid = Rgb(kGrid), ink = Rgb(kInk);
    for (const Tick& t : m.xTicks)
        s << "<g class=\"x-tick\">\n"
          << SvgLine(t.pixel, kTop, t.pixel, kBottom, grid, 1)
          << SvgText(t.pixel, kBottom + 22, t.label, "middle", 14, ink) << "</g>\n";
    for (const Tick& t : m.yTicks)
        s << "<g class=\"y-tick\">\n"
          << SvgLine(kLeft, t.pixel, kRight, t.pixel, grid, 1)
          << SvgText(kLeft - 10, t.pixel + 5, t.label, "end", 14, ink) << "</g>\n";
    s << SvgLine(kLeft, kBottom, kRight, kBottom, ink, 2) << SvgLine(kLeft, kTop, kLeft, kBottom, ink, 2);
    s << SvgText(kLeft, 26, title, "start", 16, ink)
      << SvgText((kLeft + kRight) / 2, kBottom + 50, kXTitle, "middle", 14, ink)
      << SvgText(10, kTop - 14, yTitle, "start", 14, ink);
    const std::string dash = " stroke-dasharray=\"" + std::to_string(kDash) + "," + std::to_string(kGap) + "\"";
    for (size_t i = 0; i < curves.size(); ++i) {
        s << "<polyline class=\"curve\" fill=\"none\" stroke=\"" << Rgb(CurveColour(curves, i))
          << "\" stroke-width=\"2\"" << (curves[i].dashed ? dash : "") << " points=\"";
        for (const RdPoint& p : curves[i].points) {
            if (Plottable(p)) s << m.X(p.bytes) << ',' << m.Y(p.quality) << ' ';
        }
        s << "\"/>\n";
    }
    for (size_t i = 0; i < curves.size(); ++i) {
        const std::string colour = Rgb(CurveColour(curves, i));
        const bool dashed = curves[i].dashed;
        s << "<g class=\"points\">\n";
        for (const RdPoint& p : curves[i].points) {
            if (!Plottable(p)) continue;
            std::ostringstream tip;
            tip << "<title>scale code " << p.scaleCode << ": " << p.bytes << " bytes, " << yTitle << " " << p.quality
                << "</title>";
            s << SvgMarker(CurveMarker(curves, i), m.X(p.bytes), m.Y(p.quality), colour, dashed, tip.str());
        }
        const int32_t ly = kTop + int32_t(i) * kLegendRow;
        s << "</g>\n<g class=\"legend-entry\">\n"
          << SvgLine(kRight + 14, ly + 7, kRight + 44, ly + 7, colour, 2, dashed ? dash : "")
          << SvgMarker(CurveMarker(curves, i), kRight + 29, ly + 7, colour, dashed, "")
          << SvgText(kRight + 52, ly + 12, LegendLabel(curves[i].label), "start", 14, ink) << "</g>\n";
    }
    // The labels keep the PNG's boxes, which are wider than these glyphs.
    for (const PointLabel& l : m.labels) {
        const std::string colour = Rgb(CurveColour(curves, l.curve));
        const int32_t h = Canvas::TextHeight(kTextScale), w = Canvas::TextWidth(l.text, kTextScale) - kTextScale;
        if (l.leader)
            s << SvgLine(l.pointX, l.pointY, std::clamp(l.pointX, l.x, l.x + w), std::clamp(l.pointY, l.y, l.y + h),
                         colour, 1);
        s << SvgText(l.x + w / 2, l.y + h - 1, l.text, "middle", 15, colour);
    }
    s << SvgText(kRight + 20, kTop + int32_t(curves.size()) * kLegendRow + 16, kLabelNote, "start", 14, ink)
      << "</svg>\n";
    return s.str();
}

}  // namespace

const NamedValue<RdMetric> kRdMetricNames[4] = {{RdMetric::kPsnr, "psnr"},
                                                {RdMetric::kSsim, "ssim"},
                                                {RdMetric::kSsimulacra2, "ssimulacra2"},
                                                {RdMetric::kButteraugli, "butteraugli"}};

namespace {

// Butteraugli is a distance, smaller better: the axis shows -ln of the
// 3-norm, so that better is up as for the other measures.
const NamedValue<RdMetric> kRdMetricTitles[4] = {{RdMetric::kPsnr, "Y PSNR (dB)"},
                                                 {RdMetric::kSsim, "SSIM (all planes)"},
                                                 {RdMetric::kSsimulacra2, "SSIMULACRA 2"},
                                                 {RdMetric::kButteraugli, "Butteraugli -ln(3-norm)"}};

}  // namespace

bool ParseRdMetric(const std::string& name, RdMetric* metric) { return ParseNameIn(kRdMetricNames, name, metric); }

bool IsPlotFileName(const std::string& path) { return EndsWith(path, ".svg") || EndsWith(path, ".png"); }

std::string RdMetricTitle(RdMetric metric) { return NameIn(kRdMetricTitles, metric); }

void WriteRdPlot(const std::string& path, const std::vector<RdCurve>& curves, const std::string& title,
                 const std::string& yTitle) {
    if (!IsPlotFileName(path))
        throw PlotError(path + ": the plot is written as SVG or PNG; use a name ending in .svg or .png");
    const PlotModel model = BuildModel(curves, yTitle);
    if (EndsWith(path, ".png"))
        DrawPng(path, model, curves, title, yTitle);
    else
        WriteTextFile(path, BuildSvg(model, curves, title, yTitle));
}

}  // namespace vardelk
