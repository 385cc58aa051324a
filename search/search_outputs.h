// What a search leaves behind: the found matrix in every file form,
// report.json, and the plots of the pooled curves.
#pragma once

#include <string>

#include "search/search_report.h"

namespace vardelk {

// Writes matrix.*.txt, report.json, rd.svg/.png and, after a confirmation,
// confirmation.svg/.png into the folder `out`, made when missing.
void WriteSearchOutputs(const SearchRunReport& run, const std::string& out);

// Makes the folder when missing and checks that files can be written in it,
// before any work: throws SearchError or MediaError saying why not.
void PrepareSearchOutputFolder(const std::string& out);

// The folder as the outputs are written into it: `out` without trailing slashes.
std::string SearchOutputFolder(const std::string& out);

}  // namespace vardelk
