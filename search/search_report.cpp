#include "search/search_report.h"

#include <cmath>
#include <sstream>

#include "media/report_text.h"

namespace vardelk {
namespace {

std::string MatrixJson(const SearchMatrix& m) {
    std::ostringstream json;
    json << "[";
    for (int r = 0; r < 8; ++r) {
        json << (r ? ",\n    " : "\n    ");
        for (int c = 0; c < 8; ++c) json << (c ? ", " : "") << m[size_t(r * 8 + c)];
    }
    json << "\n  ]";
    return json.str();
}

std::string SetJson(const SetFigures& f) {
    std::ostringstream json;
    json << "{\n    \"bd_rate_vs_default\": " << NumberJson(Mean(f.foundVsDefault))
         << ",\n    \"bd_rate_vs_flat16\": " << NumberJson(Mean(f.foundVsFlat))
         << ",\n    \"bd_rate_vs_better_of_default_flat16\": " << NumberJson(Mean(f.foundVsBetter))
         << ",\n    \"flat16_vs_default\": " << NumberJson(Mean(f.flatVsDefault))
         << ",\n    \"weighted_bd_rate_vs_default\": " << NumberJson(WeightedBdRate(f.foundVsDefault, f.weights))
         << ",\n    \"worst_vs_default\": " << NumberJson(Worst(f.foundVsDefault))
         << ",\n    \"worst_vs_better_of_default_flat16\": " << NumberJson(Worst(f.foundVsBetter))
         << ",\n    \"pictures\": [";
    for (size_t i = 0; i < f.names.size(); ++i) {
        json << (i ? ",\n" : "\n") << "      {\"name\": " << JsonString(f.names[i])
             << ", \"weight\": " << NumberJson(f.weights[i])
             << ", \"bd_rate_vs_default\": " << NumberJson(f.foundVsDefault[i])
             << ", \"bd_rate_vs_flat16\": " << NumberJson(f.foundVsFlat[i])
             << ", \"flat16_vs_default\": " << NumberJson(f.flatVsDefault[i])
             << ", \"overlap\": " << NumberJson(f.overlaps[i])
             << ",\n       \"curves\": {\"default\": " << CurveJson(f.defaultCurves[i])
             << ",\n                  \"flat16\": " << CurveJson(f.flatCurves[i])
             << ",\n                  \"found\": " << CurveJson(f.foundCurves[i]) << "}}";
    }
    json << "\n    ]\n  }";
    return json.str();
}

// [{"measure": "psnr", "vs_default": x, "vs_flat16": y, "flat16_vs_default": z}, ...], means over the pictures.
std::string ByMeasureJson(const std::vector<MeasureFigures>& byMeasure) {
    std::string json = "[";
    for (const MeasureFigures& m : byMeasure) {
        json += std::string(json.size() > 1 ? ",\n      " : "\n      ") + "{\"measure\": \"" +
                QualityMeasureName(m.measure) + "\", \"vs_default\": " + NumberJson(Mean(m.figures.foundVsDefault)) +
                ", \"vs_flat16\": " + NumberJson(Mean(m.figures.foundVsFlat)) +
                ", \"flat16_vs_default\": " + NumberJson(Mean(m.figures.flatVsDefault)) +
                ", \"pictures_vs_default\": [";
        for (size_t i = 0; i < m.figures.foundVsDefault.size(); ++i)
            json += (i ? ", " : "") + NumberJson(m.figures.foundVsDefault[i]);
        json += "]}";
    }
    return json + "\n    ]";
}

std::string ConfirmationJson(const Confirmation& c) {
    std::ostringstream json;
    json << "{\n    \"encoder\": " << JsonString(c.encoder.name)
         << ",\n    \"program\": " << JsonString(c.encoder.program)
         << ",\n    \"transform\": \"the encoder's default (no -dct option)\",\n    \"set\": " << JsonString(c.set)
         << ",\n    \"confirmed\": " << (c.failures.empty() ? "true" : "false") << ",\n    \"failures\": [";
    for (size_t i = 0; i < c.failures.size(); ++i) json << (i ? ", " : "") << JsonString(c.failures[i]);
    const SetFigures& p = *c.predicted;
    const SetFigures& m = c.measured;
    json << "],\n    \"predicted\": {\"bd_rate_vs_default\": " << NumberJson(Mean(p.foundVsDefault))
         << ", \"bd_rate_vs_flat16\": " << NumberJson(Mean(p.foundVsFlat))
         << ", \"flat16_vs_default\": " << NumberJson(Mean(p.flatVsDefault))
         << "},\n    \"measured_by_measure\": " << ByMeasureJson(c.measuredByMeasure)
         << ",\n    \"measured\": " << SetJson(m);
    if (!c.butteraugliNote.empty()) json << ",\n    \"butteraugli\": " << JsonString(c.butteraugliNote);
    json << ",\n    \"pictures\": [";
    for (size_t i = 0; i < m.names.size(); ++i) {
        json << (i ? ",\n" : "\n") << "      {\"name\": " << JsonString(m.names[i])
             << ", \"predicted_vs_default\": " << NumberJson(p.foundVsDefault[i])
             << ", \"measured_vs_default\": " << NumberJson(m.foundVsDefault[i])
             << ", \"predicted_vs_flat16\": " << NumberJson(p.foundVsFlat[i])
             << ", \"measured_vs_flat16\": " << NumberJson(m.foundVsFlat[i])
             << ", \"predicted_flat16_vs_default\": " << NumberJson(p.flatVsDefault[i])
             << ", \"measured_flat16_vs_default\": " << NumberJson(m.flatVsDefault[i]) << "}";
    }
    json << "\n    ]\n  }";
    return json.str();
}

}  // namespace

std::string NumberJson(double value) { return std::isfinite(value) ? FormatDecimal(value) : "null"; }

std::string CurveJson(const RdCurveData& curve) {
    std::string json = "[";
    for (const CurvePoint& p : curve) {
        json += (json.size() > 1 ? ", [" : "[") + std::to_string(p.scaleCode) + ", " + FormatDecimal(p.bytes) + ", " +
                NumberJson(p.quality) + "]";
    }
    return json + "]";
}

const std::vector<MeasureFigures>* PredictedByMeasure(const SearchRunReport& run, const std::string& set) {
    return set == "validation" ? run.validationByMeasure : run.trainingByMeasure;
}

std::string SearchReportJson(const SearchRunReport& run) {
    const SearchResult& result = *run.result;
    const SearchAnswer& answer = *run.answer;
    std::ostringstream json;
    json << "{\n  \"measure\": \"" << run.measure << "\",\n  \"encoder\": " << JsonString(run.encoder)
         << ",\n  \"model\": " << JsonString(DescribeModel(run.model))
         << ",\n  \"intra_vlc\": " << run.model.intraVlcFormat << ",\n  \"dc_precision\": " << run.model.dcPrecision
         << ",\n  \"band\": " << JsonString(run.band.empty() ? "whole range" : run.band) << ",\n  \"scale_codes\": [";
    for (size_t i = 0; i < run.codes.size(); ++i) json << (i ? ", " : "") << run.codes[i];
    json << "],\n  \"search_scale_codes\": [";
    for (size_t i = 0; i < run.searchCodes.size(); ++i) json << (i ? ", " : "") << run.searchCodes[i];
    json << "],\n  \"mapping\": \"linear\",\n  \"seed\": " << run.seed << ",\n  \"threads\": " << run.threads
         << ",\n  \"picture_weights\": \"macroblocks, capped at twice the median picture's\""
         << ",\n  \"spread_weight\": " << FormatDecimal(run.spread)
         << ",\n  \"min_overlap\": " << FormatDecimal(run.minOverlap) << ",\n  \"evaluations\": " << result.evaluations
         << ",\n  \"settled_by_first_opinion\": " << result.settledByFirstOpinion
         << ",\n  \"seconds\": " << FormatDecimal(result.seconds) << ",\n  \"evaluations_per_second\": "
         << NumberJson(result.seconds > 0 ? double(result.evaluations) / result.seconds : NAN) << ",\n  \"stop\": \""
         << SearchStopName(result.stop)
         << "\",\n  \"answer\": " << JsonString(answer.preset.empty() ? "found" : answer.preset)
         << ",\n  \"matrix\": " << MatrixJson(answer.matrix);
    if (!answer.preset.empty()) json << ",\n  \"searched_matrix\": " << MatrixJson(result.best);
    json << ",\n  \"objective_every_byte\": {\"found\": " << NumberJson(answer.foundObjective)
         << ", \"default\": " << NumberJson(answer.defaultObjective)
         << ", \"flat16\": " << NumberJson(answer.flatObjective) << "}"
         << ",\n  \"named_objectives\": [";
    for (size_t i = 0; i < answer.named.size(); ++i) {
        json << (i ? ", " : "") << "{\"name\": " << JsonString(answer.named[i].name)
             << ", \"objective\": " << NumberJson(answer.named[i].objective) << ", \"by_opinion\": [";
        for (size_t o = 0; o < answer.named[i].opinions.size(); ++o)
            json << (o ? ", " : "") << NumberJson(answer.named[i].opinions[o]);
        json << "]}";
    }
    json << "]"
         << ",\n  \"objective\": " << NumberJson(result.score.objective)
         << ",\n  \"objective_mean\": " << NumberJson(result.score.meanBdRate)
         << ",\n  \"objective_spread\": " << NumberJson(result.score.spread) << ",\n  \"families\": [";
    for (size_t i = 0; i < result.families.size(); ++i)
        json << (i ? ", " : "") << "{\"name\": " << JsonString(result.families[i].first)
             << ", \"objective\": " << NumberJson(result.families[i].second) << "}";
    json << "],\n  \"phases\": [";
    for (size_t i = 0; i < result.phaseBest.size(); ++i) {
        std::string entries;
        for (int32_t v : result.phaseBest[i].second) entries += (entries.empty() ? "" : ", ") + std::to_string(v);
        json << (i ? ",\n    " : "\n    ") << "{\"phase\": " << JsonString(result.phaseBest[i].first)
             << ", \"matrix\": [" << entries << "]}";
    }
    json << "\n  ],\n  \"history\": [";
    for (size_t i = 0; i < result.history.size(); ++i) {
        const SearchEvent& e = result.history[i];
        json << (i ? ",\n    " : "\n    ") << "{\"evaluation\": " << e.evaluation
             << ", \"seconds\": " << FormatDecimal(e.seconds) << ", \"objective\": " << NumberJson(e.objective)
             << ", \"move\": " << JsonString(e.move) << "}";
    }
    json << "\n  ],\n  \"training\": " << SetJson(*run.training);
    if (run.trainingByMeasure != nullptr)
        json << ",\n  \"training_by_measure\": " << ByMeasureJson(*run.trainingByMeasure);
    if (run.validationByMeasure != nullptr)
        json << ",\n  \"validation_by_measure\": " << ByMeasureJson(*run.validationByMeasure);
    if (run.validation != nullptr)
        json << ",\n  \"validation\": " << SetJson(*run.validation);
    else if (!run.validationNote.empty())
        json << ",\n  \"validation\": " << JsonString(run.validationNote);
    if (run.confirmation != nullptr)
        json << ",\n  \"confirmation\": " << ConfirmationJson(*run.confirmation);
    else
        json << ",\n  \"confirmation\": " << JsonString(run.confirmationNote);
    json << "\n}\n";
    return json.str();
}

}  // namespace vardelk
