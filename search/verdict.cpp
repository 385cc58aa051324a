#include "search/verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "search/matrix_family.h"

namespace vardelk {

SetFigures FiguresFromCurves(const std::vector<CodedPicture>& pictures, std::vector<RdCurveData> defaultCurves,
                             std::vector<RdCurveData> flatCurves, std::vector<RdCurveData> foundCurves) {
    SetFigures f;
    for (const CodedPicture& p : pictures) f.names.push_back(p.name);
    f.weights = PictureWeights(pictures);
    f.defaultCurves = std::move(defaultCurves);
    f.flatCurves = std::move(flatCurves);
    f.foundCurves = std::move(foundCurves);
    for (size_t i = 0; i < pictures.size(); ++i) {
        const BdFigure figure = CurveBdFigure(f.defaultCurves[i], f.foundCurves[i]);
        f.foundVsDefault.push_back(figure.computable ? figure.value : NAN);
        f.overlaps.push_back(std::min(figure.anchorOverlap, figure.testOverlap));
        f.foundVsFlat.push_back(CurveBdRate(f.flatCurves[i], f.foundCurves[i]));
        f.flatVsDefault.push_back(CurveBdRate(f.defaultCurves[i], f.flatCurves[i]));
        f.foundVsBetter.push_back(std::isnan(f.foundVsFlat[i]) ? f.foundVsDefault[i]
                                                               : std::max(f.foundVsDefault[i], f.foundVsFlat[i]));
    }
    return f;
}

SetFigures MeasureSet(const std::vector<CodedPicture>& pictures, const Objective& objective,
                      const SearchMatrix& found) {
    return FiguresFromCurves(pictures, objective.AnchorCurves(), objective.FlatCurves(), objective.Curves(found));
}

std::vector<MeasureFigures> MeasureSetByEveryMeasure(const std::vector<CodedPicture>& pictures,
                                                     const Objective& objective, const SearchMatrix& found) {
    std::vector<QualityMeasure> measures = AllQualityMeasures();
    if (NeedsButteraugli(objective.Measure())) measures.push_back(QualityMeasure::kButteraugli);
    auto defaults = objective.CurvesByMeasure(DefaultSearchMatrix(), measures);
    auto flats = objective.CurvesByMeasure(FlatSearchMatrix(16), measures);
    auto founds = objective.CurvesByMeasure(found, measures);
    std::vector<MeasureFigures> figures;
    for (size_t m = 0; m < measures.size(); ++m) {
        figures.push_back(MeasureFigures{measures[m], FiguresFromCurves(pictures, std::move(defaults[m]),
                                                                        std::move(flats[m]), std::move(founds[m]))});
    }
    return figures;
}

std::string MixedVerdict(const std::vector<MeasureFigures>& byMeasure, bool againstFlat) {
    std::string saves, costs;
    for (const MeasureFigures& m : byMeasure) {
        const double rate = Mean(againstFlat ? m.figures.foundVsFlat : m.figures.foundVsDefault);
        if (std::isnan(rate) || rate == 0) continue;
        std::string& list = rate < 0 ? saves : costs;
        list += (list.empty() ? "" : ", ") + std::string(QualityMeasureName(m.measure));
    }
    return saves.empty() || costs.empty() ? "" : "saves by " + saves + "; costs by " + costs;
}

double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) sum += v;
    return values.empty() ? NAN : sum / double(values.size());
}

double Worst(const std::vector<double>& values) {
    double worst = -INFINITY;
    for (double v : values) worst = std::isnan(v) ? v : std::max(worst, v);
    return worst;
}

std::vector<std::string> ConfirmationFailures(const SetFigures& measured) {
    std::vector<std::string> failures;
    char line[160];
    if (!(Mean(measured.foundVsDefault) < 0)) {
        std::snprintf(line, sizeof line, "the found matrix costs %+.2f%% against the default",
                      Mean(measured.foundVsDefault));
        failures.push_back(line);
    }
    if (!(Mean(measured.foundVsFlat) < 0)) {
        std::snprintf(line, sizeof line, "the found matrix costs %+.2f%% against flat16", Mean(measured.foundVsFlat));
        failures.push_back(line);
    }
    for (size_t i = 0; i < measured.names.size(); ++i) {
        if (measured.foundVsBetter[i] <= kLosingPicture) continue;
        std::snprintf(line, sizeof line, "%s loses %+.2f%% against the better of default and flat16",
                      measured.names[i].c_str(), measured.foundVsBetter[i]);
        failures.push_back(line);
    }
    return failures;
}

std::optional<Confirmation> ConfirmFoundMatrix(const ConfirmingEncoder& encoder, const CodingModel& model,
                                               const std::string& set, const std::vector<CodedPicture>& pictures,
                                               const SetFigures& predicted, const SearchMatrix& found,
                                               const std::vector<int32_t>& codes, QualityMeasure measure,
                                               int32_t threads, const std::function<bool()>& stop,
                                               const std::function<bool()>& stoppedOrArriving) {
    Confirmation c;
    c.encoder = encoder;
    c.set = set;
    c.predicted = &predicted;
    // Butteraugli is measured here, from the decoded pictures as RGB, as
    // the search predicts it; the outside program is not needed.
    const EncoderConfirmation runner(encoder, model, pictures);
    // Every measure from the same runs; the search's decides the rule.
    // Of two opinions the first, SSIMULACRA 2, decides the rule.
    std::vector<QualityMeasure> measures = {Opinions(measure).front()};
    std::vector<QualityMeasure> reported = AllQualityMeasures();
    reported.push_back(QualityMeasure::kButteraugli);
    for (QualityMeasure m : reported) {
        if (m != measures.front()) measures.push_back(m);
    }
    std::optional<std::vector<std::vector<RdCurveData>>> curves[3];
    const SearchMatrix matrices[3] = {DefaultSearchMatrix(), FlatSearchMatrix(16), found};
    for (size_t i = 0; i < 3; ++i) {
        try {
            curves[i] = runner.CurvesByMeasure(matrices[i], codes, measures, threads, stop);
        } catch (const std::exception&) {
            if (stoppedOrArriving && stoppedOrArriving()) return std::nullopt;  // the run failed of the same stop
            throw;
        }
        if (!curves[i]) return std::nullopt;
    }
    for (QualityMeasure m : reported) {
        const size_t at = size_t(std::find(measures.begin(), measures.end(), m) - measures.begin());
        c.measuredByMeasure.push_back(
            MeasureFigures{m, FiguresFromCurves(pictures, (*curves[0])[at], (*curves[1])[at], (*curves[2])[at])});
    }
    c.measured =
        FiguresFromCurves(pictures, std::move((*curves[0])[0]), std::move((*curves[1])[0]), std::move((*curves[2])[0]));
    c.failures = ConfirmationFailures(c.measured);
    return c;
}

RdCurveData PooledCurve(const std::vector<RdCurveData>& curves) {
    RdCurveData pooled;
    for (size_t c = 0; c < curves.front().size(); ++c) {
        double bytes = 0, quality = 0;
        for (const RdCurveData& picture : curves) {
            bytes += picture[c].bytes;
            quality += picture[c].quality;
        }
        pooled.push_back(
            CurvePoint{curves.front()[c].scaleCode, bytes / double(curves.size()), quality / double(curves.size())});
    }
    return pooled;
}

}  // namespace vardelk
