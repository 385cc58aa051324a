#include "quality/bd_rate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "media/name_table.h"

namespace vardelk {
namespace {

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

// One cubic piece p(u) = c0 + c1 u + c2 u^2 + c3 u^3 with u = (x - origin) / scale,
// valid for x in [lo, hi].
struct CubicPiece {
    double lo, hi, origin, scale;
    std::array<double, 4> c;

    // Integral of p over [a, b] (inside [lo, hi]) in x.
    double Integral(double a, double b) const {
        auto primitive = [&](double x) {
            const double u = (x - origin) / scale;
            return u * (c[0] + u * (c[1] / 2 + u * (c[2] / 3 + u * c[3] / 4)));
        };
        return scale * (primitive(b) - primitive(a));
    }
};

// A function of x made of cubic pieces, integrable exactly.
using PiecewiseCubic = std::vector<CubicPiece>;

double Integrate(const PiecewiseCubic& f, double a, double b) {
    double sum = 0.0;
    for (const CubicPiece& piece : f) {
        const double lo = std::max(a, piece.lo), hi = std::min(b, piece.hi);
        if (hi > lo) sum += piece.Integral(lo, hi);
    }
    return sum;
}

int Sign(double v) { return (v > 0) - (v < 0); }

// Hermite pieces through (x[k], y[k]) with slopes d[k]: on [x_k, x_k+1] with
// t = x - x_k, h = x_k+1 - x_k and chord slope m,
//   p(t) = y_k + d_k t + (3m - 2d_k - d_k+1)/h t^2 + (d_k + d_k+1 - 2m)/h^2 t^3.
PiecewiseCubic Hermite(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& d) {
    PiecewiseCubic f;
    for (size_t k = 0; k + 1 < x.size(); ++k) {
        const double h = x[k + 1] - x[k];
        const double m = (y[k + 1] - y[k]) / h;
        f.push_back(CubicPiece{x[k],
                               x[k + 1],
                               x[k],
                               1.0,
                               {y[k], d[k], (3 * m - 2 * d[k] - d[k + 1]) / h, (d[k] + d[k + 1] - 2 * m) / (h * h)}});
    }
    return f;
}

// Fritsch-Carlson slopes. Inside: 0 where the neighbouring chords differ in
// sign or one is flat, else the weighted harmonic mean
//   (w1 + w2) / (w1 / m_k-1 + w2 / m_k), w1 = 2h_k + h_k-1, w2 = h_k + 2h_k-1.
// Ends: ((2h0 + h1) m0 - h0 m1) / (h0 + h1), set to 0 if its sign differs
// from m0's, and limited to 3 m0 where the chords change sign.
std::vector<double> PchipSlopes(const std::vector<double>& x, const std::vector<double>& y) {
    const size_t n = x.size();
    std::vector<double> h(n - 1), m(n - 1), d(n);
    for (size_t k = 0; k + 1 < n; ++k) {
        h[k] = x[k + 1] - x[k];
        m[k] = (y[k + 1] - y[k]) / h[k];
    }
    if (n == 2) return {m[0], m[0]};
    for (size_t k = 1; k + 1 < n; ++k) {
        if (Sign(m[k - 1]) != Sign(m[k]) || m[k - 1] == 0 || m[k] == 0) {
            d[k] = 0;
            continue;
        }
        const double w1 = 2 * h[k] + h[k - 1], w2 = h[k] + 2 * h[k - 1];
        d[k] = (w1 + w2) / (w1 / m[k - 1] + w2 / m[k]);
    }
    auto edge = [](double h0, double h1, double m0, double m1) {
        double e = ((2 * h0 + h1) * m0 - h0 * m1) / (h0 + h1);
        if (Sign(e) != Sign(m0))
            e = 0;
        else if (Sign(m0) != Sign(m1) && std::fabs(e) > 3 * std::fabs(m0))
            e = 3 * m0;
        return e;
    };
    d[0] = edge(h[0], h[1], m[0], m[1]);
    d[n - 1] = edge(h[n - 2], h[n - 3], m[n - 2], m[n - 3]);
    return d;
}

// Akima slopes: chords m[2..n] padded with two linear extrapolations at each
// end; t_i = (|m_i+3 - m_i+2| m_i+1 + |m_i+1 - m_i| m_i+2) / (sum of the two
// weights), or the mean of m_i+1 and m_i+2 where the weights (nearly) vanish.
std::vector<double> AkimaSlopes(const std::vector<double>& x, const std::vector<double>& y) {
    const size_t n = x.size();
    std::vector<double> m(n + 3);
    for (size_t k = 0; k + 1 < n; ++k) m[k + 2] = (y[k + 1] - y[k]) / (x[k + 1] - x[k]);
    m[1] = 2 * m[2] - m[3];
    m[0] = 2 * m[1] - m[2];
    m[n + 1] = 2 * m[n] - m[n - 1];
    m[n + 2] = 2 * m[n + 1] - m[n];
    std::vector<double> f1(n), f2(n), t(n);
    double largest = 0.0;
    for (size_t i = 0; i < n; ++i) {
        f1[i] = std::fabs(m[i + 3] - m[i + 2]);
        f2[i] = std::fabs(m[i + 1] - m[i]);
        largest = std::max(largest, f1[i] + f2[i]);
    }
    for (size_t i = 0; i < n; ++i) {
        const double f12 = f1[i] + f2[i];
        t[i] = f12 > 1e-9 * largest ? (f1[i] * m[i + 1] + f2[i] * m[i + 2]) / f12 : 0.5 * (m[i + 3] + m[i]);
    }
    return t;
}

// Least-squares cubic through all points, solved in u = (x - centre) / halfRange
// (|u| <= 1) by the normal equations with partial pivoting, which the scaling
// keeps well conditioned.
PiecewiseCubic CubicFit(const std::vector<double>& x, const std::vector<double>& y) {
    const double lo = x.front(), hi = x.back();
    const double origin = 0.5 * (lo + hi), scale = 0.5 * (hi - lo);
    double a[4][5] = {};
    for (size_t k = 0; k < x.size(); ++k) {
        const double u = (x[k] - origin) / scale;
        const double powers[4] = {1, u, u * u, u * u * u};
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) a[r][c] += powers[r] * powers[c];
            a[r][4] += powers[r] * y[k];
        }
    }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        for (int c = 0; c < 5; ++c) std::swap(a[col][c], a[pivot][c]);
        for (int r = col + 1; r < 4; ++r) {
            const double factor = a[r][col] / a[col][col];
            for (int c = col; c < 5; ++c) a[r][c] -= factor * a[col][c];
        }
    }
    std::array<double, 4> coefficients{};
    for (int r = 3; r >= 0; --r) {
        double v = a[r][4];
        for (int c = r + 1; c < 4; ++c) v -= a[r][c] * coefficients[size_t(c)];
        coefficients[size_t(r)] = v / a[r][r];
    }
    return {CubicPiece{lo, hi, origin, scale, coefficients}};
}

