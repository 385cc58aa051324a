#include "search/objective.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "media/name_table.h"
#include "parallel/parallel_for.h"
#include "search/operating_range.h"
#include "stream/stream_headers.h"

namespace vardelk {

namespace {

// The measures a search can take, in the order reports list them, then
// the one only a confirmation measures.
constexpr NamedValue<QualityMeasure> kMeasureNames[] = {
    {QualityMeasure::kPsnrY, "psnr"},
    {QualityMeasure::kSsim, "ssim"},
    {QualityMeasure::kPsnr611, "psnr611"},
    {QualityMeasure::kSsimulacra2, "ssimulacra2"},
    {QualityMeasure::kButteraugli, "butteraugli"},
    {kSsimulacra2Butteraugli, "ssimulacra2+butteraugli"},
};

// The same as a plot's axis names them.
constexpr NamedValue<QualityMeasure> kMeasureTitles[] = {
    {QualityMeasure::kPsnrY, "Y PSNR (dB)"},
    {QualityMeasure::kSsim, "SSIM dB, -10 log10(1 - SSIM)"},
    {QualityMeasure::kPsnr611, "PSNR 6:1:1 (dB)"},
    {QualityMeasure::kSsimulacra2, "SSIMULACRA 2"},
    {QualityMeasure::kButteraugli, "-ln Butteraugli 3-norm"},
    {kSsimulacra2Butteraugli, "SSIMULACRA 2 (and Butteraugli)"},
};

// The same as a table's column and a verdict name them.
constexpr NamedValue<QualityMeasure> kMeasureLabels[] = {
    {QualityMeasure::kPsnrY, "luma PSNR"},         {QualityMeasure::kSsim, "SSIM"},
    {QualityMeasure::kPsnr611, "PSNR 6:1:1"},      {QualityMeasure::kSsimulacra2, "SSIMULACRA 2"},
    {QualityMeasure::kButteraugli, "Butteraugli"}, {kSsimulacra2Butteraugli, "SSIMULACRA 2 + Butteraugli"},
};

}  // namespace

const char* QualityMeasureName(QualityMeasure measure) { return NameIn(kMeasureNames, measure); }

bool ParseQualityMeasure(const std::string& text, QualityMeasure* measure) {
    QualityMeasure named = QualityMeasure::kPsnrY;
    if (!ParseNameIn(kMeasureNames, text, &named)) return false;
    *measure = named;
    return true;
}

const char* QualityMeasureTitle(QualityMeasure measure) { return NameIn(kMeasureTitles, measure); }

const char* QualityMeasureLabel(QualityMeasure measure) { return NameIn(kMeasureLabels, measure); }

std::vector<std::string> SearchMeasureNames() {
    std::vector<std::string> names;
    for (QualityMeasure m : AllQualityMeasures()) names.push_back(QualityMeasureName(m));
    names.push_back(QualityMeasureName(QualityMeasure::kButteraugli));
    names.push_back(QualityMeasureName(kSsimulacra2Butteraugli));
    return names;
}

double MeasureQuality(QualityMeasure measure, const PointResult& point) {
    switch (measure) {
        case QualityMeasure::kPsnrY:
            return point.error.y.Psnr();
        case QualityMeasure::kSsim:
            return SsimDb(point.ssim.all.Ssim());
        case QualityMeasure::kPsnr611:
            return (6.0 * point.error.y.Psnr() + point.error.cb.Psnr() + point.error.cr.Psnr()) / 8.0;
        case QualityMeasure::kSsimulacra2:
        case QualityMeasure::kSsimulacra2Butteraugli:  // a point's quality by both is its SSIMULACRA 2
            return point.ssimulacra2;
        case QualityMeasure::kButteraugli:
            return -std::log(point.butteraugli);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

PointMeasures MeasuresFor(QualityMeasure measure) {
    switch (measure) {
        case QualityMeasure::kPsnrY:
            return kMeasureLumaPsnr;
        case QualityMeasure::kSsim:
            return kMeasureSsim;
        case QualityMeasure::kPsnr611:
            return kMeasurePsnr;
        case QualityMeasure::kSsimulacra2:
            return kMeasureSsimulacra2;
        case QualityMeasure::kButteraugli:
            return kMeasureButteraugli;
        case QualityMeasure::kSsimulacra2Butteraugli:
            return kMeasureSsimulacra2 | kMeasureButteraugli;
    }
    return 0;
}

PointMeasures MeasuresFor(const std::vector<QualityMeasure>& measures) {
    PointMeasures needs = 0;
    for (QualityMeasure m : measures) needs |= MeasuresFor(m);
    return needs;
}

const std::vector<QualityMeasure>& AllQualityMeasures() {
    static const std::vector<QualityMeasure> all = {QualityMeasure::kPsnrY, QualityMeasure::kSsim,
                                                    QualityMeasure::kPsnr611, QualityMeasure::kSsimulacra2};
    return all;
}

const std::vector<QualityMeasure>& Opinions(QualityMeasure measure) {
    static const std::vector<QualityMeasure> pair = {QualityMeasure::kSsimulacra2, QualityMeasure::kButteraugli};
    static const std::vector<QualityMeasure> singles[] = {{QualityMeasure::kPsnrY},
                                                          {QualityMeasure::kSsim},
                                                          {QualityMeasure::kPsnr611},
                                                          {QualityMeasure::kSsimulacra2},
                                                          {QualityMeasure::kButteraugli}};
    if (measure == kSsimulacra2Butteraugli) return pair;
    return singles[size_t(measure)];
}

bool NeedsButteraugli(QualityMeasure measure) { return (MeasuresFor(measure) & kMeasureButteraugli) != 0; }

namespace {

// The search codes progressive frames.
const StreamOverhead& SearchStreamOverhead() {
    static const StreamOverhead overhead = StreamOverheadOf(false);
    return overhead;
}

}  // namespace

int64_t MatrixLoadBytes(const CodingModel& model, const int32_t matrix[kMatrixEntries], bool loadEveryMatrix) {
    if (!model.CountsStreamOverhead()) return 0;
    // The DC entry is not used for intra blocks; only the AC entries decide.
    const bool loads = loadEveryMatrix || !std::equal(matrix + 1, matrix + kMatrixEntries, kDefaultIntraMatrix + 1);
    return loads ? SearchStreamOverhead().loadedMatrixBits / 8 : 0;
}

double StreamHeaderBytes(const CodingModel& model, int32_t columns, int32_t rows) {
    if (!model.CountsStreamOverhead()) return 0.0;
    const StreamOverhead& bits = SearchStreamOverhead();
    const int64_t rowBits = bits.sliceHeaderBits + int64_t{columns} * bits.macroblockHeaderBits;
    return double(bits.pictureHeaderBits + int64_t{rows} * rowBits) / 8.0;
}

BdFigure CurveBdFigure(const RdCurveData& anchor, const RdCurveData& test) {
    std::vector<BdPoint> a, t;
    for (const CurvePoint& p : anchor) a.push_back(BdPoint{p.bytes, p.quality});
    for (const CurvePoint& p : test) t.push_back(BdPoint{p.bytes, p.quality});
    return BjontegaardDelta(a, t, BdInterpolation::kPchip).rate;
}

double CurveBdRate(const RdCurveData& anchor, const RdCurveData& test) {
    const BdFigure figure = CurveBdFigure(anchor, test);
    return figure.computable ? figure.value : std::numeric_limits<double>::quiet_NaN();
}

double WeightedBdRate(const std::vector<double>& bdRates, const std::vector<double>& weights) {
    if (bdRates.empty() || bdRates.size() != weights.size()) return std::numeric_limits<double>::infinity();
    double sum = 0.0, total = 0.0;
    for (size_t i = 0; i < bdRates.size(); ++i) {
        if (!std::isfinite(bdRates[i])) return std::numeric_limits<double>::infinity();
        sum += weights[i] * bdRates[i];
        total += weights[i];
    }
    return total > 0 ? sum / total : std::numeric_limits<double>::infinity();
}

std::vector<double> PictureWeights(const std::vector<CodedPicture>& pictures) {
    std::vector<double> macroblocks;
    for (const CodedPicture& p : pictures) macroblocks.push_back(double(p.columns) * double(p.rows));
    if (macroblocks.empty()) return macroblocks;
    std::vector<double> sorted = macroblocks;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    const double median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    double total = 0.0;
    for (double& m : macroblocks) total += (m = std::min(m, 2 * median));
    for (double& m : macroblocks) m /= total;
    return macroblocks;
}

Objective::Objective(const std::vector<CodedPicture>& pictures, QualityMeasure measure, std::vector<int32_t> scaleCodes,
                     int32_t threads, const ObjectiveOptions& options)
    : pictures_(pictures),
      measure_(measure),
      scaleCodes_(std::move(scaleCodes)),
      threads_(threads),
      options_(options),
      weights_(PictureWeights(pictures)) {
    SearchMatrix matrix;
    for (int i = 0; i < kMatrixEntries; ++i) matrix[size_t(i)] = kDefaultIntraMatrix[i];
    anchor_ = Curves(matrix);
    matrix.fill(16);
    matrix[0] = kDefaultIntraMatrix[0];
    flat_ = Curves(matrix);
    intervals_.assign(anchor_.size(), {0.0, 0.0});
    if (options_.highBpp <= 0.0) return;
    const RateBand band{"bpp", options_.lowBpp, options_.highBpp};
    for (size_t i = 0; i < anchor_.size(); ++i) {
        const Y4mFormat& format = pictures_[i % pictures_.size()].format;
        const double pixels = double(format.width) * double(format.height);
        const PictureBand on = BandOnCurve(anchor_[i], pixels, band);
        // A picture the default brings to the band's higher rate only at
        // the finest codes leaves a steeper matrix no code fine enough to
        // reach the same quality there: its curve would share too little
        // of the band and it would be refused for that alone. Such a
        // picture, like one the band misses, counts over the whole range.
        const bool roomAbove =
            !anchor_[i].empty() && BitsPerPixel(anchor_[i].front().bytes, pixels) >= kBandRoomAbove * band.highBpp;
        if (on.covered && roomAbove && on.qualityHigh > on.qualityLow) intervals_[i] = {on.qualityLow, on.qualityHigh};
    }
}

Objective::~Objective() = default;

std::unique_ptr<PointCoder> Objective::TakeCoder() const {
    const std::lock_guard<std::mutex> hold(coderLock_);
    if (idleCoders_.empty()) return std::make_unique<PointCoder>();
    std::unique_ptr<PointCoder> coder = std::move(idleCoders_.back());
    idleCoders_.pop_back();
    return coder;
}

void Objective::ReturnCoder(std::unique_ptr<PointCoder> coder) const {
    const std::lock_guard<std::mutex> hold(coderLock_);
    idleCoders_.push_back(std::move(coder));
}

std::vector<RdCurveData> Objective::Curves(const SearchMatrix& matrix) const {
    std::vector<std::vector<RdCurveData>> byOpinion = CurvesByMeasure(matrix, Opinions(measure_));
    std::vector<RdCurveData> curves = std::move(byOpinion.front());
    for (size_t o = 1; o < byOpinion.size(); ++o)
        curves.insert(curves.end(), std::make_move_iterator(byOpinion[o].begin()),
                      std::make_move_iterator(byOpinion[o].end()));
    return curves;
}

std::vector<std::vector<RdCurveData>> Objective::CurvesByMeasure(const SearchMatrix& matrix,
                                                                 const std::vector<QualityMeasure>& measures) const {
    const size_t codes = scaleCodes_.size();
    std::vector<std::vector<RdCurveData>> curves(measures.size(),
                                                 std::vector<RdCurveData>(pictures_.size(), RdCurveData(codes)));
    const PointMeasures needs = MeasuresFor(measures);
    const double loadBytes = double(MatrixLoadBytes(options_.model, matrix.data(), options_.loadEveryMatrix));
    ParallelFor(threads_, int64_t(pictures_.size() * codes), [&](int64_t task) {
        const size_t picture = size_t(task) / codes, code = size_t(task) % codes;
        std::unique_ptr<PointCoder> coder = TakeCoder();
        const PointResult point =
            coder->Code(pictures_[picture], matrix.data(), scaleCodes_[code], false, needs, options_.model);
        ReturnCoder(std::move(coder));
        const CodedPicture& coded = pictures_[picture];
        const double bytes =
            double(point.bytes) + loadBytes + StreamHeaderBytes(options_.model, coded.columns, coded.rows);
        for (size_t m = 0; m < measures.size(); ++m)
            curves[m][picture][code] = CurvePoint{scaleCodes_[code], bytes, MeasureQuality(measures[m], point)};
    });
    return curves;
}

MatrixScore Objective::ScoreRecounted(const SearchMatrix& matrix, std::vector<RdCurveData> curves,
                                      const Objective& codedBy) const {
    const double load = double(MatrixLoadBytes(options_.model, matrix.data(), options_.loadEveryMatrix));
    const double codedLoad =
        double(MatrixLoadBytes(codedBy.options_.model, matrix.data(), codedBy.options_.loadEveryMatrix));
    if (load != codedLoad) {
        // (point + codedLoad + headers) - codedLoad + load: every term a
        // multiple of 1/8 far below 2^50, so each sum is exact.
        for (RdCurveData& curve : curves) {
            for (CurvePoint& p : curve) p.bytes = p.bytes - codedLoad + load;
        }
    }
    return ScoreCurves(std::move(curves));
}

MatrixScore Objective::ScoreCurves(std::vector<RdCurveData> curves) const {
    const size_t opinions = Opinions(measure_).size();
    if (opinions == 1) {
        MatrixScore score = ScoreOpinion(std::move(curves), 0);
        score.opinionObjectives = {score.objective};
        return score;
    }
    const size_t pictures = pictures_.size();
    if (curves.size() != opinions * pictures) throw std::logic_error("curves of another objective");
    std::vector<double> objectives;
    MatrixScore worst;
    for (size_t o = 0; o < opinions; ++o) {
        auto first = curves.begin() + ptrdiff_t(o * pictures);
        MatrixScore score = ScoreOpinion(std::vector<RdCurveData>(first, first + ptrdiff_t(pictures)), o);
        objectives.push_back(score.objective);
        // A score is finite or +infinity, never NaN; the first opinion wins
        // a tie.
        if (o == 0 || score.objective > worst.objective) worst = std::move(score);
    }
    worst.opinionObjectives = std::move(objectives);
    worst.curves = std::move(curves);
    return worst;
}

// The penalty: sqrt(sum w_i max(0, g_i - mean_w g)^2) over the figures g_i
// against each picture's better reference.
MatrixScore Objective::ScoreOpinion(std::vector<RdCurveData> curves, size_t opinion) const {
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    const size_t offset = opinion * pictures_.size();
    MatrixScore score;
    bool overlapping = true;
    for (size_t p = 0; p < curves.size(); ++p) {
        const auto [low, high] = intervals_[offset + p];
        const auto within = [low = low, high = high](const RdCurveData& curve) {
            return high > low ? CurveWithin(curve, low, high) : curve;
        };
        const RdCurveData candidate = within(curves[p]);
        const BdFigure figure = CurveBdFigure(within(anchor_[offset + p]), candidate);
        const double rate = figure.computable ? figure.value : kNan;
        const BdFigure flat = CurveBdFigure(within(flat_[offset + p]), candidate);
        score.bdRates.push_back(rate);
        score.bestReferenceBdRates.push_back(flat.computable ? std::max(rate, flat.value) : rate);
        score.overlaps.push_back(std::max(std::min(figure.anchorOverlap, figure.testOverlap),
                                          std::min(flat.anchorOverlap, flat.testOverlap)));
        overlapping = overlapping && score.overlaps.back() >= options_.minimumOverlap;
    }
    score.meanBdRate = WeightedBdRate(score.bdRates, weights_);
    const double meanBest = WeightedBdRate(score.bestReferenceBdRates, weights_);
    double squares = 0.0;
    for (size_t p = 0; p < curves.size() && std::isfinite(meanBest); ++p) {
        const double above = std::max(0.0, score.bestReferenceBdRates[p] - meanBest);
        squares += weights_[p] * above * above;
    }
    score.spread = std::sqrt(squares);
    score.objective = overlapping && std::isfinite(meanBest) ? score.meanBdRate + options_.spreadWeight * score.spread
                                                             : std::numeric_limits<double>::infinity();
    score.curves = std::move(curves);
    return score;
}

MatrixScore Objective::Score(const SearchMatrix& matrix) const { return ScoreCurves(Curves(matrix)); }

MatrixScore Objective::ScoreAgainst(const SearchMatrix& matrix, double bound) const {
    const std::vector<QualityMeasure>& opinions = Opinions(measure_);
    if (opinions.size() == 1) return Score(matrix);
    // Every point is coded again for the later opinions: the coding costs
    // little beside their measures, and the figures are those of one
    // coding (the coder is deterministic).
    std::vector<RdCurveData> curves = std::move(CurvesByMeasure(matrix, {opinions.front()}).front());
    MatrixScore first = ScoreOpinion(curves, 0);
    if (first.objective >= bound) {
        first.opinionObjectives = {first.objective};
        first.complete = false;
        return first;
    }
    const std::vector<QualityMeasure> later(opinions.begin() + 1, opinions.end());
    for (std::vector<RdCurveData>& byOpinion : CurvesByMeasure(matrix, later))
        curves.insert(curves.end(), std::make_move_iterator(byOpinion.begin()),
                      std::make_move_iterator(byOpinion.end()));
    return ScoreCurves(std::move(curves));
}

}  // namespace vardelk
