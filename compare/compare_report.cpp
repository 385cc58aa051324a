#include "compare/compare_report.h"

#include <cmath>
#include <sstream>

#include "matrix/ffmpeg_option.h"
#include "matrix/stream_limit.h"
#include "media/report_text.h"
#include "search/search_report.h"

namespace vardelk {
namespace {

std::string Printed(const char* format, double a, double b = 0.0, double c = 0.0, double d = 0.0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

// "-0.90 %", "n/a".
std::string Percent(double value) { return std::isfinite(value) ? Printed("%+.2f %%", value) : "n/a"; }

bool Perceptual(QualityMeasure m) { return m == QualityMeasure::kSsimulacra2 || m == QualityMeasure::kButteraugli; }

const std::string& NameOf(const std::vector<Candidate>& candidates, size_t index) { return candidates[index].name; }

// The best candidate by measure m: the lowest mean BD-rate (the default's 0
// among them).
size_t BestBy(const BandRanking& ranking, size_t m) {
    size_t best = 0;
    for (size_t c = 1; c < ranking.figures.size(); ++c) {
        if (ranking.figures[c][m].meanBdRate < ranking.figures[best][m].meanBdRate) best = c;
    }
    return best;
}

std::string MeasureKey(QualityMeasure m) { return QualityMeasureName(m); }

std::string BandJson(const ComparisonResult& r, const ComparisonSide& side, const BandRanking& b) {
    std::ostringstream json;
    json << "{\"name\": " << JsonString(b.band.name) << ", \"low_bpp\": " << NumberJson(b.lowBpp)
         << ", \"high_bpp\": " << NumberJson(b.highBpp) << ", \"scale_codes\": [" << NumberJson(b.finestCode) << ", "
         << NumberJson(b.coarsestCode) << "]";
    json << ", \"mbit_per_s_25\": [" << NumberJson(MbitPerSecond(b.lowBpp, r.meanPixels, kPalPicturesPerSecond)) << ", "
         << NumberJson(MbitPerSecond(b.highBpp, r.meanPixels, kPalPicturesPerSecond)) << "], \"mbit_per_s_29_97\": ["
         << NumberJson(MbitPerSecond(b.lowBpp, r.meanPixels, kNtscPicturesPerSecond)) << ", "
         << NumberJson(MbitPerSecond(b.highBpp, r.meanPixels, kNtscPicturesPerSecond)) << "]";
    json << ",\n        \"uncovered\": [";
    for (size_t i = 0; i < b.uncovered.size(); ++i) json << (i ? ", " : "") << JsonString(b.uncovered[i]);
    json << "],\n        \"verdict\": " << JsonString(VerdictLine(side, b, r.candidates))
         << ",\n        \"disagreement\": " << JsonString(Disagreement(side, b, r.candidates))
         << ",\n        \"ranking\": [";
    for (size_t rank = 0; rank < b.order.size(); ++rank) {
        const size_t c = b.order[rank];
        json << (rank ? "," : "") << "\n          {\"matrix\": " << JsonString(NameOf(r.candidates, c));
        for (const char* field : {"bd_rate", "worst_bd_rate", "worst_picture", "least_overlap", "per_picture"}) {
            json << ", \"" << field << "\": {";
            for (size_t m = 0; m < side.measures.size(); ++m) {
                const BandFigures& f = b.figures[c][m];
                json << (m ? ", " : "") << JsonString(MeasureKey(side.measures[m])) << ": ";
                const std::string name = field;
                if (name == "bd_rate") json << NumberJson(f.meanBdRate);
                if (name == "worst_bd_rate") json << NumberJson(f.worstBdRate);
                if (name == "worst_picture") json << JsonString(f.worstPicture);
                if (name == "least_overlap") json << NumberJson(f.leastOverlap);
                if (name == "per_picture") {
                    json << "[";
                    for (size_t p = 0; p < f.bdRates.size(); ++p) json << (p ? ", " : "") << NumberJson(f.bdRates[p]);
                    json << "]";
                }
            }
            json << "}";
        }
        json << "}";
    }
    json << "\n        ]}";
    return json.str();
}

std::string SideJson(const ComparisonResult& r, const ComparisonSide& side) {
    std::ostringstream json;
    json << "{\n    \"source\": " << JsonString(side.source) << ",\n    \"measures\": [";
    for (size_t m = 0; m < side.measures.size(); ++m)
        json << (m ? ", " : "") << JsonString(MeasureKey(side.measures[m]));
    json << "],\n    \"bands\": [";
    for (size_t i = 0; i < side.bands.size(); ++i)
        json << (i ? "," : "") << "\n      " << BandJson(r, side, side.bands[i]);
    json << "\n    ],\n    \"curves\": {";
    for (size_t c = 0; c < side.curves.size(); ++c) {
        json << (c ? "," : "") << "\n      " << JsonString(NameOf(r.candidates, c)) << ": {";
        for (size_t m = 0; m < side.measures.size(); ++m) {
            json << (m ? ", " : "") << JsonString(MeasureKey(side.measures[m])) << ": [";
            for (size_t p = 0; p < side.curves[c][m].size(); ++p)
                json << (p ? ", " : "") << CurveJson(side.curves[c][m][p]);
            json << "]";
        }
        json << "}";
    }
    json << "\n    }\n  }";
    return json.str();
}

// One band's table: rank, matrix, each measure's mean BD-rate (and the
// encoder's by the first measure beside, when confirmed), the worst
// picture by the first measure.
void PrintBandTable(std::FILE* out, const ComparisonResult& r, size_t band) {
    const ComparisonSide& side = r.predicted;
    const BandRanking& b = side.bands[band];
    std::fprintf(out, "  %4s %-12s", "rank", "matrix");
    for (QualityMeasure m : side.measures) std::fprintf(out, " %13s", MeasureTitle(m));
    if (r.confirmed) {
        for (QualityMeasure m : r.measured.measures) {
            if (Perceptual(m)) std::fprintf(out, " %13s", (r.measured.source + " " + MeasureTitle(m)).c_str());
        }
    }
    std::fprintf(out, "   worst picture (%s)\n", MeasureTitle(side.measures[0]));
    for (size_t rank = 0; rank < b.order.size(); ++rank) {
        const size_t c = b.order[rank];
        std::fprintf(out, "  %4zu %-12s", rank + 1, NameOf(r.candidates, c).c_str());
        for (size_t m = 0; m < side.measures.size(); ++m)
            std::fprintf(out, " %13s", Percent(b.figures[c][m].meanBdRate).c_str());
        if (r.confirmed) {
            for (size_t m = 0; m < r.measured.measures.size(); ++m) {
                if (Perceptual(r.measured.measures[m]))
                    std::fprintf(out, " %13s", Percent(r.measured.bands[band].figures[c][m].meanBdRate).c_str());
            }
        }
        const BandFigures& f = b.figures[c][0];
        std::fprintf(out, "   %s %s\n", c == 0 ? "" : Percent(f.worstBdRate).c_str(),
                     c == 0 ? "(the reference)" : f.worstPicture.c_str());
    }
}

}  // namespace

const char* MeasureTitle(QualityMeasure measure) { return QualityMeasureLabel(measure); }

std::string BandTitle(const RateBand& band) {
    if (band.Whole()) return "whole range";
    const std::string bpp = Printed("%g-%g bpp", band.lowBpp, band.highBpp);
    return band.name == "bpp" ? bpp : band.name + " (" + bpp + ")";
}

std::string BandRates(const ComparisonResult& r, const BandRanking& b) {
    if (!std::isfinite(b.finestCode)) return "no scale code of the default reaches it";
    std::string text = Printed("scale codes %.1f-%.1f", b.finestCode, b.coarsestCode);
    if (b.band.Whole()) text += Printed(", %.2f-%.2f bpp", b.lowBpp, b.highBpp);
    text += Printed("; %.2f-%.2f Mbit/s at 25/s, %.2f-%.2f Mbit/s at 29.97/s",
                    MbitPerSecond(b.lowBpp, r.meanPixels, kPalPicturesPerSecond),
                    MbitPerSecond(b.highBpp, r.meanPixels, kPalPicturesPerSecond),
                    MbitPerSecond(b.lowBpp, r.meanPixels, kNtscPicturesPerSecond),
                    MbitPerSecond(b.highBpp, r.meanPixels, kNtscPicturesPerSecond));
    return text + (r.width > 0 ? " for " + std::to_string(r.width) + "x" + std::to_string(r.height) + " pictures"
                               : Printed(" for pictures of %.0f pixels (their mean)", r.meanPixels));
}

std::string VerdictLine(const ComparisonSide& side, const BandRanking& b, const std::vector<Candidate>& candidates) {
    std::string line = BandTitle(b.band) + ": ";
    if (b.uncovered.size() == b.figures[0][0].bdRates.size())
        return line + "no picture's curve with the default reaches half of this band: give scale codes that do";
    const size_t best = b.order.front();
    const double saving = b.figures[best][0].meanBdRate;
    const char* measure = MeasureTitle(side.measures[0]);
    if (best == 0 || !(saving < 0)) {
        line += std::string("keep the default — no candidate needs fewer bytes for the same ") + measure;
    } else {
        line += "use " + NameOf(candidates, best) + " — " + Printed("%.1f %%", -saving) +
                " fewer bytes than the default for the same " + measure;
        for (size_t m = 1; m < side.measures.size(); ++m) {
            if (!Perceptual(side.measures[m])) continue;
            const double other = b.figures[best][m].meanBdRate;
            if (!std::isfinite(other)) continue;
            line += other <= 0 ? Printed(", %.1f %%", -other) + " by " + MeasureTitle(side.measures[m])
                               : Printed(", but %.1f %% more", other) + " by " + MeasureTitle(side.measures[m]);
        }
    }
    for (size_t c = 1; c < candidates.size(); ++c) {
        if (candidates[c].name != "flat16" || c == best) continue;
        const double flat = b.figures[c][0].meanBdRate;
        if (std::isfinite(flat))
            line += flat >= 0 ? Printed("; flat16 costs %.1f %%", flat) : Printed("; flat16 saves %.1f %%", -flat);
    }
    return line;
}

std::string Disagreement(const ComparisonSide& side, const BandRanking& b, const std::vector<Candidate>& candidates) {
    const size_t first = BestBy(b, 0);
    bool differs = false;
    std::string text = "the measures disagree: ";
    for (size_t m = 0; m < side.measures.size(); ++m) {
        const size_t best = BestBy(b, m);
        differs = differs || best != first;
        text += (m ? ", " : "") + std::string(MeasureTitle(side.measures[m])) + (m ? " " : " prefers ") +
                NameOf(candidates, best) + " (" + Percent(b.figures[best][m].meanBdRate) + ")";
    }
    return differs ? text : "";
}

std::vector<SideAgreement> CompareSides(const ComparisonResult& r) {
    std::vector<SideAgreement> agreements;
    if (!r.confirmed) return agreements;
    for (size_t i = 0; i < r.predicted.bands.size(); ++i) {
        const BandRanking& p = r.predicted.bands[i];
        const BandRanking& m = r.measured.bands[i];
        SideAgreement a;
        a.band = BandTitle(p.band);
        a.predictedBest = NameOf(r.candidates, BestBy(p, 0));
        a.measuredBest = NameOf(r.candidates, BestBy(m, 0));
        a.sameBest = a.predictedBest == a.measuredBest;
        for (size_t c = 1; c < r.candidates.size(); ++c) {
            const double difference = std::fabs(p.figures[c][0].meanBdRate - m.figures[c][0].meanBdRate);
            if (!(difference <= a.largestDifference))
                a.largestDifference = difference, a.largestAt = r.candidates[c].name;
        }
        if (p.uncovered.size() == r.pictures.size()) {
            a.sameBest = true;
            a.text = a.band + ": no picture reaches it";
            agreements.push_back(a);
            continue;
        }
        a.text = a.band + ": " + r.measured.source +
                 (a.sameBest ? " gives the same best matrix, " + a.predictedBest
                             : " gives " + a.measuredBest + " as best, predicted " + a.predictedBest) +
                 Printed("; predicted and measured mean BD-rates differ by at most %.2f points", a.largestDifference) +
                 " (" + a.largestAt + ")";
        agreements.push_back(a);
    }
    return agreements;
}

// ffmpeg's option for the matrix a band's verdict recommends; empty when it
// keeps the default or the matrix is none a stream carries.
std::string RecommendedOption(const BandRanking& b, const std::vector<Candidate>& candidates) {
    if (b.uncovered.size() == b.figures[0][0].bdRates.size()) return "";
    const size_t best = b.order.front();
    if (best == 0 || !(b.figures[best][0].meanBdRate < 0)) return "";
    if (!StreamLimitNote(candidates[best].matrix).empty()) return "";
    return FfmpegMatrixOption(candidates[best].matrix, candidates[best].name);
}

void PrintComparison(std::FILE* out, const ComparisonResult& r) {
    std::fprintf(out, "%zu matrices on %zu pictures, model %s, scale codes", r.candidates.size(), r.pictures.size(),
                 r.model.c_str());
    for (size_t i = 0; i < r.scaleCodes.size(); ++i) std::fprintf(out, "%s%d", i ? "," : " ", r.scaleCodes[i]);
    std::fprintf(out, "\nBD-rates against the default matrix (negative: fewer bytes for the same quality)\n");
    for (size_t i = 0; i < r.predicted.bands.size(); ++i) {
        const BandRanking& b = r.predicted.bands[i];
        std::fprintf(out, "\n%s: %s\n", BandTitle(b.band).c_str(), BandRates(r, b).c_str());
        if (!b.uncovered.empty())
            std::fprintf(out, "  (%zu pictures do not reach this band and are left out)\n", b.uncovered.size());
        PrintBandTable(out, r, i);
        std::fprintf(out, "  %s\n", VerdictLine(r.predicted, b, r.candidates).c_str());
        const std::string option = RecommendedOption(b, r.candidates);
        if (!option.empty()) std::fprintf(out, "    ffmpeg: %s\n", option.c_str());
        const std::string disagreement = Disagreement(r.predicted, b, r.candidates);
        if (!disagreement.empty()) std::fprintf(out, "  %s\n", disagreement.c_str());
        if (r.confirmed) {
            std::fprintf(out, "  measured by %s: %s\n", r.measured.source.c_str(),
                         VerdictLine(r.measured, r.measured.bands[i], r.candidates).c_str());
        }
    }
    if (!r.notes.empty()) std::fprintf(out, "\n");
    for (const std::string& note : r.notes) std::fprintf(out, "%s\n", note.c_str());
}

std::string ComparisonJson(const ComparisonResult& r) {
    std::ostringstream json;
    json << "{\n  \"model\": " << JsonString(r.model) << ",\n  \"scale_codes\": [";
    for (size_t i = 0; i < r.scaleCodes.size(); ++i) json << (i ? ", " : "") << r.scaleCodes[i];
    json << "],\n  \"pictures\": [";
    for (size_t i = 0; i < r.pictures.size(); ++i)
        json << (i ? ", " : "") << "{\"name\": " << JsonString(r.pictures[i])
             << ", \"weight\": " << NumberJson(r.weights[i]) << "}";
    json << "],\n  \"candidates\": [";
    for (size_t c = 0; c < r.candidates.size(); ++c) {
        json << (c ? "," : "") << "\n    {\"name\": " << JsonString(r.candidates[c].name) << ", \"matrix\": [";
        for (size_t i = 0; i < r.candidates[c].matrix.size(); ++i) json << (i ? "," : "") << r.candidates[c].matrix[i];
        json << "]}";
    }
    json << "\n  ],\n  \"predicted\": " << SideJson(r, r.predicted);
    json << ",\n  \"measured\": " << (r.confirmed ? SideJson(r, r.measured) : std::string("null"));
    json << ",\n  \"agreement\": [";
    const std::vector<SideAgreement> agreements = CompareSides(r);
    for (size_t i = 0; i < agreements.size(); ++i) {
        const SideAgreement& a = agreements[i];
        json << (i ? "," : "") << "\n    {\"band\": " << JsonString(a.band)
             << ", \"same_best\": " << (a.sameBest ? "true" : "false")
             << ", \"predicted_best\": " << JsonString(a.predictedBest)
             << ", \"measured_best\": " << JsonString(a.measuredBest)
             << ", \"largest_difference\": " << NumberJson(a.largestDifference)
             << ", \"largest_at\": " << JsonString(a.largestAt) << "}";
    }
    json << "\n  ],\n  \"notes\": [";
    for (size_t i = 0; i < r.notes.size(); ++i) json << (i ? ", " : "") << JsonString(r.notes[i]);
    json << "]\n}\n";
    return json.str();
}

}  // namespace vardelk
