#include "rd_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "canvas.h"
#include "cli_error.h"
#include "output_file.h"
#include "png_io.h"

namespace vardelk {
namespace {

constexpr int32_t kWidth = 1120, kHeight = 660;
constexpr int32_t kLeft = 90, kRight = 760, kTop = 70, kBottom = 590;
constexpr size_t kMaxLabel = 28;  // characters of a legend entry
constexpr Colour kPalette[] = {{31, 119, 180}, {214, 39, 40}, {44, 160, 44},  {148, 103, 189},
                               {255, 127, 14}, {23, 190, 207}, {140, 86, 75}, {227, 119, 194}};
constexpr Colour kInk{20, 20, 20}, kGrid{220, 220, 220}, kWhite{255, 255, 255};
constexpr int32_t kLabelledCodes[] = {1, 2, 4, 8, 16, 31};

// Long file names keep their end, which usually tells them apart.
std::string LegendLabel(const std::string& label) {
    return label.size() <= kMaxLabel ? label : "..." + label.substr(label.size() - (kMaxLabel - 3));
}

struct Tick {
    int32_t pixel;
    std::string label;
};

// Pixel positions of everything on the plot, shared by both renderers.
struct PlotModel {
    double xLo, xHi, yLo, yHi;  // x in log10(bytes)
    std::vector<Tick> xTicks, yTicks;