size_t MinimumPoints(BdInterpolation method) {
    switch (method) {
        case BdInterpolation::kPchip:
            return 2;
        case BdInterpolation::kAkima:
            return 3;
        case BdInterpolation::kCubicFit:
            return 4;
    }
    return 4;
}

// A curve as samples of a function: abscissae sorted and distinct.
struct Samples {
    std::vector<double> x, y;
};

// Sorts (x, y) by x; refuses (with the reason) too few points or a repeated x.
bool MakeSamples(std::vector<std::pair<double, double>> points, BdInterpolation method, const std::string& curve,
                 const char* axis, Samples* out, std::string* reason) {
    if (points.size() < MinimumPoints(method)) {
        *reason = std::string(BdInterpolationName(method)) + " needs at least " +
                  std::to_string(MinimumPoints(method)) + " points; the " + curve + " curve has " +
                  std::to_string(points.size());
        return false;
    }
    std::sort(points.begin(), points.end());
    for (size_t k = 0; k + 1 < points.size(); ++k) {
        if (points[k].first == points[k + 1].first) {
            *reason = "two " + curve + " points share the " + axis + " " + Number(points[k].first);
            return false;
        }
    }
    for (const auto& [x, y] : points) {
        out->x.push_back(x);
        out->y.push_back(y);
    }
    return true;
}

PiecewiseCubic Interpolate(const Samples& s, BdInterpolation method) {
    switch (method) {
        case BdInterpolation::kPchip:
            return Hermite(s.x, s.y, PchipSlopes(s.x, s.y));
        case BdInterpolation::kAkima:
            return Hermite(s.x, s.y, AkimaSlopes(s.x, s.y));
        case BdInterpolation::kCubicFit:
            return CubicFit(s.x, s.y);
    }
    return {};
}

