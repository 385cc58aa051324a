// The search's figures for people: how it ended, its answer, each set's
// figures by picture and by every measure, and the real encoder's verdict.
#pragma once

#include <cstdio>
#include <string>

#include "search/search_report.h"

namespace vardelk {

// `folder` is where the outputs went; `colour` marks a failed confirmation
// in red (for a terminal).
void PrintSearchSummary(std::FILE* out, const SearchRunReport& run, const std::string& folder, bool colour);

}  // namespace vardelk
