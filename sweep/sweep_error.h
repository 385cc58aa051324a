// The sweep's error: a clip or point it cannot code or measure, or an
// encoder that failed on a point (media/error.h has the rule for all layers).
#pragma once

#include "media/error.h"

namespace vardelk {

class SweepError : public Error {
public:
    using Error::Error;
};

}  // namespace vardelk
