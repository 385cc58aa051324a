// What vardelk search leaves behind: the found matrix in every file form,
// report.json, the plots of the pooled curves, and the summary it prints.
#pragma once

#include <string>

#include "search/search_report.h"

namespace vardelk {

// Writes matrix.*.txt, report.json, rd.svg/.png and, after a confirmation,
// confirmation.svg/.png into the folder `out`, made when missing.
void WriteSearchOutputs(const SearchRunReport& run, const std::string& out);

// The run's figures for people, on standard output.
void PrintSearchSummary(const SearchRunReport& run, const std::string& out);

}  // namespace vardelk
