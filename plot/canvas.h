// A plain RGB drawing surface for the pictures the command writes: filled
// rectangles, thick lines and text in a built-in 5x7 pixel font.
#pragma once

#include <cstdint>
#include <string>

#include "media/rgb_convert.h"

namespace vardelk {

class Canvas {
public:
    Canvas(int32_t width, int32_t height, RgbColour background);

    RgbImage& Image() { return image_; }
    const RgbImage& Image() const { return image_; }

    void Set(int32_t x, int32_t y, RgbColour c);  // ignores points outside
    void FillRect(int32_t x, int32_t y, int32_t w, int32_t h, RgbColour c);
    void Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, RgbColour c, int32_t thickness);
    // Draws text with its top-left corner at (x, y); each font pixel becomes
    // a scale x scale square. Characters the font lacks show as '?'.
    void Text(int32_t x, int32_t y, const std::string& text, RgbColour c, int32_t scale);
    void Blit(const RgbImage& source, int32_t x, int32_t y);

    static int32_t TextWidth(const std::string& text, int32_t scale) { return int32_t(text.size()) * 6 * scale; }
    static int32_t TextHeight(int32_t scale) { return 7 * scale; }

private:
    RgbImage image_;
};

}  // namespace vardelk
