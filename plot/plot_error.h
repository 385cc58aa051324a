// What the plots report: nothing to plot, or a file name of a form they are
// not written in (media/error.h has the rule for all layers).
#pragma once

#include "media/error.h"

namespace vardelk {

class PlotError : public Error {
public:
    using Error::Error;
};

}  // namespace vardelk
