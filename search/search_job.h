// The matrix search as one call: the pictures, the measure, the model and
// the limits in; the pictures loaded, the search run within its budget, the
// answer chosen and measured on every set by every measure, confirmed by
// the real encoder where one is installed, and every output written into
// the folder. A face fills the job by field name, calls and prints the
// result (PrintSearchSummary).
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "search/matrix_search.h"
#include "search/operating_range.h"
#include "search/search_report.h"
#include "search/verdict.h"

namespace vardelk {

struct SearchJob {
    std::vector<std::string> inputs;    // pictures, clips, folders or lists (ExpandPictureInput)
    std::vector<std::string> validate;  // the same, to check the answer on; none for no check
    int32_t frames = 1;                 // taken from each clip (SpreadFrames)
    QualityMeasure measure = QualityMeasure::kPsnrY;
    std::string encoder = "ffmpeg";  // the preset's name, for the reports
    CodingModel model = PresetModel(EncoderPreset::kFfmpeg);
    std::vector<int32_t> codes;  // the curves' scale codes, sorted, at least 4
    // A band of rates instead of the whole range of the codes: the codes
    // are then those that cover it on every training picture
    // (BandScaleCodes) and the objective's figures are taken in it.
    RateBand band = WholeRange();
    double budgetSeconds = 600.0;  // for loading, the search and the figures; <= 0: no limit
    int64_t evaluations = 0;       // matrices at most; 0: no limit
    uint64_t seed = 1;
    int32_t threads = 1;
    double minOverlap = kBdMinimumOverlap;
    double spread = ObjectiveOptions{}.spreadWeight;
    bool entryPhase = true;  // the moves of single entries after the shape phase
    // Why the real encoder is not to code the answer, as the reports say
    // it ("" to have it confirm the answer where one is installed).
    std::string skipConfirmation;
    std::string out = "search-out";  // the outputs' folder, made when missing

    // Asked before every candidate and every run; true stops the search
    // (the best so far is the answer) or the confirmation (left out).
    std::function<bool()> stop;
    // Asked when a run of the encoder fails: whether that was the stop on
    // its way (Ctrl-C reaches the encoder too).
    std::function<bool()> stoppedOrArriving;
    // Asked before every frame loaded; throws to stop.
    std::function<void()> checkStop;
    ProgressReport progress;
};

// Everything a search found and measured; `report` points into it.
struct SearchOutcome {
    SearchResult result;
    SearchAnswer answer;
    SetFigures training;
    std::optional<SetFigures> validation;
    std::vector<MeasureFigures> trainingByMeasure, validationByMeasure;
    std::optional<Confirmation> confirmation;
    SearchRunReport report;
    // Stopped during the search or the confirmation: the outputs hold the
    // best so far (the face's exit status 130).
    bool interrupted = false;
    // The encoder's failure, after the outputs were written with the answer
    // and the reason: the face prints the summary, then reports it.
    std::exception_ptr confirmationFailure;

    SearchOutcome() = default;
    SearchOutcome(const SearchOutcome&) = delete;
    SearchOutcome& operator=(const SearchOutcome&) = delete;
};

// Runs the job and writes its outputs. Throws SearchError and the
// libraries' errors when the pictures cannot be loaded or the outputs
// written.
std::unique_ptr<SearchOutcome> RunSearchJob(const SearchJob& job);

}  // namespace vardelk
