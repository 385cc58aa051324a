// Runs frames through the simulated codec and measures the result. 4:2:0
// frames are coded straight from and to their 8-bit planes; other layouts,
// and runs with coefficient logs, go through host-format frames converted
// from and back to 8 bits. Both give the same reconstruction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/frame_coder.h"
#include "level_recorder.h"
#include "media/psnr.h"
#include "media/y4m.h"
#include "quality/ssim.h"
#include "stream/stream_writer.h"

namespace vardelk {

struct FrameResult {
    int64_t index = 0;
    int32_t bytes = 0;
    FrameError error;  // reconstruction against input, 8-bit planes
    bool hasSsim = false;
    FrameSsim ssim;  // the same pair, when the runner measures SSIM
    bool hasStream = false;
    FrameAccounting stream;  // the frame in the MPEG-2 stream, when one is written
};

class ClipRunner {
public:
    // Buffers are sized here once; Process() allocates nothing. `logDir`
    // empty means the coefficient logs are off. With `bandThreads` above 1
    // each frame's macroblock rows are split into that many bands coded at
    // once (not with logs, which need the macroblocks in order).
    ClipRunner(const Y4mFormat& format, const FilterSettings& settings, const int32_t* matrix,
               const std::string& logDir, int32_t bandThreads = 1);

    // Also measure SSIM of every frame (it costs about as much as PSNR and
    // the colour conversion together, so only on request).
    void MeasureSsim(bool on) { measureSsim_ = on; }
    // Also keep each frame's quantised levels, for a stream written later.
    void RecordLevels(bool on) { recordLevels_ = on; }
    // Hands the last frame's levels to `to`, macroblocks in coding order.
    void ReplayLevels(CoefficientSink& to) const;

    ClipRunner(const ClipRunner&) = delete;  // holds pointers into itself
    ClipRunner& operator=(const ClipRunner&) = delete;

    FrameResult Process(const Y4mFrame& input);

    const Y4mFormat& Format() const { return format_; }
    const Y4mFrame& Reconstruction() const { return reconstruction_; }
    // The reconstructed frame in the host's format, rows `width` apart.
    // With KeepHostFrames(false) there is none (null). Before either call of
    // KeepHostFrames, the first call codes the last frame again through host
    // frames (the frame given to Process must still be alive) and the runner
    // keeps to host frames from then on.
    const YcPixel* ReconstructionYc() const;
    // Whether ReconstructionYc() is wanted: frames then go through host
    // frames, which costs about a third more time.
    void KeepHostFrames(bool on);
    // Estimated bits of each macroblock of the last frame, row-major.
    const std::vector<int32_t>& MacroblockBits() const { return macroblockBits_; }
    int32_t MacroblockColumnCount() const { return MacroblockColumns(format_.width); }

private:
    int32_t CodeFrame();
    int32_t CodeBands();
    // The frame coded as a band of whole macroblock rows of the picture,
    // the planar way or through the host frames.
    int32_t CodeBand(FrameCoder& coder, int32_t top, int32_t height, const FrameOutputs& outputs);
    void ToHostFrames(const Y4mFrame& input) const;
    void SizeHostFrames() const;

    Y4mFormat format_;
    FilterSettings settings_;
    const int32_t* matrix_;
    std::string logDir_;
    std::vector<std::unique_ptr<FrameCoder>> coders_;  // one per band
    mutable bool planar_ = false;                      // 4:2:0 without logs: frames coded as planes
    const Y4mFrame* last_ = nullptr;                   // the last frame given to Process
    mutable std::vector<YcPixel> input_, output_;      // host frames; sized on first use when planar
    mutable bool hostFramesCurrent_ = false;
    enum class HostFrames { kOnRequest, kKept, kNone };
    mutable HostFrames hostFrames_ = HostFrames::kOnRequest;
    std::vector<int32_t> macroblockBits_;
    Y4mFrame reconstruction_;
    int64_t processed_ = 0;
    bool measureSsim_ = false;
    bool recordLevels_ = false;
    std::vector<LevelRecorder> recorders_;  // one per band
    std::vector<int32_t> bandTops_;         // first pixel row of each band
};

}  // namespace vardelk
