#include "compare/comparison.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>

#include "clip/clip_source.h"
#include "compare/compare_error.h"
#include "compare/compare_report.h"
#include "compare/comparison_outputs.h"
#include "matrix/known_matrices.h"
#include "parallel/heap_reuse.h"
#include "parallel/parallel_for.h"
#include "search/coded_picture.h"
#include "search/encoder_confirmation.h"
#include "search/matrix_family.h"
#include "search/picture_list.h"

namespace vardelk {
namespace {

using CurveSet = std::vector<std::vector<std::vector<RdCurveData>>>;  // [candidate][measure][picture]

// The default first, each matrix once.
std::vector<Candidate> CandidatesOf(const ComparisonOptions& o) {
    std::vector<Candidate> given = o.candidates.empty() ? DefaultCandidates() : o.candidates;
    std::vector<Candidate> candidates = {Candidate{"default", DefaultSearchMatrix()}};
    for (const Candidate& c : given) {
        const bool seen =
            std::any_of(candidates.begin(), candidates.end(), [&](const Candidate& k) { return k.matrix == c.matrix; });
        if (!seen) candidates.push_back(c);
    }
    if (candidates.size() < 2) throw CompareError("no matrix to compare with the default");
    return candidates;
}

// Every candidate on every picture at every code, the points spread over
// the threads, each with a point coder of its own thread's.
CurveSet PredictedCurves(const ComparisonOptions& o, const std::vector<CodedPicture>& pictures,
                         const std::vector<Candidate>& candidates, const std::vector<int32_t>& codes,
                         const std::vector<QualityMeasure>& measures) {
    const size_t perCandidate = pictures.size() * codes.size();
    CurveSet curves(candidates.size(),
                    std::vector<std::vector<RdCurveData>>(
                        measures.size(), std::vector<RdCurveData>(pictures.size(), RdCurveData(codes.size()))));
    std::mutex lock;
    std::vector<std::unique_ptr<PointCoder>> idle;
    std::atomic<int64_t> done{0};
    const int64_t total = int64_t(candidates.size() * perCandidate);
    const PointMeasures needs = MeasuresFor(measures);
    ParallelFor(o.threads, total, [&](int64_t task) {
        if (o.checkStop) o.checkStop();
        // Picture by picture, so that a picture's prepared original is
        // made once, early, and shared.
        const size_t picture = size_t(task) / (codes.size() * candidates.size());
        const size_t rest = size_t(task) % (codes.size() * candidates.size());
        const size_t candidate = rest / codes.size(), code = rest % codes.size();
        std::unique_ptr<PointCoder> coder;
        {
            const std::lock_guard<std::mutex> hold(lock);
            if (!idle.empty()) coder = std::move(idle.back()), idle.pop_back();
        }
        if (!coder) coder = std::make_unique<PointCoder>();
        const CodedPicture& coded = pictures[picture];
        const SearchMatrix& matrix = candidates[candidate].matrix;
        const PointResult point = coder->Code(coded, matrix.data(), codes[code], false, needs, o.model);
        const double bytes = double(point.bytes) + double(MatrixLoadBytes(o.model, matrix.data())) +
                             StreamHeaderBytes(o.model, coded.columns, coded.rows);
        for (size_t m = 0; m < measures.size(); ++m)
            curves[candidate][m][picture][code] = CurvePoint{codes[code], bytes, MeasureQuality(measures[m], point)};
        const std::lock_guard<std::mutex> hold(lock);
        idle.push_back(std::move(coder));
        if (o.progress) o.progress(++done, total);
    });
    return curves;
}

CurveSet MeasuredCurves(const ComparisonOptions& o, const std::vector<CodedPicture>& pictures,
                        const std::vector<Candidate>& candidates, const std::vector<int32_t>& codes,
                        const std::vector<QualityMeasure>& measures) {
    const ConfirmingEncoder encoder = FindConfirmingEncoder(o.model);
    if (encoder.name.empty()) throw CompareError("cannot confirm: " + encoder.missing);
    const EncoderConfirmation runner(encoder, o.model, pictures);
    const auto stop = [&] {
        if (!o.checkStop) return false;
        try {
            o.checkStop();
        } catch (...) {
            return true;
        }
        return false;
    };
    CurveSet curves;
    const int64_t perCandidate = int64_t(pictures.size() * codes.size());
    for (const Candidate& c : candidates) {
        std::optional<std::vector<std::vector<RdCurveData>>> coded;
        try {
            coded = runner.CurvesByMeasure(c.matrix, codes, measures, o.threads, stop);
        } catch (const std::exception&) {
            if (stop()) o.checkStop();  // the run failed of the same stop
            throw;
        }
        if (!coded) {
            if (o.checkStop) o.checkStop();
            throw CompareError("the confirmation was stopped");
        }
        curves.push_back(std::move(*coded));
        if (o.progress) o.progress(int64_t(curves.size()) * perCandidate, int64_t(candidates.size()) * perCandidate);
    }
    return curves;
}

double WeightedMean(const std::vector<double>& values, const std::vector<double>& weights) {
    double sum = 0.0, total = 0.0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (!std::isfinite(values[i])) continue;
        sum += weights[i] * values[i];
        total += weights[i];
    }
    return total > 0 ? sum / total : NAN;
}

ComparisonSide RankSide(std::string source, std::vector<QualityMeasure> measures, CurveSet curves,
                        const ComparisonResult& r, const std::vector<double>& pixels,
                        const std::vector<RateBand>& bands) {
    ComparisonSide side{std::move(source), std::move(measures), std::move(curves), {}};
    for (const RateBand& band : bands) side.bands.push_back(RankBand(side.curves, r.pictures, r.weights, pixels, band));
    side.bands.push_back(RankBand(side.curves, r.pictures, r.weights, pixels, WholeRange()));
    return side;
}

}  // namespace

