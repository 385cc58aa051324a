// What the perceptual measures (ssimulacra2.h, butteraugli.h) share: how a
// measure runs, a coded frame as the RGB picture they take, and the check
// that the two pictures of a pair have one size.
#pragma once

#include <cstdint>

#include "codec/cpu.h"
#include "media/rgb_convert.h"
#include "media/y4m.h"

namespace vardelk {

struct PerceptualOptions {
    int32_t threads = 1;
    uint32_t cpuFlags = DetectedCpuFlags();  // CpuFlag bits this CPU runs
};

// The frame through media's FrameToRgb (BT.601, studio range, each pixel
// taking the chroma sample that covers it).
RgbImage FrameAsRgb(const Y4mFormat& format, const Y4mFrame& frame);

// The distorted picture must have the original's size: std::invalid_argument
// naming both otherwise.
void CheckSameSize(int32_t width, int32_t height, int32_t distortedWidth, int32_t distortedHeight);

}  // namespace vardelk
