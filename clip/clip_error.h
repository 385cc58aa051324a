// The clip library's error: an input it cannot take as frames, an output it
// cannot write them to, or two inputs that cannot be measured against each
// other, named with the file and the value (media/error.h has the rule for
// all layers).
#pragma once

#include "media/error.h"

namespace vardelk {

class ClipError : public Error {
public:
    using Error::Error;
};

}  // namespace vardelk
