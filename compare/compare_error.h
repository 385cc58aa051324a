// The comparison's error: a set of candidates or bands it cannot take
// (media/error.h has the rule for all layers).
#pragma once

#include "media/error.h"

namespace vardelk {

class CompareError : public Error {
public:
    using Error::Error;
};

}  // namespace vardelk
