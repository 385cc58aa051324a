// Small helpers shared by the codec tests: a deterministic generator and
// frames sized exactly as the host would allocate them.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/types.h"
#include "host/frame_record.h"

namespace vardelk::testing {

// xorshift64*: the same sequence on every platform and compiler.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in low..high inclusive.
    int32_t Between(int32_t low, int32_t high) {
        const uint64_t span = static_cast<uint64_t>(int64_t{high} - low + 1);
        return static_cast<int32_t>(low + static_cast<int64_t>(Next() % span));
    }

private:
    uint64_t state_;
};

struct HostFrames {
    std::vector<YcPixel> edit;
    std::vector<YcPixel> temp;
    FrameProcInfo info{};

    HostFrames(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight)
        : edit(static_cast<size_t>(maxWidth) * maxHeight), temp(edit.size()) {
        info = FrameProcInfo{0, edit.data(), temp.data(), width, height, maxWidth, maxHeight};
    }
    YcPixel& At(std::vector<YcPixel>& frame, int32_t x, int32_t y) {
        return frame[static_cast<size_t>(y) * info.maxWidth + x];
    }
};

// Fills a frame with video-like content: luma 0..4095 and chroma
// -2048..2047 at host scale, mixing smooth areas and noise.
inline void FillNatural(std::vector<YcPixel>& frame, int32_t stride, Random& random) {
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
inline void FillExtreme(std::vector<YcPixel>& frame, Random& random) {
    for (YcPixel& p : frame) {
        p.y = static_cast<int16_t>(random.Between(-32768, 32767));
        p.cb = static_cast<int16_t>(random.Between(-32768, 32767));
        p.cr = static_cast<int16_t>(random.Between(-32768, 32767));
    }
}

}  // namespace vardelk::testing
