#include "side_by_side.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "media/rgb_convert.h"

namespace vardelk {
namespace {

constexpr int32_t kMargin = 8;
constexpr Colour kBackground{32, 32, 32};
constexpr Colour kTextColour{235, 235, 235};

int32_t TextScale(int32_t panelWidth) { return panelWidth >= 400 ? 2 : 1; }
int32_t TitleHeight(int32_t scale) { return Canvas::TextHeight(scale) + 8; }

uint8_t Clamp8(int32_t v) { return uint8_t(std::clamp(v, 0, 255)); }

RgbImage Difference(const RgbImage& a, const RgbImage& b, int32_t gain) {
    RgbImage diff;
    diff.Resize(a.width, a.height);
    for (size_t i = 0; i < diff.rgb.size(); ++i)
        diff.rgb[i] = Clamp8(128 + gain * (int32_t(b.rgb[i]) - int32_t(a.rgb[i])));
    return diff;
}

// A faint grey copy of the input under one colour per macroblock.
RgbImage MacroblockOverlay(const std::vector<Colour>& colours, int32_t columns, const RgbImage& input) {
    RgbImage heat;
    heat.Resize(input.width, input.height);
    for (int32_t y = 0; y < input.height; ++y) {
        const Colour* rowColours = colours.data() + size_t(y / 16) * size_t(columns);
        for (int32_t x = 0; x < input.width; ++x) {
            const Colour c = rowColours[x / 16];
            const uint8_t* src = input.At(x, y);
            const int32_t grey = (src[0] * 77 + src[1] * 150 + src[2] * 29) >> 8;
            uint8_t* out = heat.At(x, y);
            out[0] = uint8_t((c.r * 3 + grey) / 4);
            out[1] = uint8_t((c.g * 3 + grey) / 4);
            out[2] = uint8_t((c.b * 3 + grey) / 4);
        }
    }
    return heat;
}

std::vector<Colour> BitColours(const std::vector<int32_t>& bits, int32_t maxBits) {
    std::vector<Colour> colours;
    colours.reserve(bits.size());
    for (int32_t b : bits) colours.push_back(HeatColour(double(b) / maxBits));
    return colours;
}

// Loss of similarity, 1 - SSIM, against the worst macroblock's; macroblocks
// without a value (too narrow a strip at the edges) stay grey.
std::vector<Colour> SsimColours(const std::vector<double>& ssim, double worst) {
    constexpr Colour kNoValue{90, 90, 90};
    std::vector<Colour> colours;
    colours.reserve(ssim.size());
    const double range = std::max(1.0 - worst, 1e-9);
    for (double s : ssim) colours.push_back(std::isnan(s) ? kNoValue : HeatColour((1.0 - s) / range));
    return colours;
}

void HeatLegend(Canvas& canvas, int32_t x, int32_t y, int32_t scale, const std::string& low, const std::string& high) {
    const int32_t barWidth = 60 * scale;
    canvas.Text(x, y, low, kTextColour, scale);
    const int32_t barX = x + Canvas::TextWidth(low, scale) + 2 * scale;
    for (int32_t i = 0; i < barWidth; ++i) {
        canvas.FillRect(barX + i, y, 1, Canvas::TextHeight(scale), HeatColour(double(i) / (barWidth - 1)));
    }
    canvas.Text(barX + barWidth + 2 * scale, y, high, kTextColour, scale);
}

}  // namespace

Colour HeatColour(double share) {
    static const Colour stops[] = {{0, 0, 0}, {30, 60, 220}, {220, 30, 40}, {255, 220, 30}, {255, 255, 255}};
    const double t = std::clamp(share, 0.0, 1.0) * 4.0;
    const int32_t i = std::min(int32_t(t), 3);
    const double f = t - i;
    const Colour& a = stops[i];
    const Colour& b = stops[i + 1];
    return Colour{uint8_t(a.r + (b.r - a.r) * f), uint8_t(a.g + (b.g - a.g) * f), uint8_t(a.b + (b.b - a.b) * f)};
}

Canvas DrawComparison(const ComparisonInput& in) {
    RgbImage input, reconstruction;
    FrameToRgb(*in.format, *in.input, input);
    FrameToRgb(*in.format, *in.reconstruction, reconstruction);
    const int32_t maxBits = std::max(1, *std::max_element(in.macroblockBits->begin(), in.macroblockBits->end()));
    const int32_t w = input.width, h = input.height;
    const int32_t scale = TextScale(w), title = TitleHeight(scale);
    struct Panel {
        std::string title;
        RgbImage image;
        std::string legendLow, legendHigh;
    };
    std::vector<Panel> panels;
    panels.push_back({"input, frame " + std::to_string(in.frameIndex), input, "", ""});
    panels.push_back(
        {"reconstruction, " + std::to_string(in.frameBytes) + " bytes" + (in.model.empty() ? "" : ", " + in.model),
         reconstruction, "", ""});
    panels.push_back({"difference x" + std::to_string(in.differenceGain),
                      Difference(input, reconstruction, in.differenceGain), "", ""});
    panels.push_back({"bits per macroblock",
                      MacroblockOverlay(BitColours(*in.macroblockBits, maxBits), in.macroblockColumns, input), "0",
                      std::to_string(maxBits)});
    if (in.ssimMap != nullptr) {
        double worst = 1.0;
        for (double s : *in.ssimMap)
            if (!std::isnan(s)) worst = std::min(worst, s);
        char low[32];
        std::snprintf(low, sizeof low, "%.3f", worst);
        panels.push_back({"SSIM per macroblock",
                          MacroblockOverlay(SsimColours(*in.ssimMap, worst), in.macroblockColumns, input), "1", low});
    }
    // Four panels in a 2x2 grid; with the SSIM map, five in a 3x2 grid.
    const int32_t columns = panels.size() > 4 ? 3 : 2;
    Canvas canvas((columns + 1) * kMargin + columns * w, 3 * kMargin + 2 * (title + h), kBackground);
    for (size_t i = 0; i < panels.size(); ++i) {
        const int32_t x = kMargin + int32_t(i % size_t(columns)) * (w + kMargin);
        const int32_t y = kMargin + int32_t(i / size_t(columns)) * (title + h + kMargin);
        canvas.Text(x, y + 2, panels[i].title, kTextColour, scale);
        canvas.Blit(panels[i].image, x, y + title);
        if (!panels[i].legendLow.empty())
            HeatLegend(canvas, x + Canvas::TextWidth(panels[i].title + "  ", scale), y + 2, scale, panels[i].legendLow,
                       panels[i].legendHigh);
    }
    return canvas;
}

}  // namespace vardelk
