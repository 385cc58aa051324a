// A sweep's predictions checked against a real encoder: each point is coded
// by ffmpeg's MPEG-2 video encoder with the same matrix, scale code, mapping,
// scan, DCT mode, AC table and DC precision, decoded by ffmpeg again and
// measured here with our own PSNR and SSIM against the very 4:2:0 planes our
// coder coded.
//
// The encoder's settings are pinned: every frame an I picture, a fixed
// quantiser_scale_code (-qscale:v with -qmin 1 so that code 1 is allowed),
// the integer DCT and its plain quantiser (-dct int), one thread. Every
// stream written is read back to make sure ffmpeg coded what was asked: the
// scale code of every slice, the picture coding extension's DC precision,
// q_scale_type, intra_vlc_format and alternate_scan, and the AC entries of
// the matrix; a difference stops the sweep with a message.
//
// ffmpeg's non-linear quantiser stops at code 28 (it refuses a larger
// qmax), so codes 29..31 of a non-linear curve are left unmeasured.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "child_process.h"
#include "codec/types.h"
#include "matrix_source.h"
#include "media/psnr.h"
#include "media/y4m.h"
#include "quality/ssim.h"

namespace vardelk {

// The highest code ffmpeg's non-linear quantiser takes.
constexpr int32_t kFfmpegMaxNonLinearCode = 28;

// What ffmpeg made of one sweep point.
struct MeasuredPoint {
    bool measured = false;   // false: the encoder cannot code this point
    int64_t totalBytes = 0;  // the stream file, headers and all
    double meanBytes = 0.0;
    double bitRate = 0.0;
    FrameError error;  // pooled over the clip
    FrameSsim ssim;    // pooled over the clip
};

// The 4:2:0 frames a confirmed sweep codes: 4:2:0 clips as they are, any
// other layout through our own conversion (chroma averaged; mono gains
// neutral chroma).
Y4mFormat Format420(const Y4mFormat& format);
std::vector<Y4mFrame> ConvertTo420(const Y4mFormat& format, const std::vector<Y4mFrame>& clip);

// ffmpeg's arguments after the program's name for coding `source` into
// `stream` at one point.
std::vector<std::string> FfmpegEncodeArguments(const std::string& source, const std::string& stream,
                                               const CodingSettings& settings,
                                               const std::array<int32_t, kMatrixEntries>& matrix);

// Whether ffmpeg can code the point at all (see above).
bool FfmpegCodes(const CodingSettings& settings);

// Checks a stream ffmpeg wrote against what was asked; throws CliError
// naming the first difference.
void CheckFfmpegStream(const std::vector<uint8_t>& stream, const CodingSettings& settings,
                       const std::array<int32_t, kMatrixEntries>& matrix, int32_t height, int64_t frames);

class FfmpegConfirmer {
public:
    // Finds ffmpeg on PATH; throws CliError saying so when it is missing.
    static std::string Locate();

    // Writes the clip (4:2:0) into a private temporary folder; the clip must
    // outlive the object, which measures against it.
    FfmpegConfirmer(std::string ffmpeg, const Y4mFormat& format, const std::vector<Y4mFrame>& clip);

    // Codes, checks, decodes and measures one point; `index` names its files,
    // so points may be measured at once on several threads. Throws CliError
    // with the tail of ffmpeg's messages when ffmpeg fails.
    MeasuredPoint Measure(const NamedMatrix& matrix, const CodingSettings& settings, int64_t index) const;

private:
    void Run(const std::vector<std::string>& arguments, const std::string& output, const std::string& errors,
             const std::string& what) const;

    std::string ffmpeg_;
    Y4mFormat format_;
    const std::vector<Y4mFrame>& clip_;
    TemporaryFolder folder_;
    std::string source_;
};

}  // namespace vardelk
