#include "sweep/perceptual_originals.h"

#include <memory>

#include "media/coded_planes.h"
#include "parallel/parallel_for.h"
#include "sweep/ffmpeg_points.h"

namespace vardelk {

PerceptualOriginals::PerceptualOriginals(const Y4mFormat& format, const std::vector<Y4mFrame>& clip, uint32_t cpuFlags,
                                         int32_t threads)
    : cpuFlags_(cpuFlags) {
    if (int64_t(clip.size()) * format.width * format.height > kPreparedPixels) return;
    const Y4mFormat format420 = CodedPlanesFormat(format);
    const std::vector<Y4mFrame> frames = ConvertTo420(format, clip);
    // The frames at once, each on one thread: the prepared original scores
    // on the threads it was made with, and the points already run on threads.
    prepared_.resize(frames.size());
    ParallelFor(threads, int64_t(frames.size()), [&](int64_t i) {
        prepared_[size_t(i)] =
            std::make_unique<Ssimulacra2Original>(format420, frames[size_t(i)], Ssimulacra2Options{1, cpuFlags});
    });
}

double PerceptualOriginals::Score(size_t index, const Y4mFormat& format, const Y4mFrame& original,
                                  const Y4mFrame& distorted) const {
    if (const Ssimulacra2Original* prepared = Prepared(index)) return prepared->Score(format, distorted);
    return Ssimulacra2Frames(format, original, distorted, Ssimulacra2Options{1, cpuFlags_});
}

}  // namespace vardelk
