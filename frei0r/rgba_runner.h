// RGBA frames through the simulated codec, giving exactly what the command
// line makes of a PNG picture (RGB to a 4:4:4 frame, the frame through a
// ClipRunner, the reconstruction back to RGB with media/rgb_convert.h's
// samples; media/rgba_convert.h converts them faster). Alpha is passed through
// untouched. The frame is cut into bands of whole macroblock rows, each
// converted and coded on its own thread; macroblock rows are independent,
// so the pixels do not depend on the number of bands.
//
// With frame DCT the 4:4:4 frame is never made: the progressive gather
// reads a 4:4:4 frame's chroma only at even columns, as the mean of two
// rows, and its scatter gives each 2x2 square one chroma sample, so the
// rows convert straight to and from 4:2:0 planes of those samples, which
// the codec codes in place (rgba_convert.h). Field DCT mixes the rows of
// each field and goes the command line's way.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "clip/clip_runner.h"
#include "codec/cpu.h"
#include "media/rgb_convert.h"
#include "media/rgba_convert.h"

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
        std::vector<uint8_t> y, cb, cr;  // 4:2:0 planes, frame DCT
        std::unique_ptr<FrameCoder> coder;
        Y4mFrame frame;  // 4:4:4, field DCT, made on first use
        std::unique_ptr<ClipRunner> runner;
    };
    int32_t ProcessBand(Band& band, const CodingSettings& settings, const int32_t* matrix, const uint8_t* in,
                        uint8_t* out) const;
    int32_t ProcessFieldBand(Band& band, const CodingSettings& settings, const int32_t* matrix, const uint8_t* in,
                             uint8_t* out) const;

    int32_t width_;
    int32_t height_;
    int32_t threads_;
    uint32_t cpuFlags_;
    const RgbaConversions& conversions_;
    std::vector<Band> bands_;
};

}  // namespace vardelk
