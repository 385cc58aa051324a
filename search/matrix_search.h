// The search for the matrix a set of pictures deserves, on an Objective.
//
// Method, in three phases, each accepting a candidate only when it lowers
// the objective (so the best so far only ever improves):
//  1. families: flat 16, powers of the default and straight slopes; the
//     best of these and the default becomes the base;
//  2. shape: coordinate descent over the few smooth parameters of
//     ShapedMatrix (tilt, five knots over u + v, orientation, diagonal),
//     steps halving whenever a round over all of them gains nothing;
//  3. entries: coordinate descent over the entries themselves, symmetric
//     pairs (u, v) and (v, u) moved together, by relative steps that halve
//     the same way, then single entries.
// By SSIMULACRA 2 the families include the capped powers of the default
// (PerceptualFamilies) and the search ends with a descent over that
// family's parameters (power, cap, the three lowest frequencies' factors,
// orientation, diagonal) instead of phases 2 and 3.
// A move that helps is repeated with doubling steps until it stops helping.
// The coordinates of a round are visited in an order drawn from the seed,
// so a seed fixes the whole sequence of candidates; threads only share out
// the pictures and scale codes of one candidate. The search ends when the
// steps have shrunk to nothing, the time budget or the evaluation limit is
// spent, or a stop is requested; the best matrix so far is the result.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "search/matrix_family.h"
#include "search/objective.h"

namespace vardelk {

struct SearchSettings {
    double budgetSeconds = 600.0;  // <= 0: no time limit
    int64_t maxEvaluations = 0;    // matrices coded, the anchor excluded; 0: no limit
    uint64_t seed = 1;
    bool entryPhase = true;  // phase 3
    // Time already spent on the budget before the search starts (loading
    // the pictures), and evaluations' worth of time kept back for the work
    // after it (the final figures), so that the whole run fits the budget.
    double secondsBefore = 0.0;
    double reservedEvaluations = 0.0;
};

// The scale codes a search by `measure` codes its candidates at: all of
// `codes` (sorted), except for SSIMULACRA 2, whose score costs several times
// a point's coding: then at most six, the first and the last among them and
// the others spread evenly in log scale code between, where the curves bend.
// The answer is chosen, and every figure given, at all of `codes`.
std::vector<int32_t> SearchCodesFor(QualityMeasure measure, const std::vector<int32_t>& codes);

// Why a search ended.
enum class SearchStop { kConverged, kBudget, kEvaluations, kStopped };
// "converged", "budget", "evaluations" or "stopped", as reports write it.
const char* SearchStopName(SearchStop stop);
// The same in words, as the summary gives it: "the time budget was spent".
const char* SearchStopWords(SearchStop stop);

// One accepted improvement.
struct SearchEvent {
    int64_t evaluation = 0;
    double seconds = 0.0;
    double objective = 0.0;
    std::string move;  // what was changed, e.g. "family default^1.50", "shape knot3 +0.080"
};

struct SearchProgress {
    std::string phase;
    // The answer so far (SearchAnswer) and its objective: by the counting
    // objective when the search was given one, else the search's own.
    double best = 0.0;
    std::string leader;  // "found", "default" or "flat16"
    int64_t evaluations = 0;
    double seconds = 0.0;
    double evaluationsPerSecond = 0.0;
    double secondsLeft = -1.0;  // -1 without a time budget
};

struct SearchResult {
    SearchMatrix best;
    MatrixScore score;
    std::vector<SearchEvent> history;
    std::vector<std::pair<std::string, double>> families;         // every starting point's objective
    std::vector<std::pair<std::string, SearchMatrix>> phaseBest;  // the best when each phase ended
    int64_t evaluations = 0;
    // Of those, candidates by two opinions that the first one's figures
    // alone showed could not beat the best (never measured by the second).
    int64_t settledByFirstOpinion = 0;
    double seconds = 0.0;
    SearchStop stop = SearchStop::kConverged;
};

using StopRequest = std::function<bool()>;
using ProgressReport = std::function<void(const SearchProgress&)>;

// Runs the search; `stop` is asked before every candidate, `progress` told
// after every one (either may be empty). `counting` (may be null), an
// objective on the same pictures that counts every stream's real bytes,
// is what the progress reports by, as the answer is chosen.
SearchResult RunMatrixSearch(const Objective& objective, const SearchSettings& settings, const StopRequest& stop,
                             const ProgressReport& progress, const Objective* counting = nullptr);

// What the search answers once every stream's real bytes are counted
// (`counting`, on the same pictures; `codedBy` the objective the search
// ran on; the best matrix is coded again when their scale codes differ):
// its best matrix when that scores lower than the default and flat 16 and,
// where a named matrix (NamedMatrices) beats those two, lower than the best
// named one and no worse by any opinion; otherwise that named matrix, else
// the better of flat 16 and the default (the default on a tie). A search
// never answers worse than a preset or a named matrix.
struct NamedObjective {
    std::string name;
    double objective = 0.0;
    std::vector<double> opinions;  // MatrixScore::opinionObjectives
};
struct SearchAnswer {
    SearchMatrix matrix;
    std::string preset;  // empty for the found matrix, else "default", "flat16" or a named matrix's name
    MatrixScore score;   // of `matrix`, by `counting`
    double foundObjective = 0.0, defaultObjective = 0.0, flatObjective = 0.0;
    std::vector<NamedObjective> named;  // every named matrix's, in table order
};
// "found", or the preset or named matrix the search answers with.
std::string AnswerName(const SearchAnswer& answer);
SearchAnswer ChooseAnswer(const Objective& counting, const Objective& codedBy, const SearchMatrix& best,
                          const MatrixScore& bestScore);
// The same with the named matrices' scores by `counting` already counted
// (ScoreNamedMatrices, in NamedMatrices' order).
SearchAnswer ChooseAnswer(const Objective& counting, const Objective& codedBy, const SearchMatrix& best,
                          const MatrixScore& bestScore, const std::vector<MatrixScore>& namedScores);
std::vector<MatrixScore> ScoreNamedMatrices(const Objective& counting);

}  // namespace vardelk
