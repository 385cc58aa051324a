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

// Whether a signal has arrived or is on its way, for a program we ran that
// failed: Ctrl-C reaches the whole process group, and the child may end of
// it before our handler has run. Waits up to half a second for the signal,
// so only call it on a failure.
bool InterruptedOrArriving();

// Throws InterruptedError once a signal has arrived.
void ThrowIfInterrupted();

}  // namespace vardelk
