// Small helpers shared by the codec tests: frames sized exactly as the host
// would allocate them, filled from the tests' generator.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/types.h"
#include "testing/random.h"

namespace vardelk::testing {

struct HostFrames {
    std::vector<Pixel> edit;
    std::vector<Pixel> temp;
    int32_t maxWidth;

    HostFrames(int32_t /*width*/, int32_t /*height*/, int32_t maxWidth_, int32_t maxHeight)
        : edit(static_cast<size_t>(maxWidth_) * maxHeight), temp(edit.size()), maxWidth(maxWidth_) {}
    Pixel& At(std::vector<Pixel>& frame, int32_t x, int32_t y) { return frame[static_cast<size_t>(y) * maxWidth + x]; }
};

// Fills a frame with video-like content: luma 0..4095 and chroma
// -2048..2047 at host scale, mixing smooth areas and noise.
inline void FillNatural(std::vector<Pixel>& frame, int32_t stride, Random& random) {
    for (size_t i = 0; i < frame.size(); ++i) {
        const int32_t x = static_cast<int32_t>(i % static_cast<size_t>(stride));
        const int32_t y = static_cast<int32_t>(i / static_cast<size_t>(stride));
        const int32_t base = (x * 37 + y * 11) % 3000 + 500;
        frame[i].y = static_cast<int16_t>(base + random.Between(-400, 400));
        frame[i].cb = static_cast<int16_t>((x * 13 - y * 7) % 1500 + random.Between(-200, 200));
        frame[i].cr = static_cast<int16_t>((y * 19) % 1800 - 900 + random.Between(-200, 200));
    }
}

// Fills a frame with components anywhere in the int16 range.
inline void FillExtreme(std::vector<Pixel>& frame, Random& random) {
    for (Pixel& p : frame) {
        p.y = static_cast<int16_t>(random.Between(-32768, 32767));
        p.cb = static_cast<int16_t>(random.Between(-32768, 32767));
        p.cr = static_cast<int16_t>(random.Between(-32768, 32767));
    }
}

}  // namespace vardelk::testing
