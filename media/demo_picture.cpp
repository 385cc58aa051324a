#include "media/demo_picture.h"

#include <algorithm>
#include <cmath>

namespace vardelk {
namespace {

constexpr double kPi = 3.14159265358979323846;

void Put(uint8_t* pixel, double r, double g, double b) {
    pixel[0] = uint8_t(std::clamp(r, 0.0, 255.0));
    pixel[1] = uint8_t(std::clamp(g, 0.0, 255.0));
    pixel[2] = uint8_t(std::clamp(b, 0.0, 255.0));
}

// Top left: a hue sweep across, fading to black downwards.
void HueGradient(double u, double v, uint8_t* out) {
    const double h = u * 6.0;
    const double r = std::clamp(std::fabs(h - 3.0) - 1.0, 0.0, 1.0);
    const double g = std::clamp(2.0 - std::fabs(h - 2.0), 0.0, 1.0);
    const double b = std::clamp(2.0 - std::fabs(h - 4.0), 0.0, 1.0);
    const double level = 255.0 * (1.0 - v);
    Put(out, r * level, g * level, b * level);
}

// Top right: a zone plate, whose rings get finer towards the edge.
void ZonePlate(double u, double v, uint8_t* out) {
    const double dx = u - 0.5, dy = v - 0.5;
    const double value = 127.5 + 127.5 * std::cos(kPi * 180.0 * (dx * dx + dy * dy));
    Put(out, value, value, value);
}

// Bottom left: a chequerboard of saturated colour with hard edges and a
// diagonal edge through it.
void ColourChecks(int32_t x, int32_t y, double u, double v, uint8_t* out) {
    static const uint8_t colours[6][3] = {{220, 30, 30},  {30, 200, 40},  {40, 60, 230},
                                          {240, 220, 20}, {20, 210, 220}, {230, 40, 210}};
    const int32_t cell = ((x / 23) + (y / 19) * 2) % 6;
    const uint8_t* c = colours[cell];
    if (u > v) {
        Put(out, c[0], c[1], c[2]);
    } else {
        Put(out, 255 - c[0], 255 - c[1], 255 - c[2]);
    }
}

// Bottom right: noise-like texture over a grey ramp, with one-pixel lines.
void Texture(int32_t x, int32_t y, double u, uint8_t* out) {
    uint32_t hash = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u;
    hash = (hash ^ (hash >> 13)) * 1274126177u;
    const double grain = double(hash >> 24) / 255.0 - 0.5;
    double level = 40.0 + 170.0 * u + 60.0 * grain;
    if (x % 12 == 0 || y % 9 == 0) level = 250.0;
    Put(out, level, level * 0.9, level * 0.8);
}

}  // namespace

void DrawDemoScene(RgbImage& image, int32_t frame) {
    const int32_t halfWidth = std::max(image.width / 2, 1);
    const int32_t halfHeight = std::max(image.height / 2, 1);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const int32_t sx = (x + frame * 3) % halfWidth;  // content drifts right per frame
            const double u = double(sx) / halfWidth;
            const double v = double(y % halfHeight) / halfHeight;
            uint8_t* out = image.At(x, y);
            const bool left = x < halfWidth, top = y < halfHeight;
            if (top && left)
                HueGradient(u, v, out);
            else if (top)
                ZonePlate(u, v, out);
            else if (left)
                ColourChecks(sx, y, u, v, out);
            else
                Texture(sx, y, u, out);
        }
    }
}

}  // namespace vardelk
