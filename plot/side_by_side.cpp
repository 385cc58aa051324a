#include "plot/side_by_side.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "media/comparison_views.h"
#include "media/rgb_convert.h"

namespace vardelk {
namespace {

constexpr int32_t kMargin = 8;
constexpr int32_t kRgbBytes = 3;
constexpr RgbColour kBackground{32, 32, 32};
constexpr RgbColour kTextColour{235, 235, 235};

int32_t TitleHeight(int32_t scale) { return Canvas::TextHeight(scale) + std::max(8, 4 * scale); }

RgbImage Difference(const RgbImage& input, const RgbImage& reconstruction, int32_t gain) {
    RgbImage diff;
    diff.Resize(input.width, input.height);
    DrawDifference(input.rgb.data(), reconstruction.rgb.data(), size_t(input.width) * size_t(input.height), kRgbBytes,
                   gain, diff.rgb.data());
    return diff;
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

int32_t ComparisonTextScale(int32_t width, int32_t height) {
    return std::max<int32_t>(1, std::min(width / 360, height / 240));
}

Canvas DrawComparison(const ComparisonInput& in) {
    RgbImage input, reconstruction;
    FrameToRgb(*in.format, *in.input, input);
    FrameToRgb(*in.format, *in.reconstruction, reconstruction);
    const int32_t w = input.width, h = input.height;
    RgbImage bits;
    bits.Resize(w, h);
    const int32_t maxBits = DrawBitsHeatMap(input.rgb.data(), w, h, kRgbBytes, in.macroblockBits->data(),
                                            in.macroblockColumns, bits.rgb.data());
    const int32_t scale = ComparisonTextScale(w, h), title = TitleHeight(scale);
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
    panels.push_back({"bits per macroblock", bits, "0", std::to_string(maxBits)});
    if (in.ssimMap != nullptr) {
        RgbImage ssim;
        ssim.Resize(w, h);
        const double worst = DrawSsimHeatMap(input.rgb.data(), w, h, kRgbBytes, in.ssimMap->data(),
                                             in.macroblockColumns, ssim.rgb.data());
        char low[32];
        std::snprintf(low, sizeof low, "%.3f", worst);
        panels.push_back({"SSIM per macroblock", ssim, "1", low});
    }
    // Four panels in a 2x2 grid; with the SSIM map, five in a 3x2 grid.
    const int32_t columns = panels.size() > 4 ? 3 : 2;
    const int32_t width = (columns + 1) * kMargin + columns * w;
    // The caption is cut to the picture's width rather than left to run off it.
    const std::string caption = in.caption.substr(0, size_t(std::max(0, (width - 2 * kMargin) / (6 * scale))));
    const int32_t top = caption.empty() ? 0 : title;
    Canvas canvas(width, top + 3 * kMargin + 2 * (title + h), kBackground);
    if (!caption.empty()) canvas.Text(kMargin, kMargin + 2, caption, kTextColour, scale);
    for (size_t i = 0; i < panels.size(); ++i) {
        const int32_t x = kMargin + int32_t(i % size_t(columns)) * (w + kMargin);
        const int32_t y = top + kMargin + int32_t(i / size_t(columns)) * (title + h + kMargin);
        canvas.Text(x, y + 2, panels[i].title, kTextColour, scale);
        canvas.Blit(panels[i].image, x, y + title);
        if (!panels[i].legendLow.empty())
            HeatLegend(canvas, x + Canvas::TextWidth(panels[i].title + "  ", scale), y + 2, scale, panels[i].legendLow,
                       panels[i].legendHigh);
    }
    return canvas;
}

}  // namespace vardelk
