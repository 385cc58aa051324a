// Frame-order (progressive DCT) transfer of one macroblock between a host
// frame and the macroblock buffer: four luma quadrants and 4:2:0 chroma from
// vertical pairs of pixels, clipped to the picture at its right and bottom.
#pragma once

#include <cstdint>

#include "codec/types.h"

namespace vardelk {

// remainingWidth/Height are the picture size less the macroblock's position
// (at least 1; anything above 16 means a whole macroblock); stride is the
// frame's row pitch in pixels. Only the inside part is read or written.
void GatherMacroblockProgressive(const Pixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                 int32_t remainingHeight, int32_t stride);
void ScatterMacroblockProgressive(const MacroblockBuffer& buffer, Pixel* destination, int32_t remainingWidth,
                                  int32_t remainingHeight, int32_t stride);

// Block-level steps; a width, height, column or row count <= 0 does nothing.
void GatherLumaBlock(const Pixel* source, int32_t block[64], int32_t width, int32_t height, int32_t stride);
void ScatterLumaBlock(const int32_t block[64], Pixel* destination, int32_t width, int32_t height, int32_t stride);
// Cb at cbBlock[0..63], Cr right after it.
void GatherChromaBlocks(const Pixel* source, int32_t cbBlock[128], int32_t columns, int32_t rows, int32_t stride);
void ScatterChromaBlocks(const int32_t cbBlock[128], Pixel* destination, int32_t width, int32_t height, int32_t stride);

}  // namespace vardelk
