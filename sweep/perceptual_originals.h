// SSIMULACRA 2 of a sweep: every point's frames scored against the clip's
// frames as the 4:2:0 planes the coder codes (ConvertTo420), both through
// FrameToRgb, as ClipRunner scores them. The originals' half of the work is
// done once for the whole sweep when the clip is small enough to keep it (a
// few full-HD frames; it takes about 50 bytes a pixel); longer clips are
// scored from scratch, with the same scores.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/y4m.h"
#include "quality/ssimulacra2.h"

namespace vardelk {

class PerceptualOriginals {
public:
    // Pixels of all frames together up to which the originals are prepared.
    static constexpr int64_t kPreparedPixels = int64_t{4} << 20;

    // The clip in its own format; its frames are prepared on `threads`.
    PerceptualOriginals(const Y4mFormat& format, const std::vector<Y4mFrame>& clip, uint32_t cpuFlags, int32_t threads);

    // Frame `index` prepared, or null when the clip was too long to keep.
    const Ssimulacra2Original* Prepared(size_t index) const {
        return prepared_.empty() ? nullptr : prepared_[index].get();
    }
    // A 4:2:0 frame (`format` the clip's 4:2:0 form) against frame `index`,
    // whose coded 4:2:0 planes are `original`; on one thread, as the points
    // run on threads of their own.
    double Score(size_t index, const Y4mFormat& format, const Y4mFrame& original, const Y4mFrame& distorted) const;

private:
    uint32_t cpuFlags_;
    std::vector<std::unique_ptr<Ssimulacra2Original>> prepared_;
};

}  // namespace vardelk
