// PNG pictures: read through libpng's simplified interface, written by a
// small encoder of our own that compresses on several threads.
#pragma once

#include <cstdint>
#include <string>

#include "media/rgb_convert.h"

namespace vardelk {

// Reads any PNG (grey, palette, 16-bit and interlaced pictures included) as
// 8-bit RGB. Transparency is composited over black. Throws PictureError.
RgbImage ReadPng(const std::string& path);

// Writes an 8-bit RGB PNG on up to `threads` threads; the file appears only
// when complete, and its bytes do not depend on the thread count.
void WritePng(const std::string& path, const RgbImage& image, int32_t threads = 1);

}  // namespace vardelk
