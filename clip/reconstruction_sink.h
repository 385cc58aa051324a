// Where frames go (the reconstruction, or a copy of the input), chosen by
// the output name:
//   "-" or *.y4m   YUV4MPEG2 in the input's layout (standard output for "-");
//                  also any existing device or pipe, such as /dev/null
//   *.yc           raw host frames: per pixel three little-endian int16
//                  (Y, Cb, Cr), width x height pixels per frame, no header
//   *.png          one picture; for a clip of several frames the name must
//                  hold a frame-number field such as %d or %04d
#pragma once

#include <memory>
#include <string>

#include "codec/types.h"
#include "media/y4m.h"

namespace vardelk {

class ReconstructionSink {
public:
    virtual ~ReconstructionSink() = default;
    // Takes a frame as 8-bit planes and, where there is one, in the host's
    // format (rows `width` apart); only the .yc form needs the latter.
    virtual void Write(const Y4mFrame& frame, const Pixel* yc, int64_t index) = 0;
    // Makes the output final; until then nothing appears under its name.
    virtual void Commit() = 0;
};

// The sink a name asks for: .png (one picture, or one a frame by a %d
// field), .yc, .y4m, "-" or a device or pipe (Y4M). Names it cannot take,
// and a single picture given a second frame, are refused with a ValueError
// naming the path; `otherKinds`, the kinds the caller itself writes under
// such a name (".m2v (the MPEG-2 stream)"), join the kinds the message lists.
std::unique_ptr<ReconstructionSink> OpenReconstructionSink(const std::string& path, const Y4mFormat& format,
                                                           const std::string& otherKinds = "");

// Expands a %d or %0Nd field in a picture name; throws ValueError when the
// name holds another % sequence or more than one field. Returns the name
// unchanged, with *hasField false, when it holds none.
std::string FramePath(const std::string& pattern, int64_t index, bool* hasField);

}  // namespace vardelk
