#include "side_by_side.h"

#include <algorithm>
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
    for (size_t i = 0; i < diff.rgb.size(); ++i) diff.rgb[i] = Clamp8(128 + gain * (int32_t(b.rgb[i]) - int32_t(a.rgb[i])));
    return diff;
}

RgbImage HeatMap(const ComparisonInput& in, const RgbImage& input, int32_t maxBits) {
    std::vector<Colour> colours;  // one per macroblock
    colours.reserve(in.macroblockBits->size());
    for (int32_t bits : *in.macroblockBits) colours.push_back(HeatColour(double(bits) / maxBits));
    RgbImage heat;
    heat.Resize(input.width, input.height);
    for (int32_t y = 0; y < input.height; ++y) {
        const Colour* rowColours = colours.data() + size_t(y / 16) * size_t(in.macroblockColumns);
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

void HeatLegend(Canvas& canvas, int32_t x, int32_t y, int32_t scale, int32_t maxBits) {
    const std::string low = "0", high = std::to_string(maxBits);
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
    Canvas canvas(3 * kMargin + 2 * w, 3 * kMargin + 2 * (title + h), kBackground);
    const struct {
        std::string title;
        RgbImage image;
    } panels[] = {
        {"input, frame " + std::to_string(in.frameIndex), input},
        {"reconstruction, " + std::to_string(in.frameBytes) + " bytes", reconstruction},
        {"difference x" + std::to_string(in.differenceGain), Difference(input, reconstruction, in.differenceGain)},
        {"bits per macroblock", HeatMap(in, input, maxBits)},
    };
    for (int32_t i = 0; i < 4; ++i) {
        const int32_t x = kMargin + (i % 2) * (w + kMargin);
        const int32_t y = kMargin + (i / 2) * (title + h + kMargin);
        canvas.Text(x, y + 2, panels[i].title, kTextColour, scale);
        canvas.Blit(panels[i].image, x, y + title);
        if (i == 3) HeatLegend(canvas, x + Canvas::TextWidth(panels[i].title + "  ", scale), y + 2, scale, maxBits);
    }
    return canvas;
}

}  // namespace vardelk
