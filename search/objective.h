// The search's objective: how much rate a matrix saves against the default
// matrix over a range of scale codes, for one quality measure and one
// coding model, pooled over a set of pictures.
//
// Each picture gets its own rate-distortion curve (estimated bytes against
// the measure, one point per scale code) and its own BD-rate against the
// default matrix's curve (PCHIP).
//
// Pooling. A picture counts by its macroblocks, the evidence it carries,
// but never more than twice the set's median picture: a 50x80 crop beside
// 864x576 photographs weighs almost nothing, and one huge photograph
// cannot outvote the set. The objective is the weighted mean BD-rate plus
// a penalty for the pictures that lose: kappa times the weighted root mean
// square of how far a picture's figure against its better reference lies
// above the set's mean of those figures. A picture's reference is the
// default or flat 16, whichever its curve favours (a matrix is only worth
// having where it beats both). The penalty prefers a matrix that holds on
// every picture to one that wins big on a few; kappa 0 leaves the plain
// weighted mean.
//
// A BD-rate only compares the curves over the quality range they share. A
// matrix much coarser than the default reaches less quality at the finest
// scale code, and its figure then leaves out the top of the default's
// curve; a search left free would drift there. So a matrix for which any
// picture's shared range with both references, the default and flat 16,
// is less than the minimum overlap (by default kBdMinimumOverlap, the
// share below which the Bjontegaard figures warn) of either curve's range,
// or whose BD-rate cannot be computed, scores +infinity and is never
// preferred. (Against both, not the default alone: under a real encoder's
// rule flat 16 can save 5-10% at equal PSNR with a curve shifted well
// above the default's, and it must stay a candidate.)
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "quality/bd_rate.h"
#include "search/coded_picture.h"

