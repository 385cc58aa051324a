// The search's error: a set of pictures it cannot read (media/error.h has
// the rule for all layers).
#pragma once

#include "media/error.h"

namespace vardelk {

class SearchError : public Error {
public:
    using Error::Error;
};

}  // namespace vardelk
