// The search's objective: how much rate a matrix saves against the
// standard's default matrix over a range of scale codes, for one quality
// measure, pooled over a set of pictures.
//
// Each picture gets its own rate-distortion curve (estimated bytes against
// the measure, one point per scale code) and its own BD-rate against the
// default matrix's curve (PCHIP). The objective is the plain mean of the
// per-picture BD-rates, so every picture counts the same whatever its size
// or content, which is how a set's figure is reported.
//
// A BD-rate only compares the curves over the quality range they share. A
// matrix much coarser than the default reaches less quality at the finest
// scale code, and its figure then leaves out the top of the default's
// curve; a search left free would drift there. So a matrix for which any
// picture's shared range is less than kBdMinimumOverlap of either curve's
// range (the share below which the Bjontegaard figures warn; the caller may
// choose another share), or whose
// BD-rate cannot be computed, scores +infinity and is never preferred.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "quality/bd_rate.h"
#include "search/coded_picture.h"

namespace vardelk {

using SearchMatrix = std::array<int32_t, kMatrixEntries>;

// Luma PSNR; SSIM of all planes weighted by their sample counts, in its dB
// form -10 log10(1 - SSIM); PSNR of Y, Cb and Cr weighted 6:1:1.
enum class QualityMeasure { kPsnrY, kSsim, kPsnr611 };

const char* QualityMeasureName(QualityMeasure measure);
// "psnr", "ssim" or "psnr611"; false for anything else.
bool ParseQualityMeasure(const std::string& text, QualityMeasure* measure);
// The measure's value for one coded point.
double MeasureQuality(QualityMeasure measure, const PointResult& point);

struct CurvePoint {
    int32_t scaleCode = 0;
    double bytes = 0.0;
    double quality = 0.0;
};
using RdCurveData = std::vector<CurvePoint>;

struct MatrixScore {
    double objective = 0.0;       // mean BD-rate in percent (negative: saves rate)
    std::vector<double> bdRates;  // per picture; NaN where not computable
    // Per picture: the shared quality range as a share of the narrower of
    // the default's and the candidate's ranges.
    std::vector<double> overlaps;
    std::vector<RdCurveData> curves;
};

// The BD-rate of `test` against `anchor` in percent, NaN when not computable.
double CurveBdRate(const RdCurveData& anchor, const RdCurveData& test);
BdFigure CurveBdFigure(const RdCurveData& anchor, const RdCurveData& test);
// The mean of the figures, +infinity when any is NaN or there are none.
double PooledBdRate(const std::vector<double>& bdRates);

class Objective {
public:
    // Codes the default matrix once for the anchor curves. The pictures must
    // outlive the objective.
    // minimumOverlap: the share of shared range below which a matrix is
    // refused (0 accepts any computable figure).
    Objective(const std::vector<CodedPicture>& pictures, QualityMeasure measure, std::vector<int32_t> scaleCodes,
              int32_t threads, double minimumOverlap = kBdMinimumOverlap);
    ~Objective();

    // Every picture's curve for the matrix, pictures x scale codes spread
    // over the threads; the result does not depend on their number.
    std::vector<RdCurveData> Curves(const SearchMatrix& matrix) const;
    MatrixScore Score(const SearchMatrix& matrix) const;
    // The same figures for curves already coded.
    MatrixScore ScoreCurves(std::vector<RdCurveData> curves) const;

    const std::vector<RdCurveData>& AnchorCurves() const { return anchor_; }
    QualityMeasure Measure() const { return measure_; }
    const std::vector<int32_t>& ScaleCodes() const { return scaleCodes_; }
    size_t PictureCount() const { return pictures_.size(); }

private:
    std::unique_ptr<PointCoder> TakeCoder() const;
    void ReturnCoder(std::unique_ptr<PointCoder> coder) const;

    const std::vector<CodedPicture>& pictures_;
    QualityMeasure measure_;
    std::vector<int32_t> scaleCodes_;
    int32_t threads_;
    double minimumOverlap_;
    std::vector<RdCurveData> anchor_;
    mutable std::mutex coderLock_;
    mutable std::vector<std::unique_ptr<PointCoder>> idleCoders_;  // scratch kept between calls
};

}  // namespace vardelk