std::vector<Candidate> DefaultCandidates() {
    std::vector<Candidate> candidates;
    for (const KnownMatrix& known : KnownMatrices()) candidates.push_back(Candidate{known.name, known.entries});
    return candidates;
}

std::vector<int32_t> DefaultCompareCodes() { return {2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 14, 16, 19, 22, 26, 31}; }

BandRanking RankBand(const CurveSet& curves, const std::vector<std::string>& pictures,
                     const std::vector<double>& weights, const std::vector<double>& pixels, const RateBand& band) {
    BandRanking ranking;
    ranking.band = band;
    const size_t measures = curves.front().size();
    // The band on each picture's default curve, by each measure.
    std::vector<std::vector<PictureBand>> onDefault(measures);
    ranking.finestCode = INFINITY, ranking.coarsestCode = -INFINITY;
    ranking.lowBpp = band.Whole() ? INFINITY : band.lowBpp;
    ranking.highBpp = band.Whole() ? 0.0 : band.highBpp;
    for (size_t p = 0; p < pictures.size(); ++p) {
        for (size_t m = 0; m < measures; ++m) onDefault[m].push_back(BandOnCurve(curves[0][m][p], pixels[p], band));
        const PictureBand& b = onDefault[0][p];
        if (!b.covered || b.coverage < kLeastBandCoverage) {
            ranking.uncovered.push_back(pictures[p]);
            continue;
        }
        ranking.finestCode = std::min(ranking.finestCode, b.codeAtHigh);
        ranking.coarsestCode = std::max(ranking.coarsestCode, b.codeAtLow);
        for (const CurvePoint& point : curves[0][0][p]) {
            if (!band.Whole()) break;
            ranking.lowBpp = std::min(ranking.lowBpp, BitsPerPixel(point.bytes, pixels[p]));
            ranking.highBpp = std::max(ranking.highBpp, BitsPerPixel(point.bytes, pixels[p]));
        }
    }
    for (size_t c = 0; c < curves.size(); ++c) {
        std::vector<BandFigures> byMeasure;
        for (size_t m = 0; m < measures; ++m) {
            BandFigures f;
            f.worstBdRate = -INFINITY;
            for (size_t p = 0; p < pictures.size(); ++p) {
                const PictureBand& b = onDefault[m][p];
                const bool counts = b.covered && b.coverage >= kLeastBandCoverage;
                double rate = NAN;
                if (counts && c == 0) {
                    rate = 0.0;
                } else if (counts) {
                    const BdFigure figure =
                        band.Whole() ? CurveBdFigure(curves[0][m][p], curves[c][m][p])
                                     : CurveBdFigure(CurveWithin(curves[0][m][p], b.qualityLow, b.qualityHigh),
                                                     CurveWithin(curves[c][m][p], b.qualityLow, b.qualityHigh));
                    if (figure.computable) rate = figure.value;
                    f.leastOverlap = std::min(f.leastOverlap, figure.computable ? figure.anchorOverlap : 0.0);
                }
                f.bdRates.push_back(rate);
                if (std::isfinite(rate) && rate > f.worstBdRate) f.worstBdRate = rate, f.worstPicture = pictures[p];
            }
            f.meanBdRate = WeightedMean(f.bdRates, weights);
            if (f.worstPicture.empty()) f.worstBdRate = NAN;
            byMeasure.push_back(std::move(f));
        }
        ranking.figures.push_back(std::move(byMeasure));
    }
    ranking.order.resize(curves.size());
    std::iota(ranking.order.begin(), ranking.order.end(), size_t{0});
    std::stable_sort(ranking.order.begin(), ranking.order.end(), [&](size_t a, size_t b) {
        const double x = ranking.figures[a][0].meanBdRate, y = ranking.figures[b][0].meanBdRate;
        if (std::isnan(x) || std::isnan(y)) return !std::isnan(x) && std::isnan(y);
        return x < y;
    });
    return ranking;
}

