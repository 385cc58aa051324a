#include "search/matrix_search.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <utility>

namespace vardelk {
namespace {

using Clock = std::chrono::steady_clock;

class Searcher {
public:
    Searcher(const Objective& objective, const SearchSettings& settings, const StopRequest& stop,
             const ProgressReport& progress, const Objective* counting)
        : objective_(objective),
          settings_(settings),
          stop_(stop),
          progress_(progress),
          counting_(counting != nullptr ? *counting : objective),
          rng_(settings.seed),
          start_(Clock::now()) {
        result_.best = DefaultSearchMatrix();
        result_.score = objective.ScoreCurves(objective.AnchorCurves());
        seen_[result_.best] = result_.score.objective;
    }

    // Scores a candidate (each distinct matrix once) and keeps it when it
    // improves on the best; true when it did. A candidate that finds a limit
    // reached is not scored: from then on Stopped() holds, nothing more is
    // scored, and every phase returns at once.
    // Only a candidate of the starting families is always scored whole
    // (`whole`): the others need only show whether they beat the best, and
    // by two opinions the first's figures often show they cannot
    // (Objective::ScoreAgainst). The candidates and choices are the same
    // either way; `seen_` then keeps the lower bound, enough to skip the
    // matrix if it comes again.
    bool Try(const SearchMatrix& matrix, const std::string& move, bool whole = false) {
        if (Stopped() || seen_.count(matrix) != 0) return false;
        stopped_ = LimitReached();
        if (Stopped()) return false;
        MatrixScore score = whole ? objective_.Score(matrix) : objective_.ScoreAgainst(matrix, result_.score.objective);
        ++result_.evaluations;
        if (!score.complete) ++result_.settledByFirstOpinion;
        seen_[matrix] = score.objective;
        const bool better = score.objective < result_.score.objective;
        if (better) {
            result_.best = matrix;
            result_.score = std::move(score);
            result_.history.push_back(SearchEvent{result_.evaluations, Seconds(), result_.score.objective, move});
        }
        Report();
        return better;
    }

    bool Stopped() const { return stopped_.has_value(); }

    void Families(bool perceptual) {
        phase_ = "families";
        std::vector<FamilyMatrix> families = StartingFamilies();
        if (perceptual) {
            for (FamilyMatrix& family : PerceptualFamilies()) families.push_back(std::move(family));
        }
        for (FamilyMatrix& named : NamedMatrices()) {
            named.name = "named " + named.name;
            families.push_back(std::move(named));
        }
        for (const FamilyMatrix& family : families) {
            Try(family.matrix, "family " + family.name, true);
            if (Stopped()) return;
            result_.families.emplace_back(family.name, seen_[family.matrix]);
        }
        EndPhase();
    }

    // Coordinate descent over the perceptual family's parameters, from its
    // best starting point.
    void PerceptualShapes() {
        phase_ = "perceptual shape";
        PerceptualParameters x = BestPerceptualStart();
        // power, log cap, log factors of (0,1), (1,0), (1,1), orientation, diagonal
        static const char* const kNames[kPerceptualParameters] = {
            "power", "cap", "horizontal", "vertical", "low diagonal", "orientation", "diagonal"};
        static const double kFirstSteps[kPerceptualParameters] = {0.1, 0.2, 0.08, 0.08, 0.08, 0.08, 0.08};
        for (double scale = 1.0; scale >= 0.125; scale /= 2) {
            bool improved = true;
            while (improved) {
                improved = false;
                for (int index : ShuffledOrder(kPerceptualParameters)) {
                    improved |= Descend(x, index, kFirstSteps[index] * scale, PerceptualFrom,
                                        std::string("perceptual ") + kNames[index]);
                    if (Stopped()) return;
                }
            }
        }
        EndPhase();
    }

