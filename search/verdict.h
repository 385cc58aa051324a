// What the search's figures say of a found matrix: on a set of pictures,
// its BD-rates against the default matrix and flat 16 per picture and their
// means, flat 16 against the default; and whether a real encoder confirms
// it (the confirm/fail rule).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "search/encoder_confirmation.h"
#include "search/objective.h"

namespace vardelk {

// A set's figures for the found matrix; BD-rates in percent, NaN where a
// figure cannot be computed.
struct SetFigures {
    std::vector<std::string> names;
    std::vector<double> weights;
    std::vector<double> foundVsDefault, foundVsFlat, flatVsDefault;
    std::vector<double> foundVsBetter;  // against the better of default and flat 16
    std::vector<double> overlaps;       // of the found matrix's curve and the default's
    std::vector<RdCurveData> defaultCurves, flatCurves, foundCurves;
};

// The figures of the three matrices' curves, one of each per picture.
SetFigures FiguresFromCurves(const std::vector<CodedPicture>& pictures, std::vector<RdCurveData> defaultCurves,
                             std::vector<RdCurveData> flatCurves, std::vector<RdCurveData> foundCurves);
// The figures as the objective predicts them.
SetFigures MeasureSet(const std::vector<CodedPicture>& pictures, const Objective& objective, const SearchMatrix& found);

// One measure's figures, for the verdicts side by side.
struct MeasureFigures {
    QualityMeasure measure;
    SetFigures figures;
};
// The figures by every measure the search knows (AllQualityMeasures), each
// point coded once; the objective gives the pictures, model and codes.
std::vector<MeasureFigures> MeasureSetByEveryMeasure(const std::vector<CodedPicture>& pictures,
                                                     const Objective& objective, const SearchMatrix& found);
// Whether the matrix saves against `reference` by one measure and costs by
// another (means over the pictures): "saves by psnr; costs by ssim", or "".
std::string MixedVerdict(const std::vector<MeasureFigures>& byMeasure, bool againstFlat);

// The mean (NaN for none) and the largest value (NaN when one is NaN).
double Mean(const std::vector<double>& values);
double Worst(const std::vector<double>& values);

// A picture loses when the encoder codes it worse with the found matrix than
// with the better of the default and flat 16 by more than this (percent).
constexpr double kLosingPicture = 0.5;

// Why the measured figures do not confirm the found matrix, one line a
// reason: it does not save against the default or flat 16 on the mean, or
// a picture loses. Empty: confirmed.
std::vector<std::string> ConfirmationFailures(const SetFigures& measured);

// What the real encoder made of the found matrix on one set, beside what
// the search predicted for it.
struct Confirmation {
    ConfirmingEncoder encoder;
    std::string set;  // "validation" or "training"
    const SetFigures* predicted = nullptr;
    SetFigures measured;
    // Every measure, the search's among them, and Butteraugli last.
    std::vector<MeasureFigures> measuredByMeasure;
    std::string butteraugliNote;        // why Butteraugli is missing, or ""
    std::vector<std::string> failures;  // empty: confirmed (by the search's measure)
};

// Has the encoder code the pictures with the default, flat 16 and the found
// matrix at the scale codes and applies the rule (by the first of the
// measure's opinions); Butteraugli measured here adds its opinion. `stop` is asked before
// every run; `stoppedOrArriving` is asked when a run fails, whether the
// failure is the stop on its way (Ctrl-C reaches the encoder too). Nothing
// when the runs were stopped.
std::optional<Confirmation> ConfirmFoundMatrix(const ConfirmingEncoder& encoder, const CodingModel& model,
                                               const std::string& set, const std::vector<CodedPicture>& pictures,
                                               const SetFigures& predicted, const SearchMatrix& found,
                                               const std::vector<int32_t>& codes, QualityMeasure measure,
                                               int32_t threads, const std::function<bool()>& stop,
                                               const std::function<bool()>& stoppedOrArriving);

// Mean bytes against mean quality per scale code over the pictures' curves
// of one matrix (all at the same codes).
RdCurveData PooledCurve(const std::vector<RdCurveData>& curves);

}  // namespace vardelk