ComparisonResult RunComparison(const ComparisonOptions& o) {
    ReuseFreedLargeBlocks();  // every candidate measures many points
    ComparisonResult r;
    r.candidates = CandidatesOf(o);
    r.scaleCodes = o.scaleCodes.empty() ? DefaultCompareCodes() : o.scaleCodes;
    if (r.scaleCodes.size() < 2) throw CompareError("the curves need at least two scale codes");
    r.model = DescribeModel(o.model);
    const std::vector<RateBand>& bands = o.bands;
    std::vector<QualityMeasure> measures = o.measures;
    if (measures.empty()) {
        measures = {QualityMeasure::kSsimulacra2, QualityMeasure::kButteraugli, QualityMeasure::kSsim,
                    QualityMeasure::kPsnrY};
        if (!o.butteraugli) measures.erase(measures.begin() + 1);
    }

    const std::vector<CodedPicture> pictures = LoadCodedPictures(o.inputs, o.frames, o.model, o.threads, o.checkStop);
    if (pictures.empty()) throw CompareError("no pictures to compare the matrices on");
    r.weights = PictureWeights(pictures);
    std::vector<double> pixels;
    r.width = pictures.front().format.width, r.height = pictures.front().format.height;
    for (const CodedPicture& p : pictures) {
        r.pictures.push_back(p.name);
        pixels.push_back(double(p.format.width) * double(p.format.height));
        r.meanPixels += pixels.back() / double(pictures.size());
        if (p.format.width != r.width || p.format.height != r.height) r.width = r.height = 0;
    }

    r.predicted = RankSide("predicted", measures, PredictedCurves(o, pictures, r.candidates, r.scaleCodes, measures), r,
                           pixels, bands);
    if (o.confirm) {
        const ConfirmingEncoder encoder = FindConfirmingEncoder(o.model);
        r.measured = RankSide(encoder.name, measures, MeasuredCurves(o, pictures, r.candidates, r.scaleCodes, measures),
                              r, pixels, bands);
        r.confirmed = true;
    }
    for (const SideAgreement& agreement : CompareSides(r)) r.notes.push_back(agreement.text);
    if (!o.outputFolder.empty()) r.written = WriteComparisonOutputs(r, o.outputFolder, o.plottedCandidates);
    return r;
}

}  // namespace vardelk
