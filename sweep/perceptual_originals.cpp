#include "sweep/perceptual_originals.h"

#include <memory>

#include "media/coded_planes.h"
#include "parallel/parallel_for.h"
#include "sweep/ffmpeg_points.h"

namespace vardelk {

PerceptualOriginals::PerceptualOriginals(const Y4mFormat& format, const std::vector<Y4mFrame>& clip, uint32_t cpuFlags,
                                         int32_t threads, bool ssimulacra2, bool butteraugli)
    : cpuFlags_(cpuFlags), ssimulacra2_(ssimulacra2), butteraugli_(butteraugli) {
    if (int64_t(clip.size()) * format.width * format.height > kPreparedPixels) return;
    const Y4mFormat format420 = CodedPlanesFormat(format);
    const std::vector<Y4mFrame> frames = ConvertTo420(format, clip);
    // The frames at once, each on one thread: the prepared original scores
    // on the threads it was made with, and the points already run on threads.
    if (ssimulacra2) prepared_.resize(frames.size());
    if (butteraugli) preparedButteraugli_.resize(frames.size());
    ParallelFor(threads, int64_t(frames.size()), [&](int64_t i) {
        if (ssimulacra2)
            prepared_[size_t(i)] =
                std::make_unique<Ssimulacra2Original>(format420, frames[size_t(i)], Ssimulacra2Options{1, cpuFlags});
        if (butteraugli)
            preparedButteraugli_[size_t(i)] =
                std::make_unique<ButteraugliOriginal>(format420, frames[size_t(i)], ButteraugliOptions{1, cpuFlags});
    });
}

double PerceptualOriginals::Score(size_t index, const Y4mFormat& format, const Y4mFrame& original,
                                  const Y4mFrame& distorted) const {
    if (const Ssimulacra2Original* prepared = Prepared(index)) return prepared->Score(format, distorted);
    return Ssimulacra2Frames(format, original, distorted, Ssimulacra2Options{1, cpuFlags_});
}

ButteraugliDistance PerceptualOriginals::Distance(size_t index, const Y4mFormat& format, const Y4mFrame& original,
                                                  const Y4mFrame& distorted) const {
    if (const ButteraugliOriginal* prepared = PreparedButteraugli(index)) return prepared->Measure(format, distorted);
    return ButteraugliFrames(format, original, distorted, ButteraugliOptions{1, cpuFlags_});
}

}  // namespace vardelk
