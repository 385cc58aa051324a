// The media library's error: a Y4M stream or picture it cannot read or
// write, named with its origin (media/error.h has the rule for all layers).
#pragma once

#include "media/error.h"

namespace vardelk {

class MediaError : public Error {
public:
    using Error::Error;
};

}  // namespace vardelk