namespace vardelk {

using SearchMatrix = std::array<int32_t, kMatrixEntries>;

// Luma PSNR; SSIM of all planes weighted by their sample counts, in its dB
// form -10 log10(1 - SSIM); PSNR of Y, Cb and Cr weighted 6:1:1; the
// SSIMULACRA 2 score of the picture as RGB (quality/ssimulacra2.h); the
// Butteraugli 3-norm of the same RGB (quality/butteraugli.h) as -ln(norm),
// so that higher is better, as for the others. And two opinions of the eye
// at once, SSIMULACRA 2 and Butteraugli: a point's quality by it is its
// SSIMULACRA 2 score, but an objective by it scores a matrix by the worse
// of the two opinions' figures (Objective).
enum class QualityMeasure { kPsnrY, kSsim, kPsnr611, kSsimulacra2, kButteraugli, kSsimulacra2Butteraugli };
constexpr QualityMeasure kSsimulacra2Butteraugli = QualityMeasure::kSsimulacra2Butteraugli;

// The single measures an objective by `measure` draws its curves from:
// SSIMULACRA 2 then Butteraugli for the two opinions, else the measure.
const std::vector<QualityMeasure>& Opinions(QualityMeasure measure);
// Whether the measure's figures need Butteraugli's.
bool NeedsButteraugli(QualityMeasure measure);

const char* QualityMeasureName(QualityMeasure measure);
// "psnr", "ssim", "psnr611", "ssimulacra2", "butteraugli" or
// "ssimulacra2+butteraugli"; false for anything else.
bool ParseQualityMeasure(const std::string& text, QualityMeasure* measure);
// The measure as a plot's axis names it: "Y PSNR (dB)", "SSIMULACRA 2".
const char* QualityMeasureTitle(QualityMeasure measure);
// The measure as a table's column and a verdict name it: "luma PSNR",
// "SSIM", "PSNR 6:1:1", "SSIMULACRA 2", "Butteraugli".
const char* QualityMeasureLabel(QualityMeasure measure);
// The names of the measures a search can take, for option lists: those of
// AllQualityMeasures, then butteraugli and ssimulacra2+butteraugli.
std::vector<std::string> SearchMeasureNames();
// The measure's value for one coded point, and what the point coder must
// measure for it.
double MeasureQuality(QualityMeasure measure, const PointResult& point);
PointMeasures MeasuresFor(QualityMeasure measure);
// What the point coder must measure for all of them.
PointMeasures MeasuresFor(const std::vector<QualityMeasure>& measures);
// The single measures every search reports, in the order reports list them
// (Butteraugli, several times slower, is not among them).
const std::vector<QualityMeasure>& AllQualityMeasures();

// Bytes a real encoder's stream of intra pictures spends beyond the coded
// blocks, which the size estimate leaves out, as the stream writer writes
// them (stream/stream_headers.h); models that do not count a stream's
// overhead (CodingModel::CountsStreamOverhead) count the blocks alone.
// The matrix: any matrix other than the default (or any at all, with
// loadEveryMatrix) is loaded in the sequence header before each picture,
// 64 bytes.
int64_t MatrixLoadBytes(const CodingModel& model, const int32_t matrix[kMatrixEntries], bool loadEveryMatrix = false);
// The headers: sequence header and extension, group and picture headers and
// the picture's coding extension, 47 bytes; a slice per macroblock row, its
// 32-bit start code, 5-bit scale code and extra bit; and per macroblock
// its address increment and type, a bit each. Not rounded to whole bytes.
double StreamHeaderBytes(const CodingModel& model, int32_t columns, int32_t rows);

struct CurvePoint {
    int32_t scaleCode = 0;
    double bytes = 0.0;
    double quality = 0.0;
};
using RdCurveData = std::vector<CurvePoint>;

struct MatrixScore {
    double objective = 0.0;                    // the pooled figure above, in percent (negative: saves rate)
    double meanBdRate = 0.0;                   // its weighted mean BD-rate against the default
    double spread = 0.0;                       // its penalty before kappa
    std::vector<double> bdRates;               // per picture against the default; NaN where not computable
    std::vector<double> bestReferenceBdRates;  // per picture against the better of default and flat 16
    // Per picture: the shared quality range as a share of the wider of the
    // reference's and the candidate's ranges, for the reference (default or
    // flat 16) that shares more.
    std::vector<double> overlaps;
    // Per opinion (Opinions) the objective by it alone; the objective is
    // the largest. The figures above are those of the worst opinion.
    std::vector<double> opinionObjectives;
    // Opinion after opinion, each one curve per picture.
    std::vector<RdCurveData> curves;
    // False for a score by several opinions that stopped at the first
    // opinion's figures because they alone reached the bound it was asked
    // against (Objective::ScoreAgainst): its objective is then only a
    // lower bound, its figures, opinion and curves the first opinion's.
    bool complete = true;
};

// The BD-rate of `test` against `anchor` in percent, NaN when not computable.
double CurveBdRate(const RdCurveData& anchor, const RdCurveData& test);
BdFigure CurveBdFigure(const RdCurveData& anchor, const RdCurveData& test);
// The weighted mean of per-picture figures (the weights' sum need not be
// 1); +infinity when any figure is NaN or there are none.
double WeightedBdRate(const std::vector<double>& bdRates, const std::vector<double>& weights);

// Each picture's weight: its macroblocks, capped at twice the median
// picture's, normalised to sum to 1.
std::vector<double> PictureWeights(const std::vector<CodedPicture>& pictures);

// In a band, a picture's figures are taken over the band's interval only
// where the default spends at least this much more than the band's higher
// rate at the finest scale code coded (else over the whole range).
constexpr double kBandRoomAbove = 1.25;

struct ObjectiveOptions {
    CodingModel model;  // the filter's own by default
    // The share of shared range below which a matrix is refused (0 accepts
    // any computable figure).
    double minimumOverlap = kBdMinimumOverlap;
    double spreadWeight = 0.5;  // kappa
    // Count the matrix load for the default too. The load costs any other
    // matrix the same few bytes, a step that no small move away from the
    // default repays; a search that counts it for every matrix compares
    // matrices on their coding alone and is not held at the default.
    bool loadEveryMatrix = false;
    // A band of bits per pixel (search/operating_range.h) the figures are
    // taken in: each picture's BD figures over the quality interval the
    // default's curve spans between the band's rates, where the curve
    // covers the band with room above (kBandRoomAbove), else over the whole
    // range. Both 0: the whole range.
    double lowBpp = 0.0;
    double highBpp = 0.0;
};

class Objective {
public:
    // Codes the default matrix and flat 16 once for the references. The
    // pictures must outlive the objective.
    Objective(const std::vector<CodedPicture>& pictures, QualityMeasure measure, std::vector<int32_t> scaleCodes,
              int32_t threads, const ObjectiveOptions& options = {});
    ~Objective();

