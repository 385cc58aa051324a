// The search's progress as one line for a terminal: the phase, the answer
// so far and its objective as the summary counts it, and the pace.
#pragma once

#include <string>

#include "search/matrix_search.h"

namespace vardelk {

// "search shape: objective -4.120% (found) after 180 matrices (3.05/s), 2:10 left"
std::string SearchProgressLine(const SearchProgress& progress);

}  // namespace vardelk
