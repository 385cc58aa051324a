// The 4:2:0 planes the coder codes when it is handed a frame of another
// layout through the host format: luma as it is; each chroma sample the
// mean, rounded down, of the two rows' samples at the even column of its
// pair, as the coder's progressive macroblock gather takes it from a host
// frame. A reconstruction is compared with these planes, and an encoder
// asked to confirm a point is given them, so that every measure sees the
// very picture the coder coded.
#pragma once

#include "media/y4m.h"

namespace vardelk {

// 4:2:0 frames are returned as they are; monochrome ones gain neutral
// chroma; 4:2:2 and 4:4:4 ones are gathered as above, straight from their
// 8-bit planes. `planes` keeps its buffers when they are the right size.
void CodedPlanes420(const Y4mFormat& format, const Y4mFrame& frame, Y4mFormat& planesFormat, Y4mFrame& planes);

// The format of those planes: `format` with 4:2:0 chroma.
Y4mFormat CodedPlanesFormat(const Y4mFormat& format);

}  // namespace vardelk
