// The host's two frames as the module receives them, sized as the host
// allocates them, filled by the codec tests' generators.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "host/frame_record.h"
#include "tests/codec/test_support.h"

namespace vardelk::testing {

struct ModuleFrames {
    std::vector<host::YcPixel> edit;
    std::vector<host::YcPixel> temp;
    host::FrameProcInfo info{};

    ModuleFrames(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight)
        : edit(static_cast<size_t>(maxWidth) * maxHeight), temp(edit.size()) {
        info = host::FrameProcInfo{0, edit.data(), temp.data(), width, height, maxWidth, maxHeight};
    }
    host::YcPixel& At(std::vector<host::YcPixel>& frame, int32_t x, int32_t y) {
        return frame[static_cast<size_t>(y) * info.maxWidth + x];
    }
};

// The generators' pixels written into a host frame in place (the frame
// record keeps pointing at it).
inline void CopyToHost(const std::vector<Pixel>& pixels, std::vector<host::YcPixel>& frame) {
    std::transform(pixels.begin(), pixels.end(), frame.begin(), [](const Pixel& p) {
        return host::YcPixel{p.y, p.cb, p.cr};
    });
}
inline void FillNatural(std::vector<host::YcPixel>& frame, int32_t stride, Random& random) {
    std::vector<Pixel> pixels(frame.size());
    FillNatural(pixels, stride, random);
    CopyToHost(pixels, frame);
}
inline void FillExtreme(std::vector<host::YcPixel>& frame, Random& random) {
    std::vector<Pixel> pixels(frame.size());
    FillExtreme(pixels, random);
    CopyToHost(pixels, frame);
}

}  // namespace vardelk::testing
