// RGB pictures and their conversion to and from 8-bit Y'CbCr.
//
// The conversion uses the BT.601 coefficients (Kr = 0.299, Kb = 0.114) with
// studio-range samples, as video of this kind is normally coded: R, G, B in
// 0..255 map to Y in 16..235 and Cb, Cr in 16..240 around 128. Results are
// rounded to nearest and clamped to 0..255. Every picture a person looks at
// (the command's PNGs, the lab's canvases) comes back to RGB through here.
#pragma once

#include <cstdint>
#include <vector>

#include "media/y4m.h"

namespace vardelk {

struct RgbColour {
    uint8_t r, g, b;
};

// Packed 8-bit RGB, rows without padding.
struct RgbImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;

    void Resize(int32_t w, int32_t h) {
        width = w;
        height = h;
        rgb.assign(size_t(w) * size_t(h) * 3, 0);
    }
    uint8_t* At(int32_t x, int32_t y) { return rgb.data() + (size_t(y) * size_t(width) + size_t(x)) * 3; }
    const uint8_t* At(int32_t x, int32_t y) const { return rgb.data() + (size_t(y) * size_t(width) + size_t(x)) * 3; }
};

// A 4:4:4 format of the image's size at 25 frames per second.
Y4mFormat FormatForRgb(int32_t width, int32_t height);

// Converts into a 4:4:4 frame (allocated here).
void RgbToFrame(const RgbImage& image, Y4mFrame& frame);

// Converts any supported frame layout to RGB, subsampled chroma taken from the
// sample that covers each pixel.
void FrameToRgb(const Y4mFormat& format, const Y4mFrame& frame, RgbImage& image);
// The same into width x height opaque RGBA pixels (4 bytes each), as a
// browser canvas takes them.
void FrameToRgba(const Y4mFormat& format, const Y4mFrame& frame, uint8_t* rgba);

}  // namespace vardelk
