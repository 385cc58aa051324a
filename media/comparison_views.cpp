#include "media/comparison_views.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "codec/frame_coder.h"
#include "media/clamp8.h"

namespace vardelk {
namespace {

constexpr int32_t kMacroblockSide = 16;
constexpr RgbColour kNoValueColour{90, 90, 90};

size_t MacroblockCount(int32_t height, int32_t macroblockColumns) {
    return size_t(macroblockColumns) * size_t(MacroblockRows(height));
}

// Each macroblock's colour at three quarters over a quarter of the input's
// grey, 0.30 R + 0.59 G + 0.11 B in 8-bit fixed point.
void Overlay(const uint8_t* input, int32_t width, int32_t height, int32_t pixelBytes, const RgbColour* colours,
             int32_t macroblockColumns, uint8_t* out) {
    for (int32_t y = 0; y < height; ++y) {
        const RgbColour* rowColours = colours + size_t(y / kMacroblockSide) * size_t(macroblockColumns);
        for (int32_t x = 0; x < width; ++x) {
            const RgbColour c = rowColours[x / kMacroblockSide];
            const size_t i = (size_t(y) * size_t(width) + size_t(x)) * size_t(pixelBytes);
            const int32_t grey = (input[i] * 77 + input[i + 1] * 150 + input[i + 2] * 29) >> 8;
            out[i] = uint8_t((c.r * 3 + grey) / 4);
            out[i + 1] = uint8_t((c.g * 3 + grey) / 4);
            out[i + 2] = uint8_t((c.b * 3 + grey) / 4);
            if (pixelBytes == 4) out[i + 3] = 255;
        }
    }
}

}  // namespace

RgbColour HeatColour(double share) {
    static const RgbColour stops[] = {{0, 0, 0}, {30, 60, 220}, {220, 30, 40}, {255, 220, 30}, {255, 255, 255}};
    const double t = std::clamp(share, 0.0, 1.0) * 4.0;
    const int32_t i = std::min(int32_t(t), 3);
    const double f = t - i;
    const RgbColour& a = stops[i];
    const RgbColour& b = stops[i + 1];
    return {uint8_t(a.r + (b.r - a.r) * f), uint8_t(a.g + (b.g - a.g) * f), uint8_t(a.b + (b.b - a.b) * f)};
}

void DrawDifference(const uint8_t* reference, const uint8_t* test, size_t pixels, int32_t pixelBytes, int32_t gain,
                    uint8_t* out) {
    for (size_t i = 0; i < pixels * size_t(pixelBytes); i += size_t(pixelBytes)) {
        for (size_t c = 0; c < 3; ++c)
            out[i + c] = Clamp8(128 + gain * (int32_t(test[i + c]) - int32_t(reference[i + c])));
        if (pixelBytes == 4) out[i + 3] = 255;
    }
}

int32_t DrawBitsHeatMap(const uint8_t* input, int32_t width, int32_t height, int32_t pixelBytes,
                        const int32_t* macroblockBits, int32_t macroblockColumns, uint8_t* out) {
    const size_t macroblocks = MacroblockCount(height, macroblockColumns);
    const int32_t largest =
        macroblocks == 0 ? 1 : std::max(1, *std::max_element(macroblockBits, macroblockBits + macroblocks));
    std::vector<RgbColour> colours(macroblocks);
    for (size_t m = 0; m < macroblocks; ++m) colours[m] = HeatColour(double(macroblockBits[m]) / largest);
    Overlay(input, width, height, pixelBytes, colours.data(), macroblockColumns, out);
    return largest;
}

double DrawSsimHeatMap(const uint8_t* input, int32_t width, int32_t height, int32_t pixelBytes,
                       const double* macroblockSsim, int32_t macroblockColumns, uint8_t* out) {
    const size_t macroblocks = MacroblockCount(height, macroblockColumns);
    double worst = 1.0;
    for (size_t m = 0; m < macroblocks; ++m) {
        if (!std::isnan(macroblockSsim[m])) worst = std::min(worst, macroblockSsim[m]);
    }
    const double range = std::max(1.0 - worst, 1e-9);
    std::vector<RgbColour> colours(macroblocks);
    for (size_t m = 0; m < macroblocks; ++m) {
        const double s = macroblockSsim[m];
        colours[m] = std::isnan(s) ? kNoValueColour : HeatColour((1.0 - s) / range);
    }
    Overlay(input, width, height, pixelBytes, colours.data(), macroblockColumns, out);
    return worst;
}

}  // namespace vardelk
