#include "search_command.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clip/clip_source.h"
#include "encoders/butteraugli_tool.h"
#include "exit_status.h"
#include "interrupt.h"
#include "media/error.h"
#include "options.h"
#include "parallel/parallel_for.h"
#include "progress.h"
#include "search/matrix_search.h"
#include "search/picture_list.h"
#include "search/search_report.h"
#include "search/verdict.h"
#include "search_outputs.h"

namespace vardelk {
namespace {

std::vector<CodedPicture> LoadPictures(const std::vector<std::string>& inputs, int32_t frames, const CodingModel& model,
                                       int32_t threads) {
    std::vector<std::string> paths;
    for (const std::string& input : inputs) ExpandPictureInput(input, paths);
    struct Source {
        std::string name;
        Y4mFormat format;
        Y4mFrame frame;
    };
    std::vector<Source> sources;
    for (const std::string& path : paths) {
        std::unique_ptr<ClipSource> clip = OpenClipSource(path, 1);
        // Frames spread over the clip, each named by its number in it.
        const std::vector<int64_t> wanted = SpreadFrames(clip->ExpectedFrames(), frames);
        Y4mFrame frame;
        size_t next = 0;
        for (int64_t n = 0; next < wanted.size() && clip->ReadFrame(frame); ++n) {
            ThrowIfInterrupted();
            if (n != wanted[next]) continue;
            ++next;
            const std::string name = n == 0 ? path : path + "#" + std::to_string(n);
            sources.push_back(Source{name, clip->Format(), frame});
        }
    }
    std::vector<CodedPicture> pictures(sources.size());
    ParallelFor(threads, int64_t(sources.size()), [&](int64_t i) {
        const Source& s = sources[size_t(i)];
        pictures[size_t(i)] = PrepareCodedPicture(s.name, s.format, s.frame, model);
    });
    return pictures;
}

// The search's progress line: the phase, the answer so far and its objective
// as the summary counts it, and the pace.
std::string ProgressText(const SearchProgress& p) {
    char left[32] = "", text[200];
    if (p.secondsLeft >= 0)
        std::snprintf(left, sizeof left, ", %d:%02d left", int(p.secondsLeft) / 60, int(p.secondsLeft) % 60);
    std::snprintf(text, sizeof text, "search %s: objective %+.3f%% (%s) after %lld matrices (%.2f/s)%s",
                  p.phase.c_str(), p.best, p.leader.c_str(), static_cast<long long>(p.evaluations),
                  p.evaluationsPerSecond, left);
    return text;
}

}  // namespace

int RunSearchCommand(int argc, char** argv) {
    CLI::App app{"vardelk search"};
    SearchOptions o;
    std::string threadsText;
    DefineSearchOptions(app, o, threadsText);
    return RunWithExitStatus(app, argc, argv, {"vardelk search", ""}, [&]() -> int {
        if (o.inputs.empty()) throw UsageError(std::string("no pictures given (usage: ") + kSearchUsage + ")");
        const std::vector<int32_t> codes = ParseSearchCodes(o.codes);
        const double budget = ParseSearchBudget(o.budget);
        const CodingModel model = ParseModelOptions(o.encoder, o.intraVlc, o.dcPrecision);
        o.threads = ParseThreads(threadsText);
        QualityMeasure measure = QualityMeasure::kPsnrY;
        ParseQualityMeasure(o.measure, &measure);

        const auto started = std::chrono::steady_clock::now();
        const std::vector<CodedPicture> training = LoadPictures(o.inputs, o.frames, model, o.threads);
        std::vector<CodedPicture> validationPictures;
        if (!o.validate.empty()) validationPictures = LoadPictures(o.validate, o.frames, model, o.threads);
        ObjectiveOptions objectiveOptions;
        objectiveOptions.model = model;
        objectiveOptions.minimumOverlap = o.minOverlap;
        objectiveOptions.spreadWeight = o.spread;
        // The search compares matrices on their coding alone; the figures
        // count the bytes each stream really spends.
        ObjectiveOptions searchOptions = objectiveOptions;
        searchOptions.loadEveryMatrix = true;
        const std::vector<int32_t> searchCodes = SearchCodesFor(measure, codes);
        const Objective objective(training, measure, searchCodes, o.threads, searchOptions);
        const Objective trainingCheck(training, measure, codes, o.threads, objectiveOptions);

        SearchSettings settings;
        settings.budgetSeconds = budget;
        settings.maxEvaluations = o.evaluations;
        settings.seed = o.seed;
        settings.entryPhase = !o.shapeOnly;
        // The budget covers loading, the search and the final figures (the
        // found matrix on the training pictures; the default, flat 16 and
        // the found matrix on the validation pictures).
        settings.secondsBefore = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        // (Each set's figures by every measure code three matrices more, SSIM
        // among the measures: counted as twice an evaluation each.)
        // Candidates coded at fewer scale codes than the figures cost that
        // much more each.
        settings.reservedEvaluations = (7.0 + 9.0 * double(validationPictures.size()) / double(training.size())) *
                                       double(codes.size()) / double(searchCodes.size());
        Progress line(-1, !o.quiet && StderrIsTerminal());
        const SearchResult result = RunMatrixSearch(
            objective, settings, Interrupted, [&](const SearchProgress& p) { line.Show(ProgressText(p)); },
            &trainingCheck);
        line.Finish();
        const bool interrupted = result.stop == SearchStop::kStopped;
        // Never worse than a preset, every real byte counted.
        const SearchAnswer answer = ChooseAnswer(trainingCheck, objective, result.best, result.score);

        const SetFigures trainingFigures = MeasureSet(training, trainingCheck, answer.matrix);
        SearchRunReport run{o.measure, o.encoder, model,        codes,   searchCodes, o.seed,
                            o.threads, o.spread,  o.minOverlap, &result, &answer,     &trainingFigures,
                            nullptr,   "",        nullptr,      ""};
        // The answer by every measure, beside the search's own.
        const std::vector<MeasureFigures> trainingByMeasure =
            MeasureSetByEveryMeasure(training, trainingCheck, answer.matrix);
        run.trainingByMeasure = &trainingByMeasure;
        std::unique_ptr<SetFigures> validationFigures;
        std::vector<MeasureFigures> validationByMeasure;
        if (!validationPictures.empty() && !interrupted) {
            const Objective check(validationPictures, measure, codes, o.threads, objectiveOptions);
            validationFigures = std::make_unique<SetFigures>(MeasureSet(validationPictures, check, answer.matrix));
            run.validation = validationFigures.get();
            validationByMeasure = MeasureSetByEveryMeasure(validationPictures, check, answer.matrix);
            run.validationByMeasure = &validationByMeasure;
        } else if (!validationPictures.empty()) {
            run.validationNote = "skipped: the search was interrupted";
        }

        // The real encoder codes the validation pictures, or without them the
        // training pictures, at the same scale codes.
        std::unique_ptr<Confirmation> confirmation;
        const ConfirmingEncoder encoder = FindConfirmingEncoder(model);
        bool confirmationInterrupted = false;
        if (interrupted) {
            run.confirmationNote = "skipped: the search was interrupted";
        } else if (o.noConfirm) {
            run.confirmationNote = "skipped: --no-confirm";
        } else if (!answer.preset.empty()) {
            run.confirmationNote = "skipped: the answer is " + answer.preset + " itself";
        } else if (encoder.name.empty()) {
            run.confirmationNote = "not confirmed: " + encoder.missing;
        } else {
            const bool onValidation = validationFigures != nullptr;
            std::optional<Confirmation> measured;
            try {
                measured = ConfirmFoundMatrix(
                    encoder, model, onValidation ? "validation" : "training",
                    onValidation ? validationPictures : training, onValidation ? *validationFigures : trainingFigures,
                    answer.matrix, codes, measure, o.threads, Interrupted, InterruptedOrArriving, FindButteraugli());
            } catch (const Error& error) {
                // The search's answer is kept whatever became of the encoder;
                // the failure is still the run's.
                run.confirmationNote = std::string("not confirmed: ") + error.what();
                WriteSearchOutputs(run, o.out);
                if (!o.quiet) PrintSearchSummary(run, o.out);
                throw;
            }
            // Ctrl-C during the confirmation still leaves the found matrix
            // in complete outputs, as during the search.
            confirmationInterrupted = !measured;
            if (measured) {
                confirmation = std::make_unique<Confirmation>(std::move(*measured));
                run.confirmation = confirmation.get();
            } else {
                run.confirmationNote = "not confirmed: the confirmation was interrupted";
            }
        }
        WriteSearchOutputs(run, o.out);
        if (!o.quiet) PrintSearchSummary(run, o.out);
        return interrupted || confirmationInterrupted ? 130 : 0;
    });
}

}  // namespace vardelk
