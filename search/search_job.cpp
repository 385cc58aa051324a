#include "search/search_job.h"

#include <chrono>
#include <cstdio>

#include "media/error.h"
#include "parallel/heap_reuse.h"
#include "search/picture_list.h"
#include "search/search_outputs.h"

namespace vardelk {
namespace {

// The real encoder codes the validation pictures, or without them the
// training pictures, at the same scale codes; or why it does not.
void Confirm(const SearchJob& job, const std::vector<CodedPicture>& training,
             const std::vector<CodedPicture>& validation, SearchOutcome& outcome) {
    SearchRunReport& run = outcome.report;
    const ConfirmingEncoder encoder = FindConfirmingEncoder(job.model);
    if (outcome.interrupted) {
        run.confirmationNote = "skipped: the search was interrupted";
    } else if (!job.skipConfirmation.empty()) {
        run.confirmationNote = "skipped: " + job.skipConfirmation;
    } else if (!outcome.answer.preset.empty()) {
        run.confirmationNote = "skipped: the answer is " + outcome.answer.preset + " itself";
    } else if (encoder.name.empty()) {
        run.confirmationNote = "not confirmed: " + encoder.missing;
    } else {
        const bool onValidation = outcome.validation.has_value();
        try {
            outcome.confirmation = ConfirmFoundMatrix(
                encoder, job.model, onValidation ? "validation" : "training", onValidation ? validation : training,
                onValidation ? *outcome.validation : outcome.training, outcome.answer.matrix, job.codes, job.measure,
                job.threads, job.stop, job.stoppedOrArriving);
        } catch (const Error& error) {
            // The search's answer is kept whatever became of the encoder;
            // the failure is still the run's.
            run.confirmationNote = std::string("not confirmed: ") + error.what();
            outcome.confirmationFailure = std::current_exception();
            return;
        }
        // Ctrl-C during the confirmation still leaves the found matrix in
        // complete outputs, as during the search.
        if (outcome.confirmation) {
            run.confirmation = &*outcome.confirmation;
        } else {
            outcome.interrupted = true;
            run.confirmationNote = "not confirmed: the confirmation was interrupted";
        }
    }
}

}  // namespace

std::unique_ptr<SearchOutcome> RunSearchJob(const SearchJob& request) {
    ReuseFreedLargeBlocks();  // every candidate measures many points
    const auto started = std::chrono::steady_clock::now();
    PrepareSearchOutputFolder(request.out);  // refused before the work, not after it
    SearchJob job = request;
    const std::vector<CodedPicture> training =
        LoadCodedPictures(job.inputs, job.frames, job.model, job.threads, job.checkStop);
    if (!job.band.Whole()) job.codes = BandScaleCodes(training, job.band, job.model, job.threads);
    std::vector<CodedPicture> validation;
    if (!job.validate.empty())
        validation = LoadCodedPictures(job.validate, job.frames, job.model, job.threads, job.checkStop);
    ObjectiveOptions objectiveOptions;
    objectiveOptions.model = job.model;
    objectiveOptions.minimumOverlap = job.minOverlap;
    objectiveOptions.spreadWeight = job.spread;
    objectiveOptions.lowBpp = job.band.lowBpp;
    objectiveOptions.highBpp = job.band.highBpp;
    // The search compares matrices on their coding alone; the figures
    // count the bytes each stream really spends.
    ObjectiveOptions searchOptions = objectiveOptions;
    searchOptions.loadEveryMatrix = true;
    const std::vector<int32_t> searchCodes = SearchCodesFor(job.measure, job.codes);
    const Objective objective(training, job.measure, searchCodes, job.threads, searchOptions);
    const Objective trainingCheck(training, job.measure, job.codes, job.threads, objectiveOptions);

    SearchSettings settings;
    settings.budgetSeconds = job.budgetSeconds;
    settings.maxEvaluations = job.evaluations;
    settings.seed = job.seed;
    settings.entryPhase = job.entryPhase;
    // The budget covers loading, the search and the final figures (the
    // found matrix on the training pictures; the default, flat 16 and the
    // found matrix on the validation pictures).
    settings.secondsBefore = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // (Each set's figures by every measure code three matrices more, SSIM
    // among the measures: counted as twice an evaluation each.) Candidates
    // coded at fewer scale codes than the figures cost that much more each.
    // The named matrices are counted again at every code for the answer.
    settings.reservedEvaluations =
        (7.0 + double(NamedMatrices().size()) + 9.0 * double(validation.size()) / double(training.size())) *
        double(job.codes.size()) / double(searchCodes.size());

    auto outcome = std::make_unique<SearchOutcome>();
    outcome->result = RunMatrixSearch(objective, settings, job.stop, job.progress, &trainingCheck);
    outcome->interrupted = outcome->result.stop == SearchStop::kStopped;
    // Never worse than a preset, every real byte counted.
    outcome->answer = ChooseAnswer(trainingCheck, objective, outcome->result.best, outcome->result.score);
    outcome->training = MeasureSet(training, trainingCheck, outcome->answer.matrix);

    SearchRunReport& run = outcome->report;
    run.measure = QualityMeasureName(job.measure);
    run.encoder = job.encoder;
    run.model = job.model;
    run.codes = job.codes;
    if (!job.band.Whole()) {
        char bpp[64];
        std::snprintf(bpp, sizeof bpp, "%g-%g bpp", job.band.lowBpp, job.band.highBpp);
        run.band = job.band.name == "bpp" ? bpp : job.band.name + " (" + bpp + ")";
    }
    run.searchCodes = searchCodes;
    run.seed = job.seed;
    run.threads = job.threads;
    run.spread = job.spread;
    run.minOverlap = job.minOverlap;
    run.result = &outcome->result;
    run.answer = &outcome->answer;
    run.training = &outcome->training;
    // The answer by every measure, beside the search's own.
    outcome->trainingByMeasure = MeasureSetByEveryMeasure(training, trainingCheck, outcome->answer.matrix);
    run.trainingByMeasure = &outcome->trainingByMeasure;
    if (!validation.empty() && !outcome->interrupted) {
        const Objective check(validation, job.measure, job.codes, job.threads, objectiveOptions);
        outcome->validation = MeasureSet(validation, check, outcome->answer.matrix);
        run.validation = &*outcome->validation;
        outcome->validationByMeasure = MeasureSetByEveryMeasure(validation, check, outcome->answer.matrix);
        run.validationByMeasure = &outcome->validationByMeasure;
    } else if (!validation.empty()) {
        run.validationNote = "skipped: the search was interrupted";
    }
    Confirm(job, training, validation, *outcome);
    WriteSearchOutputs(run, job.out);
    return outcome;
}

}  // namespace vardelk