// Mean of (test - anchor) over the shared range of x, both given as lists of
// (x, y). Fills the figure's overlaps and, if computable, leaves the mean in
// its value.
void MeanDifference(const std::vector<std::pair<double, double>>& anchor,
                    const std::vector<std::pair<double, double>>& test, BdInterpolation method, const char* axis,
                    const char* figureName, BdFigure* figure, std::vector<std::string>* warnings) {
    Samples a, t;
    if (!MakeSamples(anchor, method, "anchor", axis, &a, &figure->reason) ||
        !MakeSamples(test, method, "test", axis, &t, &figure->reason)) {
        return;
    }
    const double lo = std::max(a.x.front(), t.x.front());
    const double hi = std::min(a.x.back(), t.x.back());
    if (!(hi > lo)) {
        figure->reason = std::string("the curves share no ") + axis + " range (anchor " + Number(a.x.front()) + " to " +
                         Number(a.x.back()) + ", test " + Number(t.x.front()) + " to " + Number(t.x.back()) + ")";
        return;
    }
    figure->anchorOverlap = (hi - lo) / (a.x.back() - a.x.front());
    figure->testOverlap = (hi - lo) / (t.x.back() - t.x.front());
    if (figure->anchorOverlap < kBdMinimumOverlap || figure->testOverlap < kBdMinimumOverlap) {
        warnings->push_back(std::string(figureName) + ": the curves share only " + Number(100 * figure->anchorOverlap) +
                            "% of the anchor's and " + Number(100 * figure->testOverlap) + "% of the test's " + axis +
                            " range");
    }
    const double difference = Integrate(Interpolate(t, method), lo, hi) - Integrate(Interpolate(a, method), lo, hi);
    figure->value = difference / (hi - lo);
    if (!std::isfinite(figure->value)) {
        figure->reason = std::string("the ") + axis + " interpolation did not give a finite integral";
        return;
    }
    figure->computable = true;
}

// Keeps the usable points and warns about the rest and about a curve whose
// quality does not rise with the rate.
std::vector<BdPoint> Usable(const std::vector<BdPoint>& points, const std::string& curve,
                            std::vector<std::string>* warnings) {
    std::vector<BdPoint> kept;
    for (size_t k = 0; k < points.size(); ++k) {
        const BdPoint& p = points[k];
        if (std::isfinite(p.quality) && std::isfinite(p.bytes) && p.bytes > 0) {
            kept.push_back(p);
        } else {
            warnings->push_back(curve + " point " + std::to_string(k + 1) + " (" + Number(p.bytes) +
                                " bytes, quality " + Number(p.quality) +
                                ") left out: it needs a finite quality and a positive rate");
        }
    }
    std::vector<BdPoint> byRate = kept;
    std::sort(byRate.begin(), byRate.end(), [](const BdPoint& l, const BdPoint& r) { return l.bytes < r.bytes; });
    for (size_t k = 0; k + 1 < byRate.size(); ++k) {
        if (!(byRate[k + 1].quality > byRate[k].quality)) {
            warnings->push_back(curve + " curve is not monotonic: quality " + Number(byRate[k + 1].quality) + " at " +
                                Number(byRate[k + 1].bytes) + " bytes after " + Number(byRate[k].quality) + " at " +
                                Number(byRate[k].bytes) + " bytes");
            break;
        }
    }
    return kept;
}

}  // namespace

namespace {

constexpr NamedValue<BdInterpolation> kInterpolationNames[] = {
    {BdInterpolation::kPchip, "pchip"},
    {BdInterpolation::kAkima, "akima"},
    {BdInterpolation::kCubicFit, "cubic"},
};

}  // namespace

const char* BdInterpolationName(BdInterpolation method) { return NameIn(kInterpolationNames, method); }

bool ParseBdInterpolation(const std::string& name, BdInterpolation* method) {
    return ParseNameIn(kInterpolationNames, name, method);
}

std::vector<std::string> BdInterpolationNames() { return NamesIn(kInterpolationNames); }

BdResult BjontegaardDelta(const std::vector<BdPoint>& anchor, const std::vector<BdPoint>& test,
                          BdInterpolation method) {
    BdResult result;
    const std::vector<BdPoint> a = Usable(anchor, "anchor", &result.warnings);
    const std::vector<BdPoint> t = Usable(test, "test", &result.warnings);
    auto rateByQuality = [](const std::vector<BdPoint>& points) {
        std::vector<std::pair<double, double>> xy;
        for (const BdPoint& p : points) xy.emplace_back(p.quality, std::log(p.bytes));
        return xy;
    };
    auto qualityByRate = [](const std::vector<BdPoint>& points) {
        std::vector<std::pair<double, double>> xy;
        for (const BdPoint& p : points) xy.emplace_back(std::log(p.bytes), p.quality);
        return xy;
    };
    MeanDifference(rateByQuality(a), rateByQuality(t), method, "quality", "BD-rate", &result.rate, &result.warnings);
    if (result.rate.computable) result.rate.value = std::expm1(result.rate.value) * 100.0;
    MeanDifference(qualityByRate(a), qualityByRate(t), method, "log-rate", "BD-quality", &result.quality,
                   &result.warnings);
    return result;
}

}  // namespace vardelk
