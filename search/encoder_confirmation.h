// Confirmation by a real encoder: the search's points coded again by the
// installed encoder its coding model stands for, decoded, and measured
// with the same measures against the same planes, so that the figures the
// search predicts can be set beside the ones the encoder really gives.
//
// Today that encoder is ffmpeg's MPEG-2 video encoder for the ffmpeg model
// (with the model's AC table and DC precision), run at a fixed quantiser
// with one intra picture per stream and its default transform:
//   ffmpeg -nostdin -v error -i IN.y4m -c:v mpeg2video -g 1 -bf 0
//     -qscale:v CODE -intra_matrix W0,...,W63 -intra_vlc V -dc P
//     -f mpeg2video OUT.m2v
// and decoded with
//   ffmpeg -nostdin -v error -i OUT.m2v -f yuv4mpegpipe -pix_fmt yuv420p -
// (-intra_matrix left out for the default matrix, which the encoder has of
// its own). The bytes are the whole stream's, headers included.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "search/objective.h"

namespace vardelk {

// The encoder that can confirm a model here: its name, the program's
// path, and when there is none, why.
struct ConfirmingEncoder {
    std::string name;  // empty when the model cannot be confirmed here
    std::string program;
    std::string missing;  // why not, for the report
};

// ffmpeg for the ffmpeg rule when an executable `ffmpeg` is on the PATH.
ConfirmingEncoder FindConfirmingEncoder(const CodingModel& model);

// The argument lists of the two runs (program first).
std::vector<std::string> EncoderArguments(const std::string& program, const std::string& input,
                                          const std::string& output, const SearchMatrix& matrix, int32_t scaleCode,
                                          const CodingModel& model);
std::vector<std::string> DecoderArguments(const std::string& program, const std::string& stream);

// Codes a set of pictures with a real encoder in a scratch folder of its
// own, which goes with it. The pictures must outlive it.
class EncoderConfirmation {
public:
    // Writes every picture's planes as the encoder's input. Throws
    // std::runtime_error when the scratch folder or a file cannot be made.
    EncoderConfirmation(ConfirmingEncoder encoder, CodingModel model, const std::vector<CodedPicture>& pictures);
    ~EncoderConfirmation();
    EncoderConfirmation(const EncoderConfirmation&) = delete;
    EncoderConfirmation& operator=(const EncoderConfirmation&) = delete;

    // Every picture's curve for the matrix at the scale codes, pictures x
    // codes spread over the threads. `stop` (may be empty) is asked before
    // every run; once it answers true no run starts and the result is
    // empty (std::nullopt). A run that fails while a stop is asked for was
    // ended by the same request (Ctrl-C reaches the encoder too): that is
    // the stop, not a failure. Throws std::runtime_error, naming the
    // picture and the encoder's first message, when a run fails.
    std::optional<std::vector<RdCurveData>> Curves(const SearchMatrix& matrix, const std::vector<int32_t>& scaleCodes,
                                                   QualityMeasure measure, int32_t threads,
                                                   const std::function<bool()>& stop) const;

    // One point of picture `index`: the stream's bytes and the decoded
    // picture's measures. `run` names its scratch files; runs going on at
    // the same time need different numbers.
    PointResult Code(size_t index, const SearchMatrix& matrix, int32_t scaleCode, PointMeasures measures,
                     int64_t run) const;

    const ConfirmingEncoder& Encoder() const { return encoder_; }

private:
    std::string InputPath(size_t index) const;

    ConfirmingEncoder encoder_;
    CodingModel model_;
    const std::vector<CodedPicture>& pictures_;
    std::string scratch_;
};

}  // namespace vardelk
