// Small pictures for the search tests: the built-in scene with a grain of
// deterministic noise (so that high frequencies carry levels), at sizes
// that leave partial macroblocks at the right and bottom.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "media/demo_picture.h"
#include "media/rgb_convert.h"
#include "search/coded_picture.h"

namespace vardelk {

inline Y4mFrame GrainyScene(int32_t width, int32_t height, uint32_t seed, Y4mFormat* format) {
    RgbImage image;
    image.Resize(width, height);
    DrawDemoScene(image, int32_t(seed));
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& v : image.rgb) {
        state = state * 1664525u + 1013904223u;
        v = uint8_t(std::min(255, std::max(0, int(v) + int(state >> 28) - 8)));
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
