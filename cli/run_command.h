// The simulator's own work on a clip with the command line's settings: one
// run, or the rate-distortion sweep (sweep/) with its table, plot and
// figures.
#pragma once

#include "options.h"

namespace vardelk {

// Each returns the exit status; throws CliError, or a library's error, on
// failure.
int RunClipCommand(const CliOptions& options);
int RunSweepCommand(const CliOptions& options);

}  // namespace vardelk
