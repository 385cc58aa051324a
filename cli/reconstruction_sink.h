// Where the reconstructed frames go, chosen by the output name:
//   "-" or *.y4m   YUV4MPEG2 in the input's layout (standard output for "-")
//   *.yc           raw host frames: per pixel three little-endian int16
//                  (Y, Cb, Cr), width x height pixels per frame, no header
//   *.png          one picture; for a clip of several frames the name must
//                  hold a frame-number field such as %d or %04d
#pragma once

#include <memory>
#include <string>

#include "clip_runner.h"

namespace vardelk {

class ReconstructionSink {
public:
    virtual ~ReconstructionSink() = default;
    // Takes the frame the runner has just processed.
    virtual void Write(const ClipRunner& runner, int64_t index) = 0;
    // Makes the output final; until then nothing appears under its name.
    virtual void Commit() = 0;
};

std::unique_ptr<ReconstructionSink> OpenReconstructionSink(const std::string& path, const Y4mFormat& format);

// Expands a %d or %0Nd field in a picture name; throws CliError when the
// name holds another % sequence or more than one field. Returns the name
// unchanged, with *hasField false, when it holds none.
std::string FramePath(const std::string& pattern, int64_t index, bool* hasField);

}  // namespace vardelk
