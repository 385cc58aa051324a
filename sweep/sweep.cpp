#include "sweep/sweep.h"

#include <mutex>

#include "clip/clip_runner.h"
#include "media/report_text.h"
#include "parallel/parallel_for.h"

namespace vardelk {
namespace {

// Work done over the whole sweep, told from whichever thread finishes some.
class SharedProgress {
public:
    explicit SharedProgress(const SweepHooks& hooks) : hooks_(hooks) {}

    void Done() {
        const std::lock_guard<std::mutex> hold(lock_);
        ++done_;
        if (hooks_.progress) hooks_.progress(done_);
    }

private:
    const SweepHooks& hooks_;
    std::mutex lock_;
    int64_t done_ = 0;
};

void CheckStop(const SweepHooks& hooks) {
    if (hooks.checkStop) hooks.checkStop();
}

SweepRow RunOne(const std::vector<Y4mFrame>& clip, const Y4mFormat& format, const SweepPoint& point, uint32_t cpuFlags,
                const SweepHooks& hooks, SharedProgress& progress, const PerceptualOriginals* perceptual) {
    const CodingSettings& settings = point.settings;
    ClipRunner runner(format, settings, point.matrix->entries.data(), "", 1, cpuFlags);
    SweepRow row;
    row.matrix = point.matrix->name;
    row.nonLinear = settings.nonLinearScale != 0;
    row.scaleCode = settings.scaleCode;
    row.quantiserScale = QuantiserScale(settings.scaleCode, settings.nonLinearScale);
    runner.MeasureSsim(true);
    runner.MeasureCodedPlanes(true);
    runner.MeasureSsimulacra2(perceptual != nullptr && perceptual->Ssimulacra2());
    runner.MeasureButteraugli(perceptual != nullptr && perceptual->Butteraugli());
    double scores = 0;
    ButteraugliDistance distances;
    for (size_t i = 0; i < clip.size(); ++i) {
        CheckStop(hooks);
        const FrameResult r = perceptual
                                  ? runner.Process(clip[i], perceptual->Prepared(i), perceptual->PreparedButteraugli(i))
                                  : runner.Process(clip[i]);
        row.totalBytes += r.bytes;
        row.error.Add(r.error);
        row.ssim.Add(r.ssim);
        scores += r.ssimulacra2;
        distances.maxNorm += r.butteraugli.maxNorm;
        distances.norm3 += r.butteraugli.norm3;
        progress.Done();
    }
    row.frames = int64_t(clip.size());
    row.ssimulacra2 = scores / double(row.frames);
    row.butteraugli = {distances.maxNorm / double(row.frames), distances.norm3 / double(row.frames)};
    row.meanBytes = double(row.totalBytes) / double(row.frames);
    row.bitRate = BitRate(row.meanBytes, format);
    return row;
}

}  // namespace

std::vector<SweepPoint> SweepPoints(const std::vector<NamedMatrix>& matrices, const CodingSettings& base,
                                    bool bothMappings, const std::vector<int32_t>& codes) {
    std::vector<int32_t> swept = codes;
    if (swept.empty())
        for (int32_t code = kMinScaleCode; code <= kMaxScaleCode; ++code) swept.push_back(code);
    std::vector<SweepPoint> points;
    for (const NamedMatrix& matrix : matrices) {
        for (int nonLinear = 0; nonLinear < (bothMappings ? 2 : 1); ++nonLinear) {
            CodingSettings settings = base;
            settings.nonLinearScale = nonLinear;
            for (int32_t code : swept) {
                settings.scaleCode = code;
                points.push_back(SweepPoint{&matrix, settings});
            }
        }
    }
    return points;
}

std::vector<SweepRow> RunSweep(const std::vector<Y4mFrame>& clip, const Y4mFormat& format,
                               const std::vector<SweepPoint>& points, uint32_t cpuFlags, int32_t threads,
                               const SweepHooks& hooks, const PerceptualOriginals* perceptual) {
    std::vector<SweepRow> rows(points.size());
    SharedProgress progress(hooks);
    ParallelFor(threads, int64_t(points.size()), [&](int64_t i) {
        rows[size_t(i)] = RunOne(clip, format, points[size_t(i)], cpuFlags, hooks, progress, perceptual);
    });
    return rows;
}

void ConfirmSweep(const FfmpegConfirmer& confirmer, const std::vector<SweepPoint>& points, int32_t threads,
                  const SweepHooks& hooks, std::vector<SweepRow>& rows) {
    SharedProgress progress(hooks);
    ParallelFor(threads, int64_t(points.size()), [&](int64_t i) {
        CheckStop(hooks);
        rows[size_t(i)].measured = confirmer.Measure(*points[size_t(i)].matrix, points[size_t(i)].settings, i);
        progress.Done();
    });
}

const char* MappingName(bool nonLinear) { return nonLinear ? "non-linear" : "linear"; }

std::string CurveLabel(const SweepRow& r) {
    return r.matrix.substr(r.matrix.find_last_of('/') + 1) + " " + MappingName(r.nonLinear);
}

std::vector<BdCurve> BdCurves(const std::vector<SweepRow>& rows, bool measured, bool ssimulacra2, bool butteraugli) {
    std::vector<BdCurve> curves;
    for (const SweepRow& r : rows) {
        const std::string label = CurveLabel(r);
        if (curves.empty() || curves.back().label != label) curves.push_back(BdCurve{label, {}});
        // In the order of SweepMeasures(): luma PSNR, overall SSIM, SSIMULACRA 2,
        // Butteraugli's 3-norm.
        if (measured && !r.measured.measured) continue;
        const MeasuredPoint& m = r.measured;
        BdSweepPoint point{
            measured ? m.meanBytes : r.meanBytes,
            {measured ? m.error.y.Psnr() : r.error.y.Psnr(), measured ? m.ssim.all.Ssim() : r.ssim.all.Ssim()}};
        if (ssimulacra2) point.quality.push_back(measured ? m.ssimulacra2 : r.ssimulacra2);
        if (butteraugli) point.quality.push_back(measured ? m.butteraugli.norm3 : r.butteraugli.norm3);
        curves.back().points.push_back(point);
    }
    return curves;
}

}  // namespace vardelk
