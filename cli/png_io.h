// PNG pictures through libpng's simplified interface.
#pragma once

#include <string>

#include "media/rgb_convert.h"

namespace vardelk {

// Reads any PNG (grey, palette, 16-bit and interlaced pictures included) as
// 8-bit RGB. Transparency is composited over black. Throws CliError.
RgbImage ReadPng(const std::string& path);

// Writes an 8-bit RGB PNG; the file appears only when complete.
void WritePng(const std::string& path, const RgbImage& image);

}  // namespace vardelk
