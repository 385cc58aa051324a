#include "lab/views.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vardelk {
namespace {

constexpr int32_t kMacroblockSide = 16;

uint8_t Clamp8(int32_t value) { return uint8_t(std::clamp(value, 0, 255)); }

// Studio-range BT.601 back to full-range RGB, with Kr = 0.299, Kb = 0.114:
//   l = (Y - 16) x 255/219,  cb = (Cb - 128) x 255/224 x 2(1 - Kb),  cr likewise with Kr,
//   R = l + cr,  B = l + cb,  G = l - (Kr/Kg) cr - (Kb/Kg) cb.
// Each term depends on one sample, so it is tabled once in 16.16 fixed point
// and a pixel costs three to five additions and a rounding shift.
struct RgbTables {
    int32_t luma[256], crToR[256], cbToB[256], crToG[256], cbToG[256];

    RgbTables() {
        const double kr = 0.299, kb = 0.114, kg = 1.0 - kr - kb, one = 65536.0;
        for (int32_t v = 0; v < 256; ++v) {
            const double l = (v - 16.0) * 255.0 / 219.0;
            const double cb = (v - 128.0) * 255.0 / 224.0 * 2.0 * (1.0 - kb);
            const double cr = (v - 128.0) * 255.0 / 224.0 * 2.0 * (1.0 - kr);
            luma[v] = int32_t(std::lround(l * one)) + (1 << 15);
            crToR[v] = int32_t(std::lround(cr * one));
            cbToB[v] = int32_t(std::lround(cb * one));
            crToG[v] = int32_t(std::lround(-kr / kg * cr * one));
            cbToG[v] = int32_t(std::lround(-kb / kg * cb * one));
        }
    }
};

struct HeatColour {
    uint8_t r, g, b;
};

HeatColour HeatRamp(double share) {
    static const HeatColour stops[] = {{0, 0, 0}, {30, 60, 220}, {220, 30, 40}, {255, 220, 30}, {255, 255, 255}};
    const double t = std::clamp(share, 0.0, 1.0) * 4.0;
    const int32_t i = std::min(int32_t(t), 3);
    const double f = t - i;
    const HeatColour& a = stops[i];
    const HeatColour& b = stops[i + 1];
    return {uint8_t(a.r + (b.r - a.r) * f), uint8_t(a.g + (b.g - a.g) * f), uint8_t(a.b + (b.b - a.b) * f)};
}

constexpr HeatColour kNoValueColour{90, 90, 90};

int32_t MacroblockRowsOf(int32_t height) { return (height + kMacroblockSide - 1) / kMacroblockSide; }

// Each macroblock's colour at three quarters, a quarter of the input's grey
// showing through.
void Overlay(const uint8_t* input, int32_t width, int32_t height, const HeatColour* colours, int32_t macroblockColumns,
             uint8_t* rgba) {
    for (int32_t y = 0; y < height; ++y) {
        const HeatColour* rowColours = colours + size_t(y / kMacroblockSide) * size_t(macroblockColumns);
        for (int32_t x = 0; x < width; ++x) {
            const HeatColour c = rowColours[x / kMacroblockSide];
            const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 4;
            const int32_t grey = (input[i] * 77 + input[i + 1] * 150 + input[i + 2] * 29) >> 8;
            rgba[i] = uint8_t((c.r * 3 + grey) / 4);
            rgba[i + 1] = uint8_t((c.g * 3 + grey) / 4);
            rgba[i + 2] = uint8_t((c.b * 3 + grey) / 4);
            rgba[i + 3] = 255;
        }
    }
}

}  // namespace

void FrameToRgba(const Y4mFrame& frame, int32_t width, int32_t height, uint8_t* rgba) {
    static const RgbTables tables;
    const size_t pixels = size_t(width) * size_t(height);
    for (size_t i = 0; i < pixels; ++i) {
        const int32_t l = tables.luma[frame.y[i]];
        const uint8_t cb = frame.cb[i], cr = frame.cr[i];
        uint8_t* out = rgba + i * 4;
        out[0] = Clamp8((l + tables.crToR[cr]) >> 16);
        out[1] = Clamp8((l + tables.crToG[cr] + tables.cbToG[cb]) >> 16);
        out[2] = Clamp8((l + tables.cbToB[cb]) >> 16);
        out[3] = 255;
    }
}

void DifferenceRgba(const uint8_t* reference, const uint8_t* test, int32_t pixels, int32_t gain, uint8_t* rgba) {
    for (size_t i = 0; i < size_t(pixels) * 4; i += 4) {
        for (size_t c = 0; c < 3; ++c) {
            rgba[i + c] = Clamp8(128 + gain * (int32_t(test[i + c]) - int32_t(reference[i + c])));
        }
        rgba[i + 3] = 255;
    }
}

void HeatMapRgba(const uint8_t* input, int32_t width, int32_t height, const int32_t* macroblockBits,
                 int32_t macroblockColumns, uint8_t* rgba) {
    const size_t macroblocks = size_t(macroblockColumns) * size_t(MacroblockRowsOf(height));
    const int32_t maxBits = std::max(1, *std::max_element(macroblockBits, macroblockBits + macroblocks));
    std::vector<HeatColour> colours(macroblocks);
    for (size_t m = 0; m < macroblocks; ++m) colours[m] = HeatRamp(double(macroblockBits[m]) / maxBits);
    Overlay(input, width, height, colours.data(), macroblockColumns, rgba);
}

double SsimMapRgba(const uint8_t* input, int32_t width, int32_t height, const double* macroblockSsim,
                   int32_t macroblockColumns, uint8_t* rgba) {
    const size_t macroblocks = size_t(macroblockColumns) * size_t(MacroblockRowsOf(height));
    double worst = 1.0;
    for (size_t m = 0; m < macroblocks; ++m) {
        if (!std::isnan(macroblockSsim[m])) worst = std::min(worst, macroblockSsim[m]);
    }
    const double range = std::max(1.0 - worst, 1e-9);
    std::vector<HeatColour> colours(macroblocks);
    for (size_t m = 0; m < macroblocks; ++m) {
        const double s = macroblockSsim[m];
        colours[m] = std::isnan(s) ? kNoValueColour : HeatRamp((1.0 - s) / range);
    }
    Overlay(input, width, height, colours.data(), macroblockColumns, rgba);
    return worst;
}

}  // namespace vardelk
