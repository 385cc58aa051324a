// SSIMULACRA 2 and Butteraugli of a sweep: every point's frames measured
// against the clip's frames as the 4:2:0 planes the coder codes
// (ConvertTo420), both through FrameToRgb, as ClipRunner measures them. The
// originals' half of the work is done once for the whole sweep when the clip
// is small enough to keep it (a few full-HD frames; it takes about 50 bytes
// a pixel for SSIMULACRA 2 and 60 for Butteraugli); longer clips are
// measured from scratch, with the same figures.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/y4m.h"
#include "quality/butteraugli.h"
#include "quality/ssimulacra2.h"

namespace vardelk {

class PerceptualOriginals {
public:
    // Pixels of all frames together up to which the originals are prepared.
    static constexpr int64_t kPreparedPixels = int64_t{4} << 20;

    // The clip in its own format; its frames are prepared on `threads` for
    // the measures asked for.
    PerceptualOriginals(const Y4mFormat& format, const std::vector<Y4mFrame>& clip, uint32_t cpuFlags, int32_t threads,
                        bool ssimulacra2 = true, bool butteraugli = false);

    bool Ssimulacra2() const { return ssimulacra2_; }
    bool Butteraugli() const { return butteraugli_; }
    // Frame `index` prepared, or null when the clip was too long to keep
    // (or the measure is not asked for).
    const Ssimulacra2Original* Prepared(size_t index) const {
        return prepared_.empty() ? nullptr : prepared_[index].get();
    }
    const ButteraugliOriginal* PreparedButteraugli(size_t index) const {
        return preparedButteraugli_.empty() ? nullptr : preparedButteraugli_[index].get();
    }
    // A 4:2:0 frame (`format` the clip's 4:2:0 form) against frame `index`,
    // whose coded 4:2:0 planes are `original`; on one thread, as the points
    // run on threads of their own.
    double Score(size_t index, const Y4mFormat& format, const Y4mFrame& original, const Y4mFrame& distorted) const;
    // Its Butteraugli distance, the same way.
    ButteraugliDistance Distance(size_t index, const Y4mFormat& format, const Y4mFrame& original,
                                 const Y4mFrame& distorted) const;

private:
    uint32_t cpuFlags_;
    bool ssimulacra2_, butteraugli_;
    std::vector<std::unique_ptr<Ssimulacra2Original>> prepared_;
    std::vector<std::unique_ptr<ButteraugliOriginal>> preparedButteraugli_;
};

}  // namespace vardelk