    int32_t X(double bytes) const {
        return kLeft + int32_t(std::lround((std::log10(bytes) - xLo) / (xHi - xLo) * (kRight - kLeft)));
    }
    int32_t Y(double psnr) const {
        return kBottom - int32_t(std::lround((psnr - yLo) / (yHi - yLo) * (kBottom - kTop)));
    }
};

std::string ShortNumber(double v) {
    char text[32];
    if (v >= 1e6) std::snprintf(text, sizeof(text), "%gM", v / 1e6);
    else if (v >= 1e3) std::snprintf(text, sizeof(text), "%gk", v / 1e3);
    else std::snprintf(text, sizeof(text), "%g", v);
    return text;
}

bool Plottable(const RdPoint& p) { return std::isfinite(p.psnr) && p.bytes > 0; }

PlotModel BuildModel(const std::vector<RdCurve>& curves) {
    double bLo = 1e300, bHi = 0, pLo = 1e300, pHi = -1e300;
    for (const RdCurve& c : curves) {
        for (const RdPoint& p : c.points) {
            if (!Plottable(p)) continue;
            bLo = std::min(bLo, p.bytes), bHi = std::max(bHi, p.bytes);
            pLo = std::min(pLo, p.psnr), pHi = std::max(pHi, p.psnr);
        }
    }
    if (bHi <= 0) throw CliError("rate-distortion plot: no point with finite PSNR and non-zero bytes to plot");
    PlotModel m;
    m.xLo = std::log10(bLo / 1.2);
    m.xHi = std::log10(bHi * 1.2);
    double step = 0.5;
    for (double s : {0.5, 1.0, 2.0, 5.0, 10.0, 20.0}) {
        step = s;
        if ((pHi - pLo) / s <= 8) break;
    }
    m.yLo = std::floor((pLo - 0.25) / step) * step;
    m.yHi = std::ceil((pHi + 0.25) / step) * step;
    for (double v = m.yLo; v <= m.yHi + 1e-9; v += step) m.yTicks.push_back({m.Y(v), ShortNumber(v)});
    for (int k = int(std::floor(m.xLo)); k <= int(std::ceil(m.xHi)); ++k) {
        for (double mantissa : {1.0, 2.0, 3.0, 5.0}) {
            const double v = mantissa * std::pow(10.0, k);
            if (std::log10(v) >= m.xLo && std::log10(v) <= m.xHi) m.xTicks.push_back({m.X(v), ShortNumber(v)});
        }
    }
    return m;
}

bool Labelled(int32_t code) { return std::find(std::begin(kLabelledCodes), std::end(kLabelledCodes), code) != std::end(kLabelledCodes); }

const Colour& CurveColour(size_t i) { return kPalette[i % (sizeof(kPalette) / sizeof(kPalette[0]))]; }

void DrawPng(const std::string& path, const PlotModel& m, const std::vector<RdCurve>& curves, const std::string& title) {
    Canvas c(kWidth, kHeight, kWhite);
    for (const Tick& t : m.xTicks) {
        c.Line(t.pixel, kTop, t.pixel, kBottom, kGrid, 1);
        c.Text(t.pixel - Canvas::TextWidth(t.label, 2) / 2, kBottom + 10, t.label, kInk, 2);
    }
    for (const Tick& t : m.yTicks) {
        c.Line(kLeft, t.pixel, kRight, t.pixel, kGrid, 1);
        c.Text(kLeft - 10 - Canvas::TextWidth(t.label, 2), t.pixel - 7, t.label, kInk, 2);
    }
    c.Line(kLeft, kBottom, kRight, kBottom, kInk, 2);
    c.Line(kLeft, kTop, kLeft, kBottom, kInk, 2);
    c.Text(kLeft, 12, title.substr(0, size_t(kWidth - kLeft) / 12), kInk, 2);
    const std::string xTitle = "mean bytes per frame (log scale)";
    c.Text((kLeft + kRight - Canvas::TextWidth(xTitle, 2)) / 2, kBottom + 38, xTitle, kInk, 2);
    c.Text(10, kTop - 24, "Y PSNR (dB)", kInk, 2);
    for (size_t i = 0; i < curves.size(); ++i) {
        const Colour& colour = CurveColour(i);
        const RdPoint* previous = nullptr;
        for (const RdPoint& p : curves[i].points) {
            if (!Plottable(p)) continue;
            if (previous) c.Line(m.X(previous->bytes), m.Y(previous->psnr), m.X(p.bytes), m.Y(p.psnr), colour, 2);
            c.FillRect(m.X(p.bytes) - 3, m.Y(p.psnr) - 3, 7, 7, colour);
            if (Labelled(p.scaleCode)) c.Text(m.X(p.bytes) + 6, m.Y(p.psnr) - 18, std::to_string(p.scaleCode), colour, 2);
            previous = &p;
        }
        const int32_t ly = kTop + int32_t(i) * 24;
        c.FillRect(kRight + 20, ly + 4, 24, 6, colour);
        c.Text(kRight + 52, ly, LegendLabel(curves[i].label), kInk, 2);
    }
    c.Text(kRight + 20, kTop + int32_t(curves.size()) * 24 + 10, "labels: scale code", kInk, 2);
    WritePng(path, c.Image());
}

std::string SvgEscape(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (ch == '&') out += "&amp;";
        else if (ch == '<') out += "&lt;";
        else if (ch == '>') out += "&gt;";
        else if (ch == '"') out += "&quot;";
        else out += ch;
    }
    return out;
}

std::string Rgb(const Colour& c) {
    return "rgb(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

std::string SvgText(int32_t x, int32_t y, const std::string& text, const char* anchor, int32_t size, const std::string& fill) {
    return "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" text-anchor=\"" + anchor +
           "\" font-size=\"" + std::to_string(size) + "\" fill=\"" + fill + "\">" + SvgEscape(text) + "</text>\n";
}

std::string SvgLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const std::string& stroke, int32_t width) {
    return "<line x1=\"" + std::to_string(x0) + "\" y1=\"" + std::to_string(y0) + "\" x2=\"" + std::to_string(x1) +
           "\" y2=\"" + std::to_string(y1) + "\" stroke=\"" + stroke + "\" stroke-width=\"" + std::to_string(width) + "\"/>\n";
}

std::string BuildSvg(const PlotModel& m, const std::vector<RdCurve>& curves, const std::string& title) {
    std::ostringstream s;
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
      << "\" font-family=\"sans-serif\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    const std::string grid = Rgb(kGrid), ink = Rgb(kInk);
    for (const Tick& t : m.xTicks) s << SvgLine(t.pixel, kTop, t.pixel, kBottom, grid, 1) << SvgText(t.pixel, kBottom + 22, t.label, "middle", 14, ink);
    for (const Tick& t : m.yTicks) s << SvgLine(kLeft, t.pixel, kRight, t.pixel, grid, 1) << SvgText(kLeft - 10, t.pixel + 5, t.label, "end", 14, ink);
    s << SvgLine(kLeft, kBottom, kRight, kBottom, ink, 2) << SvgLine(kLeft, kTop, kLeft, kBottom, ink, 2);
    s << SvgText(kLeft, 26, title, "start", 16, ink) << SvgText((kLeft + kRight) / 2, kBottom + 50, "mean bytes per frame (log scale)", "middle", 14, ink)
      << SvgText(10, kTop - 14, "Y PSNR (dB)", "start", 14, ink);
    for (size_t i = 0; i < curves.size(); ++i) {
        const std::string colour = Rgb(CurveColour(i));
        s << "<polyline fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"2\" points=\"";
        for (const RdPoint& p : curves[i].points) {
            if (Plottable(p)) s << m.X(p.bytes) << ',' << m.Y(p.psnr) << ' ';
        }
        s << "\"/>\n";
        for (const RdPoint& p : curves[i].points) {
            if (!Plottable(p)) continue;
            s << "<circle cx=\"" << m.X(p.bytes) << "\" cy=\"" << m.Y(p.psnr) << "\" r=\"3.5\" fill=\"" << colour << "\"><title>scale code "
              << p.scaleCode << ": " << p.bytes << " bytes, " << p.psnr << " dB</title></circle>\n";
            if (Labelled(p.scaleCode)) s << SvgText(m.X(p.bytes) + 6, m.Y(p.psnr) - 6, std::to_string(p.scaleCode), "start", 11, colour);
        }
        const int32_t ly = kTop + int32_t(i) * 24;
        s << "<rect x=\"" << kRight + 20 << "\" y=\"" << ly + 4 << "\" width=\"24\" height=\"6\" fill=\"" << colour << "\"/>\n"
          << SvgText(kRight + 52, ly + 12, LegendLabel(curves[i].label), "start", 14, ink);
    }
    s << SvgText(kRight + 20, kTop + int32_t(curves.size()) * 24 + 16, "labels: scale code", "start", 14, ink) << "</svg>\n";
    return s.str();
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void WriteRdPlot(const std::string& path, const std::vector<RdCurve>& curves, const std::string& title) {
    if (!EndsWith(path, ".svg") && !EndsWith(path, ".png")) {
        throw CliError("--plot " + path + ": the plot is written as SVG or PNG; use a name ending in .svg or .png");
    }
    const PlotModel model = BuildModel(curves);
    if (EndsWith(path, ".png")) DrawPng(path, model, curves, title);
    else WriteTextFile(path, BuildSvg(model, curves, title));
}

}  // namespace vardelk
