#include "search/operating_range.h"

#include <algorithm>
#include <cmath>

#include "media/error.h"
#include "parallel/parallel_for.h"

namespace vardelk {
namespace {

RdCurveData ByBytes(RdCurveData curve) {
    std::sort(curve.begin(), curve.end(), [](const CurvePoint& a, const CurvePoint& b) { return a.bytes < b.bytes; });
    return curve;
}

// Where `value` lies between a and b, 0..1.
double Fraction(double value, double a, double b) { return b == a ? 0.0 : (value - a) / (b - a); }

// The quality and the scale code at `bytes` on a curve sorted by bytes,
// straight in log bytes between neighbours; the ends' beyond them.
void AtBytes(const RdCurveData& curve, double bytes, double& quality, double& code) {
    if (bytes <= curve.front().bytes) {
        quality = curve.front().quality, code = curve.front().scaleCode;
        return;
    }
    for (size_t i = 1; i < curve.size(); ++i) {
        if (bytes > curve[i].bytes) continue;
        const double t = Fraction(std::log(bytes), std::log(curve[i - 1].bytes), std::log(curve[i].bytes));
        quality = curve[i - 1].quality + t * (curve[i].quality - curve[i - 1].quality);
        code = curve[i - 1].scaleCode + t * (curve[i].scaleCode - curve[i - 1].scaleCode);
        return;
    }
    quality = curve.back().quality, code = curve.back().scaleCode;
}

}  // namespace

const std::vector<RateBand>& StandardBands() {
    static const std::vector<RateBand> bands = {{"low", 0.35, 0.7}, {"mid", 0.7, 1.4}, {"high", 1.4, 2.8}};
    return bands;
}

RateBand WholeRange() { return RateBand{"all", 0.0, 0.0}; }

RateBand BppBand(double lowBpp, double highBpp) {
    if (!(lowBpp > 0 && highBpp > lowBpp && std::isfinite(highBpp)))
        throw ValueError("bpp", "a band of bits per pixel needs 0 < low < high, not " + std::to_string(lowBpp) +
                                    " to " + std::to_string(highBpp));
    return RateBand{"bpp", lowBpp, highBpp};
}

double MbitPerSecond(double bpp, double pixels, double picturesPerSecond) {
    return bpp * pixels * picturesPerSecond / 1e6;
}

double BitsPerPixel(double bytes, double pixels) { return pixels > 0 ? 8.0 * bytes / pixels : 0.0; }

PictureBand BandOnCurve(const RdCurveData& points, double pixels, const RateBand& band) {
    PictureBand result;
    if (points.size() < 2 || !(pixels > 0)) return result;
    const RdCurveData curve = ByBytes(points);
    if (band.Whole()) {
        auto [low, high] = std::minmax_element(
            curve.begin(), curve.end(), [](const CurvePoint& a, const CurvePoint& b) { return a.quality < b.quality; });
        result = PictureBand{
            true, low->quality, high->quality, double(curve.back().scaleCode), double(curve.front().scaleCode), 1.0};
        return result;
    }
    const double lowBytes = band.lowBpp * pixels / 8.0, highBytes = band.highBpp * pixels / 8.0;
    const double reachedLow = std::max(lowBytes, curve.front().bytes);
    const double reachedHigh = std::min(highBytes, curve.back().bytes);
    if (!(reachedHigh > reachedLow)) return result;
    result.covered = true;
    result.coverage = std::log(reachedHigh / reachedLow) / std::log(highBytes / lowBytes);
    AtBytes(curve, lowBytes, result.qualityLow, result.codeAtLow);
    AtBytes(curve, highBytes, result.qualityHigh, result.codeAtHigh);
    if (result.qualityLow > result.qualityHigh) std::swap(result.qualityLow, result.qualityHigh);
    return result;
}

RdCurveData CurveWithin(const RdCurveData& points, double qualityLow, double qualityHigh) {
    const RdCurveData curve = ByBytes(points);
    RdCurveData within;
    const auto inside = [&](double q) { return q >= qualityLow && q <= qualityHigh; };
    for (size_t i = 0; i < curve.size(); ++i) {
        if (inside(curve[i].quality)) within.push_back(curve[i]);
        if (i + 1 == curve.size()) break;
        const CurvePoint& a = curve[i];
        const CurvePoint& b = curve[i + 1];
        for (double edge : {qualityLow, qualityHigh}) {
            const bool crosses = (a.quality < edge && edge < b.quality) || (b.quality < edge && edge < a.quality);
            if (!crosses) continue;
            const double t = Fraction(edge, a.quality, b.quality);
            within.push_back(
                CurvePoint{0, std::exp(std::log(a.bytes) + t * (std::log(b.bytes) - std::log(a.bytes))), edge});
        }
    }
    return ByBytes(within);
}

std::vector<int32_t> BandScaleCodes(const std::vector<CodedPicture>& pictures, const RateBand& band,
                                    const CodingModel& model, int32_t threads) {
    constexpr int32_t kCodes = 31;
    std::vector<double> bytes(pictures.size() * kCodes);
    ParallelFor(threads, int64_t(bytes.size()), [&](int64_t task) {
        const CodedPicture& picture = pictures[size_t(task) / kCodes];
        const int32_t code = int32_t(task % kCodes) + 1;
        PointCoder coder;
        bytes[size_t(task)] = double(coder.Code(picture, kDefaultIntraMatrix, code, false, 0, model).bytes) +
                              StreamHeaderBytes(model, picture.columns, picture.rows);
    });
    int32_t finest = kCodes, coarsest = 1;
    for (size_t p = 0; p < pictures.size(); ++p) {
        const double pixels = double(pictures[p].format.width) * double(pictures[p].format.height);
        const double* at = bytes.data() + p * kCodes;  // at[c - 1]: code c, falling as c grows
        int32_t fine = 1, coarse = kCodes;
        for (int32_t c = 1; c <= kCodes; ++c) {
            if (BitsPerPixel(at[c - 1], pixels) >= band.highBpp) fine = c;
        }
        for (int32_t c = kCodes; c >= 1; --c) {
            if (BitsPerPixel(at[c - 1], pixels) <= band.lowBpp) coarse = c;
        }
        finest = std::min(finest, fine);
        coarsest = std::max(coarsest, coarse);
    }
    if (pictures.empty()) finest = 1, coarsest = kCodes;
    // The candidates must span the band too: a matrix of half the default's
    // weights (the DVD matrices of fine steps) comes down to the band's
    // lower rate only at twice the code, a steeper one reaches its higher
    // rate only at a finer one.
    finest = std::max(1, finest / 2);
    coarsest = std::min(kCodes, 2 * coarsest);
    while (coarsest - finest < 3) {
        if (coarsest < kCodes)
            ++coarsest;
        else
            --finest;
    }
    // Every code up to 10, then ever sparser, as the rate falls by about
    // equal steps; both ends always.
    static constexpr int32_t kLadder[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 14, 16, 19, 22, 26, 31};
    std::vector<int32_t> codes;
    for (int32_t c : kLadder) {
        if (c > finest && c < coarsest) codes.push_back(c);
    }
    codes.insert(codes.begin(), finest);
    codes.push_back(coarsest);
    if (codes.size() < 4) {
        codes.clear();
        for (int32_t c = finest; c <= coarsest; ++c) codes.push_back(c);
    }
    return codes;
}

}  // namespace vardelk