    // Coordinate descent over the shape parameters of the best so far.
    void Shape() {
        phase_ = "shape";
        const SearchMatrix base = result_.best;
        ShapeParameters shape{};
        for (double step = 0.16; step >= 0.01; step /= 2) {
            bool improved = true;
            while (improved) {
                improved = false;
                for (int index : ShuffledOrder(kShapeParameters)) {
                    improved |= Descend(
                        shape, index, index == 0 ? step / 2 : step,
                        [&](const ShapeParameters& trial) { return ShapedMatrix(base, trial); },
                        "shape " + ShapeParameterName(index));
                    if (Stopped()) return;
                }
            }
        }
        EndPhase();
    }

    // Coordinate descent over the entries, symmetric pairs first.
    void Entries() {
        phase_ = "entries";
        std::vector<std::vector<int>> pairs, singles;
        for (int u = 0; u < 8; ++u) {
            for (int v = u; v < 8; ++v) {
                if (u + v == 0) continue;
                pairs.push_back(u == v ? std::vector<int>{u * 8 + v} : std::vector<int>{u * 8 + v, v * 8 + u});
            }
        }
        for (int i = 1; i < kMatrixEntries; ++i) singles.push_back({i});
        DescendEntries(pairs, 0.16);
        if (Stopped()) return;
        DescendEntries(singles, 0.04);
        if (Stopped()) return;
        EndPhase();
    }

    SearchResult Finish() {
        result_.seconds = Seconds();
        result_.stop = stopped_.value_or(SearchStop::kConverged);
        if (Stopped()) result_.phaseBest.emplace_back(phase_ + " (unfinished)", result_.best);
        return std::move(result_);
    }

private:
    static constexpr int kPerceptualParameters = 7;
    using PerceptualParameters = std::array<double, kPerceptualParameters>;

    static SearchMatrix PerceptualFrom(const PerceptualParameters& x) {
        PerceptualShape shape;
        shape.power = x[0];
        shape.cap = std::exp(x[1]);
        shape.horizontal = std::exp(x[2]);
        shape.vertical = std::exp(x[3]);
        shape.diagonalLow = std::exp(x[4]);
        shape.orientation = x[5];
        shape.diagonal = x[6];
        return PerceptualMatrix(shape);
    }

    // The perceptual starting point that scored best.
    PerceptualParameters BestPerceptualStart() const {
        PerceptualParameters best{1.8, std::log(64.0), 0, 0, 0, 0, 0};
        double bestObjective = std::numeric_limits<double>::infinity();
        for (const PerceptualShape& start : PerceptualStarts()) {
            const PerceptualParameters x{start.power, std::log(start.cap), 0, 0, 0, 0, 0};
            const auto seen = seen_.find(PerceptualFrom(x));
            if (seen != seen_.end() && seen->second < bestObjective) {
                bestObjective = seen->second;
                best = x;
            }
        }
        return best;
    }

    double Seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

    // Why the search must end before the next candidate, if it must: asked
    // to stop, out of evaluations, or the next one (at the mean pace so far)
    // and the work kept back for after the search would overrun the budget.
    std::optional<SearchStop> LimitReached() const {
        if (stop_ && stop_()) return SearchStop::kStopped;
        if (settings_.maxEvaluations > 0 && result_.evaluations >= settings_.maxEvaluations)
            return SearchStop::kEvaluations;
        if (settings_.budgetSeconds > 0) {
            const double perEvaluation = result_.evaluations > 0 ? Seconds() / double(result_.evaluations) : 0.0;
            const double needed =
                settings_.secondsBefore + Seconds() + perEvaluation * (1 + settings_.reservedEvaluations);
            if (needed > settings_.budgetSeconds) return SearchStop::kBudget;
        }
        return std::nullopt;
    }

    void EndPhase() { result_.phaseBest.emplace_back(phase_, result_.best); }

    std::vector<int> ShuffledOrder(int count) {
        std::vector<int> order(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) order[size_t(i)] = i;
        // Fisher-Yates from the generator's raw output, so that the order is
        // the same with every standard library.
        for (int i = count - 1; i > 0; --i) std::swap(order[size_t(i)], order[size_t(rng_() % uint64_t(i + 1))]);
        return order;
    }

