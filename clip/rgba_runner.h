// RGBA frames through the simulated codec, the way the command line codes a
// PNG picture: RGB to a 4:4:4 frame, the frame through a ClipRunner, the
// reconstruction back to RGB, with media/rgb_convert.h's samples
// (clip/rgba_convert.h converts them faster). Alpha is passed through
// untouched. The frame is cut into bands of whole macroblock rows, each
// converted and coded on its own thread; macroblock rows are independent,
// so the pixels do not depend on the number of bands.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "clip/clip_runner.h"
#include "clip/rgba_convert.h"
#include "codec/cpu.h"
#include "media/rgb_convert.h"

namespace vardelk {

class RgbaRunner {
public:
    // Frames of width x height pixels (each at least 1), coded on up to
    // `threads` threads. Buffers are sized here once.
    RgbaRunner(int32_t width, int32_t height, int32_t threads, uint32_t cpuFlags = DetectedCpuFlags());

    RgbaRunner(const RgbaRunner&) = delete;
    RgbaRunner& operator=(const RgbaRunner&) = delete;

    // Codes one frame of packed RGBA pixels (rows width x 4 bytes apart) into
    // `out`, which may be `in` itself, and returns the estimated bytes.
    // `matrix` is read during the call only.
    int32_t Process(const CodingSettings& settings, const int32_t* matrix, const uint8_t* in, uint8_t* out);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t Bands() const { return int32_t(bands_.size()); }

private:
    struct Band {
        int32_t top = 0;
        int32_t height = 0;
        Y4mFrame frame;
        std::unique_ptr<ClipRunner> runner;
    };
    int32_t ProcessBand(Band& band, const uint8_t* in, uint8_t* out) const;

    int32_t width_;
    int32_t height_;
    int32_t threads_;
    const RgbaConversions& conversions_;
    std::vector<Band> bands_;
};

}  // namespace vardelk
