// Small pictures for the search tests: waves whose amplitude falls with
// their frequency, as in photographs, with a grain of deterministic noise,
// at sizes that leave partial macroblocks at the right and bottom.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "media/rgb_convert.h"
#include "search/coded_picture.h"

namespace vardelk {

inline Y4mFrame GrainyScene(int32_t width, int32_t height, uint32_t seed, Y4mFormat* format) {
    RgbImage image;
    image.Resize(width, height);
    uint32_t state = seed * 2654435761u + 1;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                state = state * 1664525u + 1013904223u;
                const double phase = seed + c;
                const double v = 128 + 60 * std::sin(0.07 * x + 0.03 * y + phase) +
                                 30 * std::sin(0.21 * x - 0.17 * y + 2 * phase) +
                                 12 * std::sin(0.6 * x + 0.5 * y + 3 * phase) + int(state >> 29) - 4;
                image.At(x, y)[c] = uint8_t(std::clamp(int(std::lround(v)), 0, 255));
            }
        }
    }
    *format = FormatForRgb(width, height);
    Y4mFrame frame;
    RgbToFrame(image, frame);
    return frame;
}

inline CodedPicture GrainyPicture(int32_t width, int32_t height, uint32_t seed) {
    Y4mFormat format;
    const Y4mFrame frame = GrainyScene(width, height, seed, &format);
    return PrepareCodedPicture("scene" + std::to_string(seed), format, frame);
}

}  // namespace vardelk