    // Tries both directions of one parameter and keeps walking the one that
    // helps; true when the parameter moved. `make` turns the parameters
    // into a matrix, `name` the parameter's index into its name.
    template <typename Parameters, typename Make>
    bool Descend(Parameters& parameters, int index, double step, const Make& make, const std::string& name) {
        const double first = (rng_() & 1) != 0 ? step : -step;
        // A direction that helps is walked with doubling steps; after an
        // overshoot the walk goes on from the first step.
        for (double delta : {first, -first}) {
            bool moved = false;
            for (double walk = delta;;) {
                Parameters trial = parameters;
                trial[size_t(index)] += walk;
                char move[64];
                std::snprintf(move, sizeof move, "%s %+.3f", name.c_str(), walk);
                if (Try(make(trial), move)) {
                    parameters = trial;
                    moved = true;
                    walk *= 2;
                } else if (Stopped()) {
                    return moved;
                } else if (walk != delta) {
                    walk = delta;
                } else {
                    break;
                }
            }
            if (moved) return true;
        }
        return false;
    }

    // Each group moves by a relative step (at least 1) in the direction that
    // helps, walked with doubling steps like the shape parameters. Returns
    // at once when the search stops.
    void DescendEntries(const std::vector<std::vector<int>>& groups, double firstStep) {
        for (double step = firstStep; step >= 0.01; step /= 2) {
            bool improved = true;
            while (improved) {
                improved = false;
                for (int g : ShuffledOrder(int(groups.size()))) {
                    const std::vector<int>& group = groups[size_t(g)];
                    const int sign = (rng_() & 1) != 0 ? 1 : -1;
                    for (int direction : {sign, -sign}) {
                        bool moved = false;
                        for (double walk = step;;) {
                            if (TryEntryMove(group, direction, walk)) {
                                moved = true;
                                walk *= 2;
                            } else if (Stopped()) {
                                return;
                            } else if (walk != step) {
                                walk = step;
                            } else {
                                break;
                            }
                        }
                        if (moved) {
                            improved = true;
                            break;
                        }
                    }
                }
            }
        }
    }

    bool TryEntryMove(const std::vector<int>& group, int direction, double step) {
        SearchMatrix trial = result_.best;
        for (int i : group) {
            const int32_t w = trial[size_t(i)];
            const int32_t delta = std::max<int32_t>(1, int32_t(std::lround(w * step)));
            trial[size_t(i)] = std::clamp(w + direction * delta, kSearchMinEntry, kSearchMaxEntry);
        }
        char move[64];
        std::snprintf(move, sizeof move, "entry (%d,%d)%s %+d%%", group[0] / 8, group[0] % 8,
                      group.size() > 1 ? " pair" : "", direction * int(std::lround(step * 100)));
        return Try(trial, move);
    }

    void Report() {
        if (!progress_) return;
        SearchProgress p;
        if (counting_.ScaleCodes() != objective_.ScaleCodes()) {
            // The answer at every code would cost a candidate or more each
            // time the best changes: the progress tells the search's own figures.
            if (!presetObjectives_) {
                presetObjectives_ = {objective_.ScoreCurves(objective_.AnchorCurves()).objective,
                                     objective_.ScoreCurves(objective_.FlatCurves()).objective};
            }
            const auto [byDefault, byFlat] = *presetObjectives_;
            const double found = result_.score.objective;
            p.best = std::min({found, byDefault, byFlat});
            p.leader = found < std::min(byDefault, byFlat) ? "found" : byFlat < byDefault ? "flat16" : "default";
        } else {
            if (answeredFor_ != result_.best) {
                // The named matrices' scores do not change: counted once.
                if (!namedScores_) namedScores_ = ScoreNamedMatrices(counting_);
                answer_ = ChooseAnswer(counting_, objective_, result_.best, result_.score, *namedScores_);
                answeredFor_ = result_.best;
            }
            p.best = answer_.score.objective;
            p.leader = answer_.preset.empty() ? "found" : answer_.preset;
        }
        p.phase = phase_;
        p.evaluations = result_.evaluations;
        p.seconds = Seconds();
        p.evaluationsPerSecond = p.seconds > 0 ? double(p.evaluations) / p.seconds : 0.0;
        p.secondsLeft = settings_.budgetSeconds > 0 ? std::max(0.0, settings_.budgetSeconds - p.seconds) : -1.0;
        progress_(p);
    }

