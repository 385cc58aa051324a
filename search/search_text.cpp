#include "search/search_text.h"

#include <cmath>
#include <string>
#include <vector>

#include "matrix/ffmpeg_option.h"
#include "search/search_outputs.h"

namespace vardelk {
namespace {

std::string AnswerName(const SearchRunReport& run) { return AnswerName(*run.answer); }

void PrintSet(std::FILE* out, const char* title, const std::string& answer, const SetFigures& f) {
    std::fprintf(out, "%s: %s BD-rate %+.2f%% against default (worst picture %+.2f%%), %+.2f%% against flat16\n", title,
                 answer.c_str(), Mean(f.foundVsDefault), Worst(f.foundVsDefault), Mean(f.foundVsFlat));
    std::fprintf(out, "  %8s %8s  %s\n", "vs dflt", "vs flat", "picture");
    for (size_t i = 0; i < f.names.size(); ++i)
        std::fprintf(out, "  %+7.2f%% %+7.2f%%  %s\n", f.foundVsDefault[i], f.foundVsFlat[i], f.names[i].c_str());
}

// The answer's mean BD-rates by every measure, side by side, measured
// beside predicted when the encoder confirmed this set; a matrix that saves
// by one measure and costs by another is said to.
void PrintByMeasure(std::FILE* out, const char* set, const std::string& answer,
                    const std::vector<MeasureFigures>& predicted, const Confirmation* confirmed) {
    const std::vector<MeasureFigures>* measured = confirmed ? &confirmed->measuredByMeasure : nullptr;
    const std::string by = measured ? confirmed->encoder.name : "";
    std::fprintf(out, "%s, %s by every measure (mean BD-rate; predicted%s%s):\n", set, answer.c_str(),
                 measured ? ", measured in " : "", by.c_str());
    if (measured) {
        std::fprintf(out, "  %-11s %-19s %-19s\n", "", "vs default", "vs flat16");
        std::fprintf(out, "  %-11s %-19s %-19s\n", "measure", "predicted measured", "predicted measured");
    } else {
        std::fprintf(out, "  %-11s %9s %9s\n", "measure", "vs dflt", "vs flat");
    }
    // Measures the search cannot predict (Butteraugli) come after, measured only.
    const size_t rows = measured ? measured->size() : predicted.size();
    for (size_t m = 0; m < rows; ++m) {
        const SetFigures* p = m < predicted.size() ? &predicted[m].figures : nullptr;
        const SetFigures* got = measured ? &(*measured)[m].figures : nullptr;
        const auto cell = [&](const SetFigures* f, bool flat) {
            const double rate = f == nullptr ? 0.0 : Mean(flat ? f->foundVsFlat : f->foundVsDefault);
            if (f == nullptr)
                std::fprintf(out, " %9s", "-");
            else if (std::isnan(rate))  // a picture without a figure (PSNR 6:1:1 of a picture without chroma error)
                std::fprintf(out, " %9s", "n/a");
            else
                std::fprintf(out, " %+8.2f%%", rate);
        };
        std::fprintf(out, "  %-11s", QualityMeasureName(measured ? (*measured)[m].measure : predicted[m].measure));
        cell(p, false);
        if (measured) cell(got, false);
        cell(p, true);
        if (measured) cell(got, true);
        std::fprintf(out, "\n");
    }
    if (confirmed && !confirmed->butteraugliNote.empty())
        std::fprintf(out, "  (no butteraugli: %s)\n", confirmed->butteraugliNote.c_str());
    const std::vector<MeasureFigures>& judged = measured ? *measured : predicted;
    for (bool flat : {false, true}) {
        const std::string mixed = MixedVerdict(judged, flat);
        if (!mixed.empty()) std::fprintf(out, "  against %s: %s\n", flat ? "flat16" : "the default", mixed.c_str());
    }
}

void PrintConfirmation(std::FILE* out, const Confirmation& c, bool colour) {
    const SetFigures& p = *c.predicted;
    const SetFigures& m = c.measured;
    std::fprintf(out, "%s on the %s pictures (found matrix; predicted by the search, measured in %s):\n",
                 c.encoder.name.c_str(), c.set.c_str(), c.encoder.name.c_str());
    std::fprintf(out, "  %-19s %-19s %-19s\n", "vs default", "vs flat16", "flat16 vs default");
    std::fprintf(out, "  %-19s %-19s %-19s\n", "predicted measured", "predicted measured", "predicted measured");
    const auto row = [&](double a, double b, double c2, double d, double e, double f, const char* name) {
        std::fprintf(out, "  %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%% %+8.2f%%  %s\n", a, b, c2, d, e, f, name);
    };
    for (size_t i = 0; i < m.names.size(); ++i)
        row(p.foundVsDefault[i], m.foundVsDefault[i], p.foundVsFlat[i], m.foundVsFlat[i], p.flatVsDefault[i],
            m.flatVsDefault[i], m.names[i].c_str());
    row(Mean(p.foundVsDefault), Mean(m.foundVsDefault), Mean(p.foundVsFlat), Mean(m.foundVsFlat), Mean(p.flatVsDefault),
        Mean(m.flatVsDefault), "(mean)");
    if (c.failures.empty()) {
        std::fprintf(out, "%s confirms the found matrix\n", c.encoder.name.c_str());
        return;
    }
    std::fprintf(out, "%s%s does NOT confirm the found matrix:%s\n", colour ? "\033[1;31m" : "", c.encoder.name.c_str(),
                 colour ? "\033[0m" : "");
    for (const std::string& failure : c.failures)
        std::fprintf(out, "%s  %s%s\n", colour ? "\033[31m" : "", failure.c_str(), colour ? "\033[0m" : "");
}

}  // namespace

void PrintSearchSummary(std::FILE* out, const SearchRunReport& run, const std::string& folder, bool colour) {
    const SearchAnswer& answer = *run.answer;
    const std::string band = run.band.empty() ? "" : ", band " + run.band;
    const int64_t settled = run.result->settledByFirstOpinion;
    const std::string settledWords =
        settled > 0 ? ", " + std::to_string(settled) + " of them settled by the first opinion alone" : "";
    std::fprintf(out, "search (%s, %s model%s, scale codes %d..%d): %lld matrices in %.0f s (%.2f/s%s), ended: %s\n",
                 run.measure.c_str(), DescribeModel(run.model).c_str(), band.c_str(), run.codes.front(),
                 run.codes.back(), static_cast<long long>(run.result->evaluations), run.result->seconds,
                 run.result->seconds > 0 ? double(run.result->evaluations) / run.result->seconds : 0.0,
                 settledWords.c_str(), SearchStopWords(run.result->stop));
    std::fprintf(
        out, "objective (every byte counted, as the progress line): found %+.3f%%, default %+.3f%%, flat16 %+.3f%%\n",
        answer.foundObjective, answer.defaultObjective, answer.flatObjective);
    std::fprintf(out, "named matrices' objectives:");
    for (const NamedObjective& named : answer.named)
        std::fprintf(out, " %s %+.3f%%", named.name.c_str(), named.objective);
    std::fprintf(out, "\n");
    if (answer.preset == "default")
        std::fprintf(out, "keep the default matrix: nothing found beats it on these pictures\n");
    else if (answer.preset == "flat16")
        std::fprintf(out, "use flat16: nothing found beats it on these pictures\n");
    else if (!answer.preset.empty())
        std::fprintf(out, "no matrix found beats %s here: the answer is %s\n", answer.preset.c_str(),
                     answer.preset.c_str());
    if (answer.preset != "default")
        std::fprintf(out, "ffmpeg: %s\n", FfmpegMatrixOption(answer.matrix, "the answer").c_str());
    PrintSet(out, "training", AnswerName(run), *run.training);
    if (run.validation) PrintSet(out, "validation", AnswerName(run), *run.validation);
    for (const char* set : {"training", "validation"}) {
        const std::vector<MeasureFigures>* predicted = PredictedByMeasure(run, set);
        const bool confirmed = run.confirmation != nullptr && run.confirmation->set == set;
        if (predicted) PrintByMeasure(out, set, AnswerName(run), *predicted, confirmed ? run.confirmation : nullptr);
    }
    if (run.confirmation)
        PrintConfirmation(out, *run.confirmation, colour);
    else
        std::fprintf(out, "%s\n", run.confirmationNote.c_str());
    std::fprintf(out, "matrix and report in %s/\n", SearchOutputFolder(folder).c_str());
}

}  // namespace vardelk
