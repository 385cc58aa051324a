// Which matrix for a set of pictures at a given rate: every candidate
// matrix coded on every picture at every scale code under a coding model,
// its curves measured by several measures, and for each band (and the
// whole range) the candidates ranked by their mean BD-rate against the
// default matrix by the first measure, SSIMULACRA 2 by default.
//
// The points are coded as the search codes them (search/coded_picture.h:
// each picture's transform taken once, the bytes the model's stream
// spends, its headers and a loaded matrix counted). Optionally a real
// encoder codes every point again (search/encoder_confirmation.h), and the
// same figures are taken from its pictures, to set measured beside
// predicted.
//
// Per picture, a band's figures are taken over the quality interval the
// default's curve spans between the band's rates (search/operating_range.h);
// a picture whose default curve reaches less than half of the band (in log
// rate) has no say in it: over a sliver of a band one step between two
// scale codes would decide the figure.
// The mean over the pictures is weighted as the search weighs them (by
// macroblocks, at most twice the median picture's).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "search/objective.h"
#include "search/operating_range.h"

namespace vardelk {

// The least share of a band's log-rate span a picture's default curve must
// reach for the picture to count in the band.
constexpr double kLeastBandCoverage = 0.5;

struct Candidate {
    std::string name;
    SearchMatrix matrix{};
};

// The candidates compared when none are given: the default, flat 16 and
// every named matrix.
std::vector<Candidate> DefaultCandidates();

// The scale codes coded when none are given: wide enough that the default's
// curve spans the standard bands on photographs of DVD size, from 2. At
// scale code 1 the ffmpeg model's levels are ffmpeg's own, but its
// reconstruction and ffmpeg's decoder round the inverse transform
// differently, which moves SSIMULACRA 2 by up to 0.07 a point there and a
// narrow band's BD figures by up to 0.8 points (docs/compare.md).
std::vector<int32_t> DefaultCompareCodes();

struct ComparisonOptions {
    // Pictures, clips, folders or list files (search/picture_list.h).
    std::vector<std::string> inputs;
    int32_t frames = 1;  // taken from each clip, spread over it
    // The default matrix is always the reference and comes first; given
    // again here it is not coded twice. Empty: DefaultCandidates().
    std::vector<Candidate> candidates;
    CodingModel model;
    std::vector<int32_t> scaleCodes;  // empty: DefaultCompareCodes()
    // The bands ranked; the whole range is always ranked after them.
    std::vector<RateBand> bands = StandardBands();
    // The measures of the figures, the first ranks. Empty: SSIMULACRA 2,
    // Butteraugli (unless `butteraugli` is false), SSIM and luma PSNR.
    std::vector<QualityMeasure> measures;
    bool butteraugli = true;
    // Have the model's real encoder code every point too (it must be
    // installed: ConfirmingEncoder), its pictures measured as ours are.
    bool confirm = false;
    int32_t threads = 1;
    // Curves in each band's plot beside the default's: the best ones.
    int32_t plottedCandidates = 3;
    // Folder for report.json and a plot per band (band-NAME.svg and
    // .png); empty writes nothing.
    std::string outputFolder;
    // Called before each point; throws to stop the comparison.
    std::function<void()> checkStop;
    // Points done of the total, one call at a time.
    std::function<void(int64_t done, int64_t total)> progress;
};

// One candidate in one band by one measure.
struct BandFigures {
    double meanBdRate = 0.0;  // weighted over the pictures with a figure; NaN for none
    double worstBdRate = 0.0;
    std::string worstPicture;
    std::vector<double> bdRates;  // per picture; NaN where it has none
    double leastOverlap = 1.0;    // of the candidate's curve with the band's interval
};

struct BandRanking {
    RateBand band;
    std::vector<std::string> uncovered;  // pictures the band misses (or reaches less than kLeastBandCoverage of)
    // The band's scale codes on the default curves, finest to coarsest
    // over the pictures; its rate for the pictures' mean size.
    double finestCode = 0.0, coarsestCode = 0.0;
    // Its bits per pixel: the band's own, or for the whole range the
    // least and most the default's curves reach.
    double lowBpp = 0.0, highBpp = 0.0;
    // figures[candidate][measure]
    std::vector<std::vector<BandFigures>> figures;
    // Candidates by the first measure's mean BD-rate, best first (those
    // without a figure last).
    std::vector<size_t> order;
};

// One side of the comparison: predicted by the codec's model, or measured
// from the real encoder's pictures.
struct ComparisonSide {
    std::string source;  // "predicted" or the encoder's name
    std::vector<QualityMeasure> measures;
    // curves[candidate][measure][picture]
    std::vector<std::vector<std::vector<RdCurveData>>> curves;
    std::vector<BandRanking> bands;  // the bands asked for, then the whole range
};

struct ComparisonResult {
    std::vector<std::string> pictures;
    std::vector<double> weights;
    double meanPixels = 0.0;
    int32_t width = 0, height = 0;      // when every picture has this size, else 0
    std::vector<Candidate> candidates;  // the default first
    std::vector<int32_t> scaleCodes;
    std::string model;
    ComparisonSide predicted;
    bool confirmed = false;
    ComparisonSide measured;  // when confirmed
    std::vector<std::string> notes;
    std::vector<std::string> written;  // files placed in the output folder
};

// Ranks one side's curves in a band.
BandRanking RankBand(const std::vector<std::vector<std::vector<RdCurveData>>>& curves,
                     const std::vector<std::string>& pictures, const std::vector<double>& weights,
                     const std::vector<double>& pixels, const RateBand& band);

// Runs the comparison. Throws CompareError (or the error of the library
// that failed: a picture that cannot be read, an encoder that fails).
ComparisonResult RunComparison(const ComparisonOptions& options);

}  // namespace vardelk