    // Every picture's curve for the matrix, pictures x scale codes spread
    // over the threads; the result does not depend on their number. By
    // several opinions, the pictures' curves of each in turn (every point
    // coded once).
    std::vector<RdCurveData> Curves(const SearchMatrix& matrix) const;
    // The same points by several measures at once (each picture coded once
    // per scale code), one set of curves per measure in their order.
    std::vector<std::vector<RdCurveData>> CurvesByMeasure(const SearchMatrix& matrix,
                                                          const std::vector<QualityMeasure>& measures) const;
    MatrixScore Score(const SearchMatrix& matrix) const;
    // The score of a matrix that is only of interest if its objective lies
    // below `bound`. By several opinions the objective is the worst of
    // theirs, so the first opinion's alone at or above the bound settles
    // it: the points are then coded and measured by that opinion only
    // (SSIMULACRA 2, a fraction of Butteraugli's cost) and the score comes
    // back incomplete. Otherwise, and for a single opinion, it is Score's.
    MatrixScore ScoreAgainst(const SearchMatrix& matrix, double bound) const;
    // The same figures for curves already coded.
    // By several opinions each is scored on its own curves and the score is
    // that of the worse: a matrix must improve by both.
    MatrixScore ScoreCurves(std::vector<RdCurveData> curves) const;
    // The figures of curves another objective on the same pictures coded for
    // the matrix, with its matrix load counted as this objective counts it
    // (the bytes are whole numbers and eighths: the result is exactly the
    // figure of coding them here).
    MatrixScore ScoreRecounted(const SearchMatrix& matrix, std::vector<RdCurveData> curves,
                               const Objective& codedBy) const;

    const std::vector<RdCurveData>& AnchorCurves() const { return anchor_; }
    const std::vector<RdCurveData>& FlatCurves() const { return flat_; }
    const std::vector<double>& Weights() const { return weights_; }
    // Per opinion and picture, the quality interval the figures are taken
    // over; both 0 where they take the whole range.
    const std::vector<std::pair<double, double>>& BandIntervals() const { return intervals_; }
    const CodingModel& Model() const { return options_.model; }
    QualityMeasure Measure() const { return measure_; }
    const std::vector<int32_t>& ScaleCodes() const { return scaleCodes_; }

private:
    MatrixScore ScoreOpinion(std::vector<RdCurveData> curves, size_t opinion) const;
    std::unique_ptr<PointCoder> TakeCoder() const;
    void ReturnCoder(std::unique_ptr<PointCoder> coder) const;

    const std::vector<CodedPicture>& pictures_;
    QualityMeasure measure_;
    std::vector<int32_t> scaleCodes_;
    int32_t threads_;
    ObjectiveOptions options_;
    std::vector<double> weights_;
    std::vector<RdCurveData> anchor_, flat_;
    // Per opinion and picture, the quality interval of the band (both 0
    // where the figures take the whole range).
    std::vector<std::pair<double, double>> intervals_;
    mutable std::mutex coderLock_;
    mutable std::vector<std::unique_ptr<PointCoder>> idleCoders_;  // scratch kept between calls
};

}  // namespace vardelk