    const Objective& objective_;
    const SearchSettings& settings_;
    const StopRequest& stop_;
    const ProgressReport& progress_;
    const Objective& counting_;
    SearchAnswer answer_;  // for the progress, chosen again when the best changes
    std::optional<SearchMatrix> answeredFor_;
    std::optional<std::pair<double, double>> presetObjectives_;  // default's and flat 16's, by the search
    std::optional<std::vector<MatrixScore>> namedScores_;        // by the counting objective
    std::mt19937_64 rng_;
    Clock::time_point start_;
    std::string phase_ = "families";
    std::map<SearchMatrix, double> seen_;
    SearchResult result_;
    std::optional<SearchStop> stopped_;  // set once, by the candidate that found a limit reached
};

}  // namespace

std::vector<int32_t> SearchCodesFor(QualityMeasure measure, const std::vector<int32_t>& codes) {
    constexpr size_t kPerceptualCodes = 6;
    const bool perceptual = measure == QualityMeasure::kSsimulacra2 || NeedsButteraugli(measure);
    if (!perceptual || codes.size() <= kPerceptualCodes) return codes;
    const double first = codes.front(), last = codes.back();
    std::vector<int32_t> chosen;
    size_t from = 0;  // each pick the code nearest its target among those not yet passed
    for (size_t i = 0; i < kPerceptualCodes; ++i) {
        const double target = first * std::pow(last / first, double(i) / double(kPerceptualCodes - 1));
        // Leave enough codes after this pick for the picks still to come.
        const size_t limit = codes.size() - (kPerceptualCodes - i);
        size_t at = from;
        for (size_t j = from; j <= limit; ++j) {
            if (std::abs(codes[j] - target) < std::abs(codes[at] - target)) at = j;
        }
        chosen.push_back(codes[at]);
        from = at + 1;
    }
    return chosen;
}

namespace {

// Why a search ended, as reports name it and in words.
struct StopNames {
    SearchStop stop;
    const char* name;
    const char* words;
};
constexpr StopNames kStopNames[] = {
    {SearchStop::kConverged, "converged", "converged (the steps shrank to nothing)"},
    {SearchStop::kBudget, "budget", "the time budget was spent"},
    {SearchStop::kEvaluations, "evaluations", "the evaluation limit was reached"},
    {SearchStop::kStopped, "stopped", "stopped by Ctrl-C (the best so far)"},
};

const StopNames& NamesOf(SearchStop stop) {
    for (const StopNames& names : kStopNames)
        if (names.stop == stop) return names;
    return kStopNames[0];
}

}  // namespace

const char* SearchStopName(SearchStop stop) { return NamesOf(stop).name; }

const char* SearchStopWords(SearchStop stop) { return NamesOf(stop).words; }

namespace {

// Whether `a` is no worse than `b` by every opinion.
bool NoWorseByEach(const MatrixScore& a, const MatrixScore& b) {
    for (size_t o = 0; o < a.opinionObjectives.size() && o < b.opinionObjectives.size(); ++o) {
        if (a.opinionObjectives[o] > b.opinionObjectives[o]) return false;
    }
    return true;
}

}  // namespace

std::string AnswerName(const SearchAnswer& answer) { return answer.preset.empty() ? "found" : answer.preset; }

std::vector<MatrixScore> ScoreNamedMatrices(const Objective& counting) {
    std::vector<MatrixScore> scores;
    for (const FamilyMatrix& named : NamedMatrices()) scores.push_back(counting.Score(named.matrix));
    return scores;
}

SearchAnswer ChooseAnswer(const Objective& counting, const Objective& codedBy, const SearchMatrix& best,
                          const MatrixScore& bestScore) {
    return ChooseAnswer(counting, codedBy, best, bestScore, ScoreNamedMatrices(counting));
}

SearchAnswer ChooseAnswer(const Objective& counting, const Objective& codedBy, const SearchMatrix& best,
                          const MatrixScore& bestScore, const std::vector<MatrixScore>& namedScores) {
    SearchAnswer answer;
    MatrixScore found = counting.ScaleCodes() == codedBy.ScaleCodes()
                            ? counting.ScoreRecounted(best, bestScore.curves, codedBy)
                            : counting.Score(best);
    MatrixScore byDefault = counting.ScoreCurves(counting.AnchorCurves());
    MatrixScore byFlat = counting.ScoreCurves(counting.FlatCurves());
    answer.foundObjective = found.objective;
    answer.defaultObjective = byDefault.objective;
    answer.flatObjective = byFlat.objective;
    // The best of the named matrices, by the objective, first in table
    // order on a tie.
    std::optional<MatrixScore> bestNamed;
    SearchMatrix bestNamedMatrix{};
    std::string bestNamedName;
    const std::vector<FamilyMatrix> namedMatrices = NamedMatrices();
    for (size_t n = 0; n < namedMatrices.size() && n < namedScores.size(); ++n) {
        const FamilyMatrix& named = namedMatrices[n];
        const MatrixScore& score = namedScores[n];
        answer.named.push_back(NamedObjective{named.name, score.objective, score.opinionObjectives});
        if (!bestNamed || score.objective < bestNamed->objective) {
            bestNamedMatrix = named.matrix;
            bestNamedName = named.name;
            bestNamed = score;
        }
    }
    const bool namedBeatsPresets = bestNamed && bestNamed->objective < std::min(byDefault.objective, byFlat.objective);
    // The found matrix must beat the presets, and the best named matrix by
    // every opinion: a named matrix that it does not is the answer.
    if (found.objective < std::min(byDefault.objective, byFlat.objective) &&
        (!namedBeatsPresets || (found.objective < bestNamed->objective && NoWorseByEach(found, *bestNamed)))) {
        answer.matrix = best;
        answer.score = std::move(found);
    } else if (namedBeatsPresets) {
        answer.matrix = bestNamedMatrix;
        answer.preset = bestNamedName;
        answer.score = std::move(*bestNamed);
    } else if (byFlat.objective < byDefault.objective) {
        answer.matrix = FlatSearchMatrix(16);
        answer.preset = "flat16";
        answer.score = std::move(byFlat);
    } else {
        answer.matrix = DefaultSearchMatrix();
        answer.preset = "default";
        answer.score = std::move(byDefault);
    }
    return answer;
}

SearchResult RunMatrixSearch(const Objective& objective, const SearchSettings& settings, const StopRequest& stop,
                             const ProgressReport& progress, const Objective* counting) {
    Searcher searcher(objective, settings, stop, progress, counting);
    // SSIMULACRA 2's optimum lies steeper than the default and capped, where
    // the classic families do not reach. Its search stays in that family:
    // the free shapes and entries went on gaining by SSIMULACRA 2 on the
    // training pictures while Butteraugli, the second opinion, lost twice as
    // much on pictures never seen (docs/search.md).
    const bool perceptual =
        objective.Measure() == QualityMeasure::kSsimulacra2 || NeedsButteraugli(objective.Measure());
    searcher.Families(perceptual);
    if (perceptual) {
        if (!searcher.Stopped()) searcher.PerceptualShapes();
        return searcher.Finish();
    }
    if (!searcher.Stopped()) searcher.Shape();
    if (!searcher.Stopped() && settings.entryPhase) searcher.Entries();
    return searcher.Finish();
}

}  // namespace vardelk
