// Ctrl-C and termination requests: noted by a signal handler and acted on
// between frames, so that the normal error path removes unfinished outputs.
#pragma once

#include "cli_error.h"

namespace vardelk {

class InterruptedError : public CliError {
public:
    InterruptedError() : CliError("interrupted") {}
};

// Catches SIGINT and SIGTERM from now on.
void InstallInterruptHandler();

// Whether a signal has arrived.
bool Interrupted();

// Throws InterruptedError once a signal has arrived.
void ThrowIfInterrupted();

}  // namespace vardelk
