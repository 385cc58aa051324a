// One run over a clip with one set of settings.
#pragma once

#include "options.h"

namespace vardelk {

// Returns the exit status; throws CliError or MediaError on failure.
int RunClipCommand(const CliOptions& options);

}  // namespace vardelk
