// The stream library's error: what a stream cannot carry, or what a stream
// being read does not hold, named with the value and where it came from
// (rows, columns and matrix entries counted from 1). Writer states that the
// caller's levels cannot produce are std::logic_error. media/error.h has the
// rule for all layers.
#pragma once

#include "media/error.h"

namespace vardelk {

class StreamError : public Error {
public:
    using Error::Error;
};

}  // namespace vardelk
