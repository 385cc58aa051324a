// The search's report, report.json: the settings, the found matrix, the
// objective and its history, each set's figures and the real encoder's
// confirmation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "search/matrix_search.h"
#include "search/verdict.h"

namespace vardelk {

// What one search run reports; the pointed-to figures must outlive it.
struct SearchRunReport {
    std::string measure;  // as named on the command line
    std::string encoder;  // the preset, as named on the command line
    CodingModel model;
    std::vector<int32_t> codes;
    uint64_t seed = 1;
    int32_t threads = 1;
    double spread = 0.0;
    double minOverlap = 0.0;
    const SearchResult* result = nullptr;
    const SearchAnswer* answer = nullptr;    // the matrix the run gives: result's best or a preset
    const SetFigures* training = nullptr;    // of the answer
    const SetFigures* validation = nullptr;  // or, when it is missing, why:
    std::string validationNote;
    const Confirmation* confirmation = nullptr;  // or, when it is missing, why:
    std::string confirmationNote;
};

std::string SearchReportJson(const SearchRunReport& run);

}  // namespace vardelk
