// A sweep's predictions checked against a real encoder: each point is coded
// by ffmpeg's MPEG-2 video encoder with the same matrix, scale code, mapping,
// scan, DCT mode, AC table and DC precision, decoded by ffmpeg again and
// measured here with our own PSNR and SSIM (and SSIMULACRA 2 when asked)
// against the very 4:2:0 planes our coder coded.
//
// The encoder is held to our coder's arithmetic (encoders/ffmpeg_mpeg2.h):
// every frame an I picture, a fixed quantiser_scale_code, the integer DCT
// and its plain quantiser, one thread. Every stream written is read back to
// make sure ffmpeg coded what was asked (CheckFfmpegStream); a difference
// stops the sweep with a message. Codes 29..31 of a non-linear curve, which
// ffmpeg cannot code, are left unmeasured.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <functional>

#include "clip/clip_runner.h"
#include "clip/user_matrix.h"
#include "encoders/child_process.h"
#include "encoders/ffmpeg_mpeg2.h"
#include "media/psnr.h"
#include "media/y4m.h"
#include "quality/ssim.h"
#include "sweep/perceptual_originals.h"

namespace vardelk {

// What ffmpeg made of one sweep point.
struct MeasuredPoint {
    bool measured = false;   // false: the encoder cannot code this point
    int64_t totalBytes = 0;  // the stream file, headers and all
    double meanBytes = 0.0;
    double bitRate = 0.0;
    FrameError error;                 // pooled over the clip
    FrameSsim ssim;                   // pooled over the clip
    double ssimulacra2 = 0;           // the mean of the frames' scores, when the confirmer scores them
    ButteraugliDistance butteraugli;  // the means of the frames' norms, when the confirmer measures them
};

// The 4:2:0 frames a confirmed sweep hands ffmpeg and measures against:
// the planes our coder codes of each frame (CodedPlanes420,
// media/coded_planes.h: 4:2:0 clips as they are, another layout's chroma
// gathered as the coder gathers it, mono with neutral chroma), in the
// format of CodedPlanesFormat.
std::vector<Y4mFrame> ConvertTo420(const Y4mFormat& format, const std::vector<Y4mFrame>& clip);

class FfmpegConfirmer {
public:
    // Finds ffmpeg on PATH; throws ValueError of the field "confirm"
    // ("ffmpeg: ffmpeg is not on PATH; ...") when it is missing.
    static std::string Locate();

    // Called when a run of ffmpeg fails, before the failure is reported:
    // throws when the failure is a stop the caller asked for (Ctrl-C reaches
    // ffmpeg too), so that it ends the sweep as a stop.
    using FailureCheck = std::function<void()>;

    // Writes the clip, the 4:2:0 planes coded of a clip in `format`
    // (ConvertTo420), into a private temporary folder; the clip must outlive
    // the object, which measures against it.
    FfmpegConfirmer(std::string ffmpeg, const Y4mFormat& format, const std::vector<Y4mFrame>& clip,
                    FailureCheck stopped = {});

    // Also measures every decoded frame by the measures of the clip's
    // `originals` (SSIMULACRA 2, Butteraugli; they must outlive the object),
    // in this process on ffmpeg's decoded pictures.
    void MeasurePerceptual(const PerceptualOriginals* originals) { perceptual_ = originals; }

    // Codes, checks, decodes and measures one point; `index` names its files,
    // so points may be measured at once on several threads. Throws SweepError
    // with the tail of ffmpeg's messages when ffmpeg fails.
    MeasuredPoint Measure(const NamedMatrix& matrix, const CodingSettings& settings, int64_t index) const;

private:
    Ffmpeg ffmpeg_;
    Y4mFormat format_;  // the clip's 4:2:0 form
    bool monochrome_;   // the clip was monochrome: measured by its luma
    const std::vector<Y4mFrame>& clip_;
    TemporaryFolder folder_;
    std::string source_;
    FailureCheck stopped_;
    const PerceptualOriginals* perceptual_ = nullptr;
};

}  // namespace vardelk
