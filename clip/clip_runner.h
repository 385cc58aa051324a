// Runs frames through the simulated codec and measures the result. 4:2:0
// frames are coded straight from and to their 8-bit planes; other layouts,
// and runs with coefficient logs, go through host-format frames converted
// from and back to 8 bits. Both give the same reconstruction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "clip/level_recorder.h"
#include "codec/cpu.h"
#include "codec/frame_coder.h"
#include "media/psnr.h"
#include "media/y4m.h"
#include "quality/butteraugli.h"
#include "quality/ssim.h"
#include "quality/ssimulacra2.h"
#include "stream/stream_writer.h"

namespace vardelk {

struct FrameResult {
    int64_t index = 0;
    int32_t bytes = 0;
    FrameError error;  // reconstruction against input, 8-bit planes
    bool hasSsim = false;
    FrameSsim ssim;  // the same pair, when the runner measures SSIM
    bool hasSsimulacra2 = false;
    double ssimulacra2 = 0.0;  // the frame's score (NaN under 8 pixels), when the runner measures it
    bool hasButteraugli = false;
    ButteraugliDistance butteraugli;  // both norms (NaN under 8 pixels), when the runner measures them
    bool hasStream = false;
    FrameAccounting stream;  // the frame in the MPEG-2 stream, when one is written
};

class ClipRunner {
public:
    // Buffers are sized here once; Process() allocates nothing. `logDir`
    // empty means the coefficient logs are off. With `bandThreads` above 1
    // each frame's macroblock rows are split into that many bands coded at
    // once (not with logs, which need the macroblocks in order). The coders
    // and conversions run the kernels of `cpuFlags`.
    ClipRunner(const Y4mFormat& format, const CodingSettings& settings, const int32_t* matrix,
               const std::string& logDir, int32_t bandThreads = 1, uint32_t cpuFlags = DetectedCpuFlags());

    // Also measure SSIM of every frame (it costs about as much as PSNR and
    // the colour conversion together, so only on request).
    void MeasureSsim(bool on) { measureSsim_ = on; }
    // Also score every frame by SSIMULACRA 2 on `threads` (it costs many
    // times the coding: only on request). Both sides are scored as 4:2:0:
    // the input as the planes the coder codes (CodedPlanes420, another
    // layout's chroma gathered as the coder gathers it) and the
    // reconstruction, both turned to RGB by FrameToRgb.
    void MeasureSsimulacra2(bool on, int32_t threads = 1) {
        measureSsimulacra2_ = on;
        ssimulacra2Threads_ = threads;
    }
    // Also measure every frame's Butteraugli distance on `threads`, the
    // same 4:2:0 planes turned to RGB as SSIMULACRA 2 scores.
    void MeasureButteraugli(bool on, int32_t threads = 1) {
        measureButteraugli_ = on;
        butteraugliThreads_ = threads;
    }
    // Measure PSNR of every frame (on unless turned off; a face that only
    // shows the reconstruction saves its time).
    void MeasureError(bool on) { measureError_ = on; }
    // Measure PSNR and SSIM of a 4:2:2 or 4:4:4 clip the way SSIMULACRA 2
    // and Butteraugli take it, the coded 4:2:0 planes against the
    // reconstruction in 4:2:0, instead of the clip's own planes against the
    // reconstruction in its layout (off unless asked). 4:2:0 clips, which
    // are their coded planes, and monochrome ones, measured by their luma,
    // give the same figures either way.
    void MeasureCodedPlanes(bool on) { measureCodedPlanes_ = on; }
    // Codes the frames from now on with other settings or another matrix
    // (which must outlive the runner's use of it).
    void SetCoding(const CodingSettings& settings, const int32_t* matrix) {
        settings_ = settings;
        matrix_ = matrix;
    }
    // Also keep each frame's quantised levels, for a stream written later.
    void RecordLevels(bool on) { recordLevels_ = on; }
    // Hands the last frame's levels to `to`, macroblocks in coding order.
    void ReplayLevels(CoefficientSink& to) const;

    ClipRunner(const ClipRunner&) = delete;  // holds pointers into itself
    ClipRunner& operator=(const ClipRunner&) = delete;

    // `prepared` and `preparedButteraugli`, when given, are the input's coded
    // 4:2:0 planes prepared for SSIMULACRA 2 and Butteraugli (a caller
    // scoring one frame many times prepares it once); the figures are the
    // same either way.
    FrameResult Process(const Y4mFrame& input, const Ssimulacra2Original* prepared = nullptr,
                        const ButteraugliOriginal* preparedButteraugli = nullptr);

    const Y4mFormat& Format() const { return format_; }
    const Y4mFrame& Reconstruction() const { return reconstruction_; }
    // 4:2:0 frames without logs are coded straight from and to 8-bit planes.
    // Call before the first frame to have every frame go through the host's
    // format instead (about a third more time), for ReconstructionYc().
    void KeepHostFrames();
    // The reconstructed frame in the host's format, rows `width` apart; null
    // when the frames go as planes.
    const Pixel* ReconstructionYc() const;
    // Estimated bits of each macroblock of the last frame, row-major.
    const std::vector<int32_t>& MacroblockBits() const { return macroblockBits_; }
    int32_t MacroblockColumnCount() const { return MacroblockColumns(format_.width); }

private:
    int32_t CodeFrame(const Y4mFrame& input);
    int32_t CodeBands(const Y4mFrame& input);
    // The frame coded as a band of whole macroblock rows of the picture,
    // the planar way or through the host frames.
    int32_t CodeBand(const Y4mFrame& input, FrameCoder& coder, int32_t top, int32_t height,
                     const FrameOutputs& outputs);
    void SizeHostFrames();
    // The 4:2:0 original and reconstruction the perceptual measures take;
    // the original only when `needOriginal`.
    void Frames420(const Y4mFrame& input, bool needOriginal, const Y4mFrame** original,
                   const Y4mFrame** reconstruction);

    Y4mFormat format_;
    Y4mFormat format420_;  // the 4:2:0 planes coded (CodedPlanesFormat), as the perceptual measures take them
    CodingSettings settings_;
    const int32_t* matrix_;
    std::string logDir_;
    uint32_t cpuFlags_;
    std::vector<std::unique_ptr<FrameCoder>> coders_;  // one per band
    bool planar_ = false;                              // 4:2:0 without logs: frames coded as planes
    std::vector<Pixel> input_, output_;                // host frames, sized only when used
    std::vector<int32_t> macroblockBits_;
    Y4mFrame reconstruction_;
    int64_t processed_ = 0;
    bool measureError_ = true;
    bool measureCodedPlanes_ = false;
    bool measureSsim_ = false;
    bool measureSsimulacra2_ = false;
    int32_t ssimulacra2Threads_ = 1;
    bool measureButteraugli_ = false;
    int32_t butteraugliThreads_ = 1;
    Y4mFrame original420_, reconstruction420_;  // 4:2:0 forms of other layouts, for the perceptual measures
    bool recordLevels_ = false;
    std::vector<LevelRecorder> recorders_;  // one per band
    std::vector<int32_t> bandTops_;         // first pixel row of each band
};

}  // namespace vardelk
