// vardelk search: finds the intra matrix that saves the most rate against
// the default matrix on a set of pictures, for a chosen quality measure,
// and checks it on other pictures.
#pragma once

#include "search_options.h"

namespace vardelk {

// Parses its own options (argv[0] is "search" or the program) and runs;
// returns the exit status: 0 when done, 130 when stopped by Ctrl-C (the
// outputs then hold the best matrix so far), 1 on failure, 2 for a wrong
// command line.
int RunSearchCommand(int argc, char** argv);

}  // namespace vardelk
