// Field-order (interlaced DCT) transfer of one macroblock: each luma block
// holds lines of one field, and chroma is subsampled within each field at
// the interlaced 4:2:0 positions (3:1 toward the top field's upper line,
// 1:3 toward the bottom field's lower line). Clipped to the picture at its
// right and bottom edges, like the progressive pair.
#pragma once

#include <cstdint>

#include "codec/types.h"

namespace vardelk {

void GatherMacroblockInterlaced(const Pixel* source, MacroblockBuffer& buffer, int32_t remainingWidth,
                                int32_t remainingHeight, int32_t stride);
void ScatterMacroblockInterlaced(const MacroblockBuffer& buffer, Pixel* destination, int32_t remainingWidth,
                                 int32_t remainingHeight, int32_t stride);

}  // namespace vardelk
