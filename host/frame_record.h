// The host's per-frame record and its pixels, as the host lays them out in
// memory. Nothing here depends on the codec or on Windows, so the module's
// frame adapter and its tests build on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vardelk::host {

// One pixel as the host stores it: luma and two colour differences, each a
// signed 16-bit number at sixteen times the 8-bit sample scale.
struct YcPixel {
    int16_t y;
    int16_t cb;
    int16_t cr;
};
static_assert(sizeof(YcPixel) == 6, "the host packs pixels in 6 bytes");

// Both frames hold maxWidth x maxHeight pixels, rows maxWidth pixels apart;
// the picture is the top-left width x height. The field order is the host's;
// in the 32-bit module every field is one 4-byte word.
struct FrameProcInfo {
    int32_t reserved;    // not read
    YcPixel* editFrame;  // input; holds the output after processing
    YcPixel* tempFrame;  // output; holds the former input after processing
    int32_t width;
    int32_t height;
    int32_t maxWidth;
    int32_t maxHeight;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(FrameProcInfo) == 28, "frame record is 7 words");
static_assert(offsetof(FrameProcInfo, editFrame) == 0x04, "layout");
static_assert(offsetof(FrameProcInfo, tempFrame) == 0x08, "layout");
static_assert(offsetof(FrameProcInfo, width) == 0x0C, "layout");
static_assert(offsetof(FrameProcInfo, height) == 0x10, "layout");
static_assert(offsetof(FrameProcInfo, maxWidth) == 0x14, "layout");
static_assert(offsetof(FrameProcInfo, maxHeight) == 0x18, "layout");
#endif

}  // namespace vardelk::host
