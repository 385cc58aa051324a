// vardelk --sweep: the rate-distortion sweep (sweep/) of the clip with the
// command line's matrices and settings, its table, plot and figures.
#pragma once

#include "options.h"

namespace vardelk {

// Returns the exit status; throws CliError, or a library's error, on failure.
int RunSweepCommand(const CliOptions& options);

}  // namespace vardelk
