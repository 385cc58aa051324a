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
    // The band of rates the search's figures were taken in: "low (0.35-0.7
    // bpp)", "0.4-0.8 bpp", or "" for the whole range of the codes.
    std::string band;
    std::vector<int32_t> searchCodes;  // the candidates' (SearchCodesFor); the figures are at `codes`
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
    // The answer's figures by every measure, predicted (validation: may be null).
    const std::vector<MeasureFigures>* trainingByMeasure = nullptr;
    const std::vector<MeasureFigures>* validationByMeasure = nullptr;
};

std::string SearchReportJson(const SearchRunReport& run);

// A figure as JSON: the number, or null when it is not finite.
std::string NumberJson(double value);
// A curve as JSON: [[scale code, bytes, quality], ...].
std::string CurveJson(const RdCurveData& curve);

// The predicted figures by every measure of a set ("training" or
// "validation"), null when there are none.
const std::vector<MeasureFigures>* PredictedByMeasure(const SearchRunReport& run, const std::string& set);

}  // namespace vardelk
