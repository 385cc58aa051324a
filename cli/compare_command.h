// vardelk compare: which matrix for a set of pictures, per band of rates.
#pragma once

namespace vardelk {

// argv[0] is "compare".
int RunCompareCommand(int argc, char** argv);

}  // namespace vardelk
