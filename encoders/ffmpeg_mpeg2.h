// ffmpeg's MPEG-2 video encoder at one point (matrix, scale code, mapping,
// scan, DCT mode, AC table, DC precision), and its decoder to read back what
// it coded. Every frame is an I picture, the quantiser_scale_code is fixed
// (-qscale:v, with -qmin 1 so that code 1 is not raised to ffmpeg's
// default minimum of 2):
//   ffmpeg -nostdin -v error [-threads 1] -i SOURCE.y4m -c:v mpeg2video
//     [-threads 1] -g 1 -bf 0 -qmin 1 -qmax MAX -qscale:v CODE
//     [-intra_matrix W0,...,W63] -intra_vlc V -dc P [-dct int]
//     [-non_linear_quant 1] [-alternate_scan 1] [-flags +ildct]
//     -f mpeg2video -y STREAM.m2v
//   ffmpeg -nostdin -v error [-threads 1] -i STREAM.m2v -f yuv4mpegpipe
//     -pix_fmt yuv420p -y DECODED.y4m
// The bracketed parts follow FfmpegOptions and the settings.
//
// ffmpeg's non-linear quantiser stops at code 28 (it refuses a larger
// qmax), so codes 29..31 of the non-linear mapping cannot be coded.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/types.h"
#include "encoders/child_process.h"
#include "encoders/encoder_error.h"
#include "media/y4m.h"

namespace vardelk {

using FfmpegMatrix = std::array<int32_t, kMatrixEntries>;

// The highest code ffmpeg's non-linear quantiser takes.
constexpr int32_t kFfmpegMaxNonLinearCode = 28;

// Whether ffmpeg can code the point at all (see above).
bool FfmpegCodes(const CodingSettings& settings);

// How closely ffmpeg is held to our coder beyond the point itself. The
// defaults hold it to our arithmetic; the opposite of each is ffmpeg as it
// codes when a person runs it.
struct FfmpegOptions {
    // -dct int: the integer DCT and its plain quantiser; else the transform
    // and quantiser ffmpeg picks itself (on x86 its 16-bit ones), which the
    // ffmpeg coding model follows.
    bool integerDct = false;
    bool oneThread = true;          // -threads 1 for reading and coding; else ffmpeg's choice
    bool loadDefaultMatrix = true;  // else the default matrix is left to ffmpeg, whose own it is: none is loaded
};

// The argument lists of the two runs, the program first. The DC weight is
// given within 1..255 (ffmpeg divides by it and writes it in 8 bits; intra
// DC does not use it).
std::vector<std::string> FfmpegEncodeArguments(const std::string& program, const std::string& source,
                                               const std::string& stream, const CodingSettings& settings,
                                               const FfmpegMatrix& matrix, const FfmpegOptions& options);
std::vector<std::string> FfmpegDecodeArguments(const std::string& program, const std::string& stream,
                                               const std::string& decoded, const FfmpegOptions& options);

// Checks a stream ffmpeg wrote against what was asked: the scale code of
// every slice, the picture coding extension's DC precision, q_scale_type,
// intra_vlc_format and alternate_scan, one picture per frame, and the AC
// entries of the matrix. Throws EncoderError naming the first difference.
void CheckFfmpegStream(const std::vector<uint8_t>& stream, const CodingSettings& settings, const FfmpegMatrix& matrix,
                       int32_t height, int64_t frames);

// Writes frames as a Y4M file for an encoder to read. Throws EncoderError
// when it cannot be written.
void WriteY4mFile(const std::string& path, const Y4mFormat& format, const std::vector<Y4mFrame>& frames);

// A run of ffmpeg that failed, or ended well without writing its output.
class FfmpegFailure : public EncoderError {
public:
    FfmpegFailure(const std::string& program, bool codingStep, ChildResult ending, std::string first, std::string last);

    bool coding;  // false: decoding
    ChildResult result;
    std::string firstMessage;  // the first line ffmpeg wrote to standard error
    std::string lastMessages;  // its last lines (FileTail)

    // "exit status 1", "killed by signal 2", or "no output".
    std::string Ending() const;
};

// ffmpeg at one path, held to the options.
struct Ffmpeg {
    std::string program;
    FfmpegOptions options;
};

// One point coded by ffmpeg and decoded again. Its files are named after
// `stem` (STEM.m2v, STEM.y4m, and STEM.log for ffmpeg's messages) and go
// with the object, also when the run fails; runs going on at the same time
// need different stems.
class FfmpegRun {
public:
    using StreamCheck = std::function<void(const std::vector<uint8_t>& stream)>;

    // Codes the Y4M file `source`, hands the stream to `check` (may be
    // empty; it throws to refuse the stream) and decodes it. Throws
    // FfmpegFailure when ffmpeg fails, EncoderError when it cannot start.
    FfmpegRun(const Ffmpeg& ffmpeg, const std::string& source, const CodingSettings& settings,
              const FfmpegMatrix& matrix, const std::string& stem, const StreamCheck& check = {});
    FfmpegRun(const FfmpegRun&) = delete;
    FfmpegRun& operator=(const FfmpegRun&) = delete;

    const std::vector<uint8_t>& Stream() const { return stream_; }

    // Hands the decoded frames to `use` in order and returns how many there
    // were. Throws EncoderError, naming `what` (the point), when the file
    // cannot be read or its pictures are not width x height.
    size_t ReadDecoded(int32_t width, int32_t height, const std::string& what,
                       const std::function<void(const Y4mFrame& frame)>& use) const;

private:
    struct Files {
        std::string stream, decoded, log;
        ~Files();
    };
    // Runs one step (the program first in `arguments`) that should write `output`.
    void Run(const std::vector<std::string>& arguments, const std::string& output, bool coding) const;

    Files files_;  // first, so that the files go also when the constructor throws
    std::vector<uint8_t> stream_;
};

}  // namespace vardelk
