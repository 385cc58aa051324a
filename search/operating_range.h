// Where on the rate axis a verdict holds: a band of bits per pixel of an
// intra picture, and what that band is on each picture's curve.
//
// A band is given in bits per pixel because that is what a stream's rate
// comes to whatever the picture's size. On each picture the band becomes
// the quality interval the default matrix's curve spans between the band's
// two rates (the curve taken as straight between its points in quality
// against log bytes); every matrix's BD figures in the band are taken over
// that interval, so a band compares matrices at the qualities the default
// gives at those rates.
//
// The three standard bands, by the size of the intra pictures of real
// streams. A stream's intra picture takes a share of its group's bits; with
// the classic rate control's starting complexities (I 160, P 60, B 42 per
// unit of rate; P weighted 1, B 1.4) a group of 15 pictures (4 P, 10 B)
// gives the intra picture 1/4.375 of the group's bits, so at 25 pictures a
// second an intra picture of 720x576 gets 0.33 bits per pixel per Mbit/s of
// the stream:
//   low   0.35-0.7 bpp  streams of about 1-2 Mbit/s: long-play DVD, SVCD;
//   mid   0.7-1.4 bpp   2-4 Mbit/s: broadcast SD, DVD at modest rates;
//   high  1.4-2.8 bpp   4-8.5 Mbit/s: DVD at its usual rates up to the
//                       format's ceiling.
// Each band spans one doubling of the rate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "search/objective.h"

namespace vardelk {

struct RateBand {
    std::string name;  // "low", "mid", "high", "bpp" (one given), "all"
    // Bits per pixel of an intra picture; both 0 for the whole range of
    // the curves ("all").
    double lowBpp = 0.0;
    double highBpp = 0.0;

    bool Whole() const { return highBpp <= 0.0; }
};

// low, mid and high, as above.
const std::vector<RateBand>& StandardBands();
// The whole range the curves share, as an ordinary BD figure takes it.
RateBand WholeRange();
// A band of the caller's own; throws ValueError (field "bpp") unless 0 < low < high.
RateBand BppBand(double lowBpp, double highBpp);

// Pictures a second of the two usual frame rates.
constexpr double kPalPicturesPerSecond = 25.0;
constexpr double kNtscPicturesPerSecond = 30000.0 / 1001.0;

// The rate of an all-intra stream of pictures of `pixels` at `bpp`, in
// Mbit/s (headers are in the bytes the bits per pixel count).
double MbitPerSecond(double bpp, double pixels, double picturesPerSecond);

// A picture's bits per pixel at `bytes`.
double BitsPerPixel(double bytes, double pixels);

// A band on one picture's default curve. `covered` is false when the
// curve has no point inside the band's rates and does not straddle it:
// the picture then has no say in the band.
struct PictureBand {
    bool covered = false;
    double qualityLow = 0.0;  // the interval of the measure the band spans
    double qualityHigh = 0.0;
    // The scale codes at the band's rates on the default curve, between
    // the curve's codes (a code past the curve's ends is the end's).
    double codeAtHigh = 0.0;  // the finer code, at the band's higher rate
    double codeAtLow = 0.0;
    // The share of the band's log-rate span the curve reaches, 0..1.
    double coverage = 0.0;
};

// The band on a picture of `pixels` whose default curve is `curve` (any
// order of points). The whole range gives the curve's whole quality range.
PictureBand BandOnCurve(const RdCurveData& curve, double pixels, const RateBand& band);

// The scale codes (linear mapping) whose curves cover the band on every
// picture: from the finest code any picture needs to reach the band's
// higher rate with the default matrix to the coarsest any needs to come
// down to its lower rate (code 1 or 31 where a picture cannot), widened to
// half the finest and twice the coarsest so that the candidates' curves,
// finer or steeper than the default's, span the band as well; between
// them every code up to 10, then 12, 14, 16, 19, 22 and 26 (the figures at
// every code would cost twice the time and tell nothing more), at least 4. Each picture is coded with the default at
// every code for its bytes, as the objective counts them under `model`.
std::vector<int32_t> BandScaleCodes(const std::vector<CodedPicture>& pictures, const RateBand& band,
                                    const CodingModel& model, int32_t threads);

// The part of a curve inside a quality interval: its points inside, and
// the points where it crosses the interval's ends (straight in quality
// against log bytes between neighbours). A curve that reaches only part
// of the interval keeps that part.
RdCurveData CurveWithin(const RdCurveData& curve, double qualityLow, double qualityHigh);

}  // namespace vardelk
