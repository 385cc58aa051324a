// Confirmation by a real encoder: the search's points coded again by the
// installed encoder its coding model stands for, decoded, and measured
// with the same measures against the same planes, so that the figures the
// search predicts can be set beside the ones the encoder really gives.
//
// Today that encoder is ffmpeg's MPEG-2 video encoder for the ffmpeg model
// (with the model's AC table and DC precision; the linear mapping, zigzag
// scan and frame DCT the search codes with), run at a fixed quantiser with
// one intra picture per stream, as a person runs it: its default transform
// and threads (encoders/ffmpeg_mpeg2.h has the command):
//   ffmpeg -nostdin -v error -i IN.y4m -c:v mpeg2video -g 1 -bf 0
//     -qmin 1 -qmax 31 -qscale:v CODE -intra_matrix W0,...,W63
//     -intra_vlc V -dc P -f mpeg2video -y OUT.m2v
// (-intra_matrix left out for the default matrix, which the encoder has of
// its own). The bytes are the whole stream's, headers included.
//
// Where the JPEG XL tools' butteraugli_main is installed, the decoded
// pictures can be measured by its Butteraugli 3-norm too, a second
// perceptual opinion the search itself does not predict.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "encoders/child_process.h"
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

// The argument list of the encoder's run (program first).
std::vector<std::string> EncoderArguments(const std::string& program, const std::string& input,
                                          const std::string& output, const SearchMatrix& matrix, int32_t scaleCode,
                                          const CodingModel& model);

// Codes a set of pictures with a real encoder in a scratch folder of its
// own, which goes with it. The pictures must outlive it.
class EncoderConfirmation {
public:
    // Writes every picture's planes as the encoder's input (and, given
    // `butteraugli`, the program's path, each original as RGB for it).
    // Throws EncoderError when the scratch folder or a file cannot be made.
    EncoderConfirmation(ConfirmingEncoder encoder, CodingModel model, const std::vector<CodedPicture>& pictures,
                        std::string butteraugli = "");
    EncoderConfirmation(const EncoderConfirmation&) = delete;
    EncoderConfirmation& operator=(const EncoderConfirmation&) = delete;

    // Every picture's curve for the matrix at the scale codes, pictures x
    // codes spread over the threads. `stop` (may be empty) is asked before
    // every run; once it answers true no run starts and the result is
    // empty (std::nullopt). A run that fails while a stop is asked for was
    // ended by the same request (Ctrl-C reaches the encoder too): that is
    // the stop, not a failure. Throws EncoderError, naming the picture and
    // the encoder's first message, when a run fails.
    std::optional<std::vector<RdCurveData>> Curves(const SearchMatrix& matrix, const std::vector<int32_t>& scaleCodes,
                                                   QualityMeasure measure, int32_t threads,
                                                   const std::function<bool()>& stop) const;
    // The same runs measured by several measures, one set of curves each.
    std::optional<std::vector<std::vector<RdCurveData>>> CurvesByMeasure(const SearchMatrix& matrix,
                                                                         const std::vector<int32_t>& scaleCodes,
                                                                         const std::vector<QualityMeasure>& measures,
                                                                         int32_t threads,
                                                                         const std::function<bool()>& stop) const;

    // One point of picture `index`: the stream's bytes and the decoded
    // picture's measures. `run` names its scratch files; runs going on at
    // the same time need different numbers.
    PointResult Code(size_t index, const SearchMatrix& matrix, int32_t scaleCode, PointMeasures measures,
                     int64_t run) const;

    const ConfirmingEncoder& Encoder() const { return encoder_; }
    bool MeasuresButteraugli() const { return !butteraugli_.empty(); }

private:
    std::string InputPath(size_t index) const;
    std::string OriginalRgbPath(size_t index) const;

    ConfirmingEncoder encoder_;
    CodingModel model_;
    const std::vector<CodedPicture>& pictures_;
    std::string butteraugli_;
    TemporaryFolder scratch_;
};

}  // namespace vardelk
