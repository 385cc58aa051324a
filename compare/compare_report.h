// The comparison in words and figures: each band's ranking as a table, its
// verdict in one line, where the measures disagree, how the real
// encoder's figures agree with the predicted ones, and report.json.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "compare/comparison.h"

namespace vardelk {

// "SSIMULACRA 2", "SSIM", "luma PSNR", "PSNR 6:1:1", "Butteraugli".
const char* MeasureTitle(QualityMeasure measure);

// "low (0.35-0.7 bpp)", "0.4-0.8 bpp", "whole range".
std::string BandTitle(const RateBand& band);
// Its scale codes and rates: "scale codes 7.2-15.8; 4.35-8.71 Mbit/s at
// 25/s, 5.22-10.43 Mbit/s at 29.97/s for 864x576 pictures".
std::string BandRates(const ComparisonResult& result, const BandRanking& ranking);

// The band's verdict by the side's first measure, with the other
// perceptual measures' figures for the same matrix and what flat16 costs:
// "low (0.35-0.7 bpp): use avamat7 — 0.9 % fewer bytes than the default
// for the same SSIMULACRA 2, 1.2 % by Butteraugli; flat16 costs 14 %".
std::string VerdictLine(const ComparisonSide& side, const BandRanking& ranking,
                        const std::vector<Candidate>& candidates);
// When another measure prefers another matrix: "the measures disagree:
// SSIMULACRA 2 prefers avamat7 (-0.9 %), SSIM flat16 (-2.0 %)"; else "".
std::string Disagreement(const ComparisonSide& side, const BandRanking& ranking,
                         const std::vector<Candidate>& candidates);

// How the encoder's figures bear out the predicted ones in a band, by the
// first measure.
struct SideAgreement {
    std::string band;
    bool sameBest = false;
    std::string predictedBest, measuredBest;
    double largestDifference = 0.0;  // |predicted - measured| mean BD-rate, points
    std::string largestAt;           // the candidate where it is largest
    std::string text;
};
std::vector<SideAgreement> CompareSides(const ComparisonResult& result);

// The whole report for people.
void PrintComparison(std::FILE* out, const ComparisonResult& result);

// report.json: the pictures, candidates, codes and model; each side's
// bands with their rates, rankings, figures per picture and verdicts; each
// side's curves; the agreement of the sides.
std::string ComparisonJson(const ComparisonResult& result);

}  // namespace vardelk
