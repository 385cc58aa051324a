// Where the frames come from: a Y4M file or standard input, a PNG or JPEG still, or
// the built-in scene.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "media/y4m.h"

namespace vardelk {

class ClipSource {
public:
    virtual ~ClipSource() = default;
    virtual const Y4mFormat& Format() const = 0;
    // Fills the next frame; false at the end of the clip.
    virtual bool ReadFrame(Y4mFrame& frame) = 0;
    // Frames expected in total, or -1 when unknown (a pipe).
    virtual int64_t ExpectedFrames() const = 0;
};

// Opens `name`: "-" is Y4M on standard input; "builtin:demo" or
// "builtin:demo:WxH" the built-in scene (`demoFrames` frames); a PNG or JPEG
// still, told by its first bytes; a pipe, device or .y4m name a Y4M clip;
// anything else is refused naming the forms read. A built-in scene's name
// it cannot read is a ValueError of the field "input"; otherwise it throws ClipError,
// PictureError or MediaError with the name in the message.
std::unique_ptr<ClipSource> OpenClipSource(const std::string& name, int32_t demoFrames);

}  // namespace vardelk
