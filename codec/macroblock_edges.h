// Partial macroblocks at the picture's right and bottom edges. The filter
// codes what lies outside the picture as zero samples; ffmpeg extends the
// picture by repeating its last column and row, so its model sees those
// samples instead. (mpeg2enc fills them another way, which its model does
// not follow: its figures hold for pictures of whole macroblocks.)
#pragma once

#include <cstdint>

#include "codec/types.h"

namespace vardelk {

// Fills the part of a gathered macroblock outside the picture by repeating
// the nearest sample inside it, in frame space for luma (whichever DCT
// layout the blocks have) and in each chroma block. insideWidth and
// insideHeight: the luma pixels of the macroblock inside the picture
// (1..16); chromaWidth and chromaHeight: the chroma samples the gather
// filled (0 leaves the chroma as it is).
void ExtendPartialMacroblock(MacroblockBuffer& buffer, int32_t insideWidth, int32_t insideHeight, bool fieldDct,
                             int32_t chromaWidth, int32_t chromaHeight);

}  // namespace vardelk
