// Frames for the media tests: any format by its Y4M chroma tag, filled with
// a pattern in which neighbouring samples and the three planes all differ.
#pragma once

#include <cstdint>
#include <string>

#include "media/y4m.h"

namespace vardelk {
namespace testing {

inline Y4mFormat FormatOf(const char* chroma, int32_t width, int32_t height) {
    return ParseY4mHeader("YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " C" + chroma,
                          "test");
}

inline Y4mFrame Pattern(const Y4mFormat& format) {
    Y4mFrame frame;
    frame.Allocate(format);
    for (size_t i = 0; i < frame.y.size(); ++i) frame.y[i] = uint8_t(i * 37 + 3);
    for (size_t i = 0; i < frame.cb.size(); ++i) {
        frame.cb[i] = uint8_t(i * 53 + 11);
        frame.cr[i] = uint8_t(255 - i * 29);
    }
    return frame;
}

}  // namespace testing
}  // namespace vardelk
