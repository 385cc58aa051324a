#include "search/objective.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "parallel/parallel_for.h"

namespace vardelk {

const char* QualityMeasureName(QualityMeasure measure) {
    switch (measure) {
        case QualityMeasure::kPsnrY:
            return "psnr";
        case QualityMeasure::kSsim:
            return "ssim";
        case QualityMeasure::kPsnr611:
            return "psnr611";
    }
    return "?";
}

bool ParseQualityMeasure(const std::string& text, QualityMeasure* measure) {
    for (QualityMeasure m : {QualityMeasure::kPsnrY, QualityMeasure::kSsim, QualityMeasure::kPsnr611}) {
        if (text == QualityMeasureName(m)) {
            *measure = m;
            return true;
        }
    }
    return false;
}

double MeasureQuality(QualityMeasure measure, const PointResult& point) {
    switch (measure) {
        case QualityMeasure::kPsnrY:
            return point.error.y.Psnr();
        case QualityMeasure::kSsim:
            return SsimDb(point.ssim.all.Ssim());
        case QualityMeasure::kPsnr611:
            return (6.0 * point.error.y.Psnr() + point.error.cb.Psnr() + point.error.cr.Psnr()) / 8.0;
    }
    return std::numeric_limits<double>::quiet_NaN();
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

double PooledBdRate(const std::vector<double>& bdRates) {
    if (bdRates.empty()) return std::numeric_limits<double>::infinity();
    double sum = 0.0;
    for (double rate : bdRates) {
        if (!std::isfinite(rate)) return std::numeric_limits<double>::infinity();
        sum += rate;
    }
    return sum / double(bdRates.size());
}

Objective::Objective(const std::vector<CodedPicture>& pictures, QualityMeasure measure, std::vector<int32_t> scaleCodes,
                     int32_t threads, double minimumOverlap)
    : pictures_(pictures),
      measure_(measure),
      scaleCodes_(std::move(scaleCodes)),
      threads_(threads),
      minimumOverlap_(minimumOverlap) {
    SearchMatrix defaultMatrix;
    for (int i = 0; i < kMatrixEntries; ++i) defaultMatrix[size_t(i)] = kDefaultIntraMatrix[i];
    anchor_ = Curves(defaultMatrix);
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
    const size_t codes = scaleCodes_.size();
    std::vector<RdCurveData> curves(pictures_.size(), RdCurveData(codes));
    const PointMeasures needs = measure_ == QualityMeasure::kSsim    ? PointMeasures::kSsim
                                : measure_ == QualityMeasure::kPsnrY ? PointMeasures::kLumaPsnr
                                                                     : PointMeasures::kPsnr;
    ParallelFor(threads_, int64_t(pictures_.size() * codes), [&](int64_t task) {
        const size_t picture = size_t(task) / codes, code = size_t(task) % codes;
        std::unique_ptr<PointCoder> coder = TakeCoder();
        const PointResult point = coder->Code(pictures_[picture], matrix.data(), scaleCodes_[code], false, needs);
        ReturnCoder(std::move(coder));
        curves[picture][code] = CurvePoint{scaleCodes_[code], double(point.bytes), MeasureQuality(measure_, point)};
    });
    return curves;
}

MatrixScore Objective::ScoreCurves(std::vector<RdCurveData> curves) const {
    MatrixScore score;
    bool overlapping = true;
    for (size_t p = 0; p < curves.size(); ++p) {
        const BdFigure figure = CurveBdFigure(anchor_[p], curves[p]);
        score.bdRates.push_back(figure.computable ? figure.value : std::numeric_limits<double>::quiet_NaN());
        score.overlaps.push_back(std::min(figure.anchorOverlap, figure.testOverlap));
        overlapping = overlapping && score.overlaps.back() >= minimumOverlap_;
    }
    score.objective = overlapping ? PooledBdRate(score.bdRates) : std::numeric_limits<double>::infinity();
    score.curves = std::move(curves);
    return score;
}

MatrixScore Objective::Score(const SearchMatrix& matrix) const { return ScoreCurves(Curves(matrix)); }

}  // namespace vardelk
