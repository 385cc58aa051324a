#include "quality/butteraugli.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "quality/butteraugli_blur.h"
#include "quality/butteraugli_kernels.h"
#include "quality/perceptual_measure.h"
#include "quality/srgb_table.h"

namespace vardelk {

using butteraugli::BlurKernel;
using butteraugli::ForRowBands;
using butteraugli::KernelTable;
using butteraugli::MaltaForm;

namespace {

// Planes are written in full before they are read: their samples are left
// uninitialised when made, rather than zeroed only to be overwritten.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using Plane = std::vector<float, UninitialisedAllocator<float>>;

// The smallest side the measure works on.
constexpr int32_t kMinSize = 8;
// The reach of the Malta filters.
constexpr int32_t kMaltaBorder = 4;
// The program's asymmetry of high-frequency errors (a blur costs less than
// added detail) and the weight of X errors.
constexpr float kHfAsymmetry = 0.8f;

// The band sigmas.
constexpr float kSigmaLf = 7.15593339443f;
constexpr float kSigmaHf = 3.22489901262f;
constexpr float kSigmaUhf = 1.56416327805f;
constexpr float kSigmaMask = 2.7f;

// What one picture has at one resolution, as the steps make and use them.
struct Bands {
    int32_t width = 0;
    int32_t height = 0;
    Plane xyb[3];  // opsin dynamics, until split into bands
    Plane lf[3];   // low band
    Plane mf[3];   // middle band (the X and Y ones reshaped)
    Plane hf[2];   // high band of X and Y
    Plane uhf[2];  // ultra-high band of X and Y
    Plane mask;    // masking activity, then its blur
    Plane eroded;  // the original's blurred activity, eroded
};

struct Context {
    int32_t width;
    int32_t height;
    const KernelTable& k;
    int32_t threads;
    BlurKernel lf, hf, uhf, mask;
    // Scratch for a blur, or the Malta filters' input with a zero border
    // of 4 samples around the picture.
    Plane temp;

    Context(int32_t w, int32_t h, const KernelTable& table, int32_t t)
        : width(w),
          height(h),
          k(table),
          threads(t),
          lf(butteraugli::GaussianKernel(kSigmaLf)),
          hf(butteraugli::GaussianKernel(kSigmaHf)),
          uhf(butteraugli::GaussianKernel(kSigmaUhf)),
          mask(butteraugli::GaussianKernel(kSigmaMask)),
          temp(size_t(w + 2 * kMaltaBorder) * size_t(h + 2 * kMaltaBorder)) {}
    size_t Size() const { return size_t(width) * size_t(height); }

    // Planes of this size are handed back when used up and handed out again,
    // so that a measure touches fresh memory only up to its peak.
    std::vector<Plane> spare;
    Plane Take() {
        if (spare.empty()) return Plane(Size());
        Plane p = std::move(spare.back());
        spare.pop_back();
        return p;
    }
    void Give(Plane& p) {
        if (p.size() == Size()) spare.push_back(std::move(p));
        Plane().swap(p);
    }

    void Blur(const Plane& in, Plane& out, const BlurKernel& kernel) {
        butteraugli::GaussianBlur(in.data(), out.data(), temp.data(), width, height, kernel, k, threads);
    }
    // body(i) for every sample, over bands of rows.
    template <typename Body>
    void EachSample(const Body& body) {
        const size_t w = size_t(width);
        ForRowBands(threads, height, [&](int32_t first, int32_t end) {
            for (size_t i = size_t(first) * w; i < size_t(end) * w; ++i) body(i);
        });
    }
};

// --- Linear light --------------------------------------------------------

// Three planes of width x height samples, rows packed, as the measure
// reads them.
template <typename Samples>
LinearRgbPlanes PackedPlanes(int32_t width, int32_t height, const Samples (&planes)[3]) {
    LinearRgbPlanes v;
    v.width = width;
    v.height = height;
    v.stride = width;
    for (int c = 0; c < 3; ++c) v.plane[c] = planes[c].data();
    return v;
}

struct OwnedPlanes {
    int32_t width = 0;
    int32_t height = 0;
    Plane p[3];

    LinearRgbPlanes View() const { return PackedPlanes(width, height, p); }
};

// The 2x2 means of a linear picture: each quarter added in raster order
// into zero, a lone last column or row doubled.
OwnedPlanes Halve(const LinearRgbPlanes& in) {
    OwnedPlanes out;
    out.width = (in.width + 1) / 2;
    out.height = (in.height + 1) / 2;
    const size_t w = size_t(out.width);
    for (int c = 0; c < 3; ++c) {
        Plane& o = out.p[c];
        o.assign(w * size_t(out.height), 0.0f);
        for (int32_t y = 0; y < in.height; ++y) {
            const float* row = in.plane[c] + ptrdiff_t(y) * in.stride;
            float* dst = o.data() + size_t(y / 2) * w;
            for (int32_t x = 0; x < in.width; ++x) dst[x / 2] += 0.25f * row[x];
        }
        if ((in.width & 1) != 0)
            for (int32_t y = 0; y < out.height; ++y) o[size_t(y) * w + w - 1] *= 2.0f;
        if ((in.height & 1) != 0)
            for (size_t x = 0; x < w; ++x) o[(size_t(out.height) - 1) * w + x] *= 2.0f;
    }
    return out;
}

// --- Opsin dynamics ------------------------------------------------------

void Opsin(Context& ctx, const LinearRgbPlanes& rgb, Bands& b) {
    const size_t w = size_t(ctx.width);
    b.width = ctx.width;
    b.height = ctx.height;
    for (Plane& p : b.xyb) p = ctx.Take();
    // A band of rows at a time: its blurred rows made beside it.
    ForRowBands(ctx.threads, ctx.height, [&](int32_t first, int32_t end) {
        const size_t rows = size_t(end - first);
        std::vector<float> scratch((rows + 4) * w), blurred(3 * rows * w);
        for (int c = 0; c < 3; ++c)
            butteraugli::MirroredBlur5(rgb.plane[c], rgb.stride, ctx.width, ctx.height, first, end, scratch.data(),
                                       blurred.data() + size_t(c) * rows * w);
        for (int32_t y = first; y < end; ++y) {
            const size_t at = size_t(y) * w, inBand = size_t(y - first) * w;
            const float* row[3];
            const float* blurredRow[3];
            float* out[3];
            for (int c = 0; c < 3; ++c) {
                row[c] = rgb.plane[c] + ptrdiff_t(y) * rgb.stride;
                blurredRow[c] = blurred.data() + size_t(c) * rows * w + inBand;
                out[c] = b.xyb[c].data() + at;
            }
            ctx.k.opsinRow(row, blurredRow, out, ctx.width);
        }
    });
}

// --- Frequency bands -----------------------------------------------------

// Values within +-w become 0 and the rest move w toward zero; or values
// within +-w double and the rest move w away from zero. Both sides are
// computed and one chosen, so that the loops stay free of branches.
inline float RemoveRangeAroundZero(float w, float x) {
    const float down = x - w, up = x + w;
    return x > w ? down : (x < -w ? up : 0.0f);
}
inline float AmplifyRangeAroundZero(float w, float x) {
    const float up = x + w, down = x - w, twice = x + x;
    return x > w ? up : (x < -w ? down : twice);
}
// Beyond +-limit, values grow at 0.72 the rate.
inline float MaximumClamp(float v, float limit) {
    const float mul = 0.724216145665f;
    const float above = (v - limit) * mul + limit, below = (v + limit) * mul - limit;
    return v < -limit ? below : (v >= limit ? above : v);
}

void LowBands(Context& ctx, Bands& b) {
    for (int c = 0; c < 3; ++c) {
        b.lf[c] = ctx.Take();
        ctx.Blur(b.xyb[c], b.lf[c], ctx.lf);
        b.mf[c] = std::move(b.xyb[c]);
        Plane& mf = b.mf[c];
        const Plane& lf = b.lf[c];
        ctx.EachSample([&](size_t i) { mf[i] = mf[i] - lf[i]; });
    }
}

void MiddleBands(Context& ctx, Bands& b) {
    const float removeMf = 0.29f, addMf = 0.1f;
    for (int c = 0; c < 2; ++c) {
        // The unblurred band becomes the high band's start.
        Plane& mf = b.mf[c];
        Plane& hf = b.hf[c];
        hf = ctx.Take();
        ctx.Blur(mf, hf, ctx.hf);
        std::swap(mf, hf);
        if (c == 0) {
            ctx.EachSample([&](size_t i) {
                hf[i] = hf[i] - mf[i];
                mf[i] = RemoveRangeAroundZero(removeMf, mf[i]);
            });
        } else {
            ctx.EachSample([&](size_t i) {
                hf[i] = hf[i] - mf[i];
                mf[i] = AmplifyRangeAroundZero(addMf, mf[i]);
            });
        }
    }
    ctx.Blur(b.mf[2], b.mf[2], ctx.hf);
    // X's high band damped where Y's changes.
    const float s = 0.653020556257f, oneMinusS = float(1.0 - 0.653020556257), yw = 46.0f;
    Plane& hx = b.hf[0];
    const Plane& hy = b.hf[1];
    ctx.EachSample([&](size_t i) { hx[i] = (yw / (hy[i] * hy[i] + yw) * oneMinusS + s) * hx[i]; });
}

// The masking activity's parts: Y's first (kept in `mask`), then X's.
constexpr float kMaskXMul = 2.5f, kMaskYMul = 0.4f;

void SplitY(Context& ctx, Bands& b) {
    Plane& hf = b.hf[1];
    Plane& uhf = b.uhf[1];
    uhf = ctx.Take();
    ctx.Blur(hf, uhf, ctx.uhf);
    std::swap(hf, uhf);
    b.mask = ctx.Take();
    ctx.EachSample([&](size_t i) {
        const float h = MaximumClamp(hf[i], 28.4691806922f);
        const float u = MaximumClamp(uhf[i] - h, 5.19175294647f) * 2.69313763794f;
        hf[i] = AmplifyRangeAroundZero(0.132f, h * 2.155f);
        uhf[i] = u;
        b.mask[i] = u * kMaskYMul + hf[i] * kMaskYMul;
    });
}

void SplitX(Context& ctx, Bands& b) {
    Plane& hf = b.hf[0];
    Plane& uhf = b.uhf[0];
    uhf = ctx.Take();
    ctx.Blur(hf, uhf, ctx.uhf);
    std::swap(hf, uhf);
    ctx.EachSample([&](size_t i) {
        const float h = hf[i];
        uhf[i] = RemoveRangeAroundZero(0.04f, uhf[i] - h);
        hf[i] = RemoveRangeAroundZero(1.5f, h);
        const float xdiff = (uhf[i] + hf[i]) * kMaskXMul, ydiff = b.mask[i];
        b.mask[i] = std::sqrt(xdiff * xdiff + ydiff * ydiff);
    });
}

// The activity made gentler (a biased square root) and blurred.
void BlurMask(Context& ctx, Bands& b) {
    const float mul = 6.19424080439f, bias = mul * 12.61050594197f, sqrtBias = std::sqrt(bias);
    Plane& m = b.mask;
    ctx.EachSample([&](size_t i) { m[i] = std::sqrt(mul * std::fabs(m[i]) + bias) - sqrtBias; });
    ctx.Blur(m, m, ctx.mask);
}

// Each sample becomes 0.45, 0.3 and 0.25 of the three smallest of itself
// (counted three times, twice at double value) and its eight neighbours 3
// samples away that lie inside the plane.
void Erode(Context& ctx, Bands& b) {
    const int32_t w = ctx.width, h = ctx.height, step = 3;
    const Plane& from = b.mask;
    b.eroded = ctx.Take();
    // The three smallest kept in order as v comes in.
    const auto keep = [](float v, float& min0, float& min1, float& min2) {
        const float n0 = std::min(min0, v), n1 = std::min(std::max(min0, v), min1);
        min2 = std::min(std::max(min1, v), min2);
        min1 = n1;
        min0 = n0;
    };
    ForRowBands(ctx.threads, h, [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
            const bool up = y >= step, down = y < h - step;
            const float* row = from.data() + size_t(y) * size_t(w);
            const float* above = up ? row - step * w : nullptr;
            const float* below = down ? row + step * w : nullptr;
            float* out = b.eroded.data() + size_t(y) * size_t(w);
            const auto sample = [&](int32_t x) {
                float min0 = row[x], min1 = 2 * min0, min2 = min1;
                if (x >= step) {
                    keep(row[x - step], min0, min1, min2);
                    if (up) keep(above[x - step], min0, min1, min2);
                    if (down) keep(below[x - step], min0, min1, min2);
                }
                if (x < w - step) {
                    keep(row[x + step], min0, min1, min2);
                    if (up) keep(above[x + step], min0, min1, min2);
                    if (down) keep(below[x + step], min0, min1, min2);
                }
                if (up) keep(above[x], min0, min1, min2);
                if (down) keep(below[x], min0, min1, min2);
                return 0.45f * min0 + 0.3f * min1 + 0.25f * min2;
            };
            const int32_t left = std::min(step, w), right = std::max(left, w - step);
            for (int32_t x = 0; x < left; ++x) out[x] = sample(x);
            if (up && down) {
                for (int32_t x = left; x < right; ++x) {
                    float min0 = row[x], min1 = 2 * min0, min2 = min1;
                    keep(row[x - step], min0, min1, min2);
                    keep(above[x - step], min0, min1, min2);
                    keep(below[x - step], min0, min1, min2);
                    keep(row[x + step], min0, min1, min2);
                    keep(above[x + step], min0, min1, min2);
                    keep(below[x + step], min0, min1, min2);
                    keep(above[x], min0, min1, min2);
                    keep(below[x], min0, min1, min2);
                    out[x] = 0.45f * min0 + 0.3f * min1 + 0.25f * min2;
                }
            } else {
                for (int32_t x = left; x < right; ++x) out[x] = sample(x);
            }
            for (int32_t x = right; x < w; ++x) out[x] = sample(x);
        }
    });
}

// --- Differences -----------------------------------------------------------

// The Malta filters over the weighted differences of two bands, added to
// `ac`. The difference is scaled down where the bands are strong, and an
// original value that the distorted one leaves below 0.55 or above 1.05 of
// its size adds a further, one-sided term.
void MaltaDifference(Context& ctx, const Plane& lum0, const Plane& lum1, double w0gt1, double w0lt1, double norm1,
                     MaltaForm form, Plane& ac) {
    const double len = 3.75;
    const double mulli = form == MaltaForm::kHigh ? 0.39905817637 : 0.611612573796;
    const float weight0 = 0.5f, weight1 = 0.33f;
    const double pre0gt1 = mulli * std::sqrt(weight0 * w0gt1) / (len * 2 + 1);
    const double pre0lt1 = mulli * std::sqrt(weight1 * w0lt1) / (len * 2 + 1);
    const butteraugli::MaltaWeights weights{float(pre0gt1 * norm1), float(pre0lt1 * norm1), float(norm1)};
    const int32_t w = ctx.width, h = ctx.height;
    const size_t stride = size_t(w + 2 * kMaltaBorder);
    float* diffs = ctx.temp.data() + kMaltaBorder * stride + kMaltaBorder;
    std::fill_n(ctx.temp.data(), kMaltaBorder * stride, 0.0f);
    std::fill_n(diffs + size_t(h) * stride - kMaltaBorder, kMaltaBorder * stride, 0.0f);
    ForRowBands(ctx.threads, h, [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y) {
            const float* a = lum0.data() + size_t(y) * size_t(w);
            const float* b = lum1.data() + size_t(y) * size_t(w);
            float* out = diffs + size_t(y) * stride;
            std::fill_n(out - kMaltaBorder, kMaltaBorder, 0.0f);
            std::fill_n(out + w, kMaltaBorder, 0.0f);
            ctx.k.maltaInput(a, b, out, w, weights);
        }
    });
    ForRowBands(ctx.threads, h, [&](int32_t first, int32_t end) {
        for (int32_t y = first; y < end; ++y)
            ctx.k.maltaRow(diffs + size_t(y) * stride, ptrdiff_t(stride), ac.data() + size_t(y) * size_t(w), 0, w,
                           form);
    });
}

// Squared differences of the high band, with a one-sided term where the
// distorted value falls below 0.4 of the original's size or beyond it.
void AsymmetricL2(Context& ctx, const Plane& v0, const Plane& v1, float w0gt1, float w0lt1, Plane& ac) {
    const float wGt = float(double(w0gt1) * 0.8), wLt = float(double(w0lt1) * 0.8);
    ctx.EachSample([&](size_t i) {
        const float a = v0[i], b = v1[i];
        const float diff = a - b;
        float total = diff * diff * wGt + ac[i];
        const float fabs0 = std::fabs(a), tooSmall = 0.4f * fabs0, tooBig = fabs0;
        const float negSmall = b + tooSmall, negBig = -b - tooBig, posSmall = tooSmall - b, posBig = b - tooBig;
        const float ifNeg = b > -tooSmall ? negSmall : (b < -tooBig ? negBig : 0.0f);
        const float ifPos = b < tooSmall ? posSmall : (b > tooBig ? posBig : 0.0f);
        const float v = a < 0 ? ifNeg : ifPos;
        ac[i] = wLt * (v * v) + total;
    });
}

void L2(Context& ctx, const Plane& v0, const Plane& v1, float weight, Plane& ac) {
    ctx.EachSample([&](size_t i) {
        const float diff = v0[i] - v1[i];
        ac[i] = diff * diff * weight + ac[i];
    });
}

// Error weights: high band X, Y, (B); middle band X, Y, B; low band X, Y, B.
constexpr double kWeights[9] = {
    400.0,         1.50815703118,  0,               // high
    2150.0,        10.6195433239,  16.2176043152,   // middle
    29.2353797994, 0.844626970982, 0.703646627719,  // low
};

// The low bands' squared differences, in the space where they are
// compared: X, Y scaled, B less 0.36 Y, scaled.
Plane LowDifference(Context& ctx, const Bands& o, const Bands& d) {
    const float xmul = 32.2217497012f, ymul = 13.7697791434f, bmul = 47.504615728f, yToB = -0.362267051518f;
    const float w[3] = {float(kWeights[6]), float(kWeights[7]), float(kWeights[8])};
    Plane dc = ctx.Take();
    ctx.EachSample([&](size_t i) {
        const float vals0[3] = {o.lf[0][i] * xmul, o.lf[1][i] * ymul, (yToB * o.lf[1][i] + o.lf[2][i]) * bmul};
        const float vals1[3] = {d.lf[0][i] * xmul, d.lf[1][i] * ymul, (yToB * d.lf[1][i] + d.lf[2][i]) * bmul};
        float e[3];
        for (int c = 0; c < 3; ++c) {
            const float diff = vals0[c] - vals1[c];
            e[c] = diff * diff * w[c];
        }
        dc[i] = (e[0] + e[1]) + e[2];
    });
    return dc;
}

// How much the activity hides an error: of the middle/high errors and of
// the low ones.
constexpr float kGlobalScale = float(1.0 / double(17.8f * 0.79079917404f));
inline float MaskAc(float delta) {
    const double c = 2.5485944793 / ((0.451936922203 * delta) + 0.829591754942);
    const double r = kGlobalScale * (1.0 + c);
    return float(r * r);
}
inline float MaskDc(float delta) {
    const double c = 0.505054525019 / ((3.87449418804 * delta) + 0.20025578522);
    const double r = kGlobalScale * (1.0 + c);
    return float(r * r);
}

// Both pictures' bands at one resolution to the distance map. With
// `prepared` the original's bands are complete and kept; otherwise they
// are made beside the distorted picture's and dropped once used.
Plane DistanceMap(Context& ctx, Bands& o, Bands& d, bool prepared) {
    const auto dropOriginal = [&](Plane& p) {
        if (!prepared) ctx.Give(p);
    };
    if (!prepared) LowBands(ctx, o);
    LowBands(ctx, d);
    Plane dc = LowDifference(ctx, o, d);
    for (int c = 0; c < 3; ++c) {
        dropOriginal(o.lf[c]);
        ctx.Give(d.lf[c]);
    }
    if (!prepared) MiddleBands(ctx, o);
    MiddleBands(ctx, d);

    const double asym = kHfAsymmetry, sqrtAsym = std::sqrt(kHfAsymmetry);
    Plane ac = ctx.Take();
    std::fill(ac.begin(), ac.end(), 0.0f);
    L2(ctx, o.mf[2], d.mf[2], float(kWeights[5]), ac);
    dropOriginal(o.mf[2]);
    ctx.Give(d.mf[2]);

    struct Channel {
        double uhfWeight, uhfNorm, hfWeight, hfNorm, mfWeight, mfNorm;
    };
    const Channel channels[2] = {
        {173.5, 5.0, 6923.99476109, 8051.15833247, 8246.75321353, 1009002.70582},
        {1.10039032555, 71.7800275169, 18.7237414387, 4498534.45232, 37.0819870399, 130262059.556}};
    for (int c : {1, 0}) {
        if (!prepared) (c == 1 ? SplitY : SplitX)(ctx, o);
        (c == 1 ? SplitY : SplitX)(ctx, d);
        const Channel& ch = channels[c];
        MaltaDifference(ctx, o.uhf[c], d.uhf[c], ch.uhfWeight * asym, ch.uhfWeight / asym, ch.uhfNorm, MaltaForm::kHigh,
                        ac);
        dropOriginal(o.uhf[c]);
        ctx.Give(d.uhf[c]);
        MaltaDifference(ctx, o.hf[c], d.hf[c], ch.hfWeight * sqrtAsym, ch.hfWeight / sqrtAsym, ch.hfNorm,
                        MaltaForm::kLow, ac);
        AsymmetricL2(ctx, o.hf[c], d.hf[c], float(kWeights[c] * asym), float(kWeights[c] / asym), ac);
        dropOriginal(o.hf[c]);
        ctx.Give(d.hf[c]);
        MaltaDifference(ctx, o.mf[c], d.mf[c], ch.mfWeight, ch.mfWeight, ch.mfNorm, MaltaForm::kLow, ac);
        L2(ctx, o.mf[c], d.mf[c], float(kWeights[3 + c]), ac);
        dropOriginal(o.mf[c]);
        ctx.Give(d.mf[c]);
    }

    if (!prepared) {
        BlurMask(ctx, o);
        Erode(ctx, o);
    }
    BlurMask(ctx, d);
    const float maskToError = 10.0f;
    Plane& map = d.mask;  // the distorted picture's activity is used up here
    ctx.EachSample([&](size_t i) {
        const float change = o.mask[i] - d.mask[i];
        const float a = maskToError * change * change + ac[i];
        const float e = o.eroded[i];
        map[i] = std::sqrt(dc[i] * MaskDc(e) + a * MaskAc(e));
    });
    dropOriginal(o.mask);
    dropOriginal(o.eroded);
    return std::move(map);
}

// The original's bands at one resolution, complete.
void PrepareBands(Context& ctx, Bands& o) {
    LowBands(ctx, o);
    MiddleBands(ctx, o);
    SplitY(ctx, o);
    SplitX(ctx, o);
    BlurMask(ctx, o);
    Erode(ctx, o);
}

// The half-resolution map into the full one.
void AddHalf(const Plane& half, int32_t width, int32_t height, Plane& full) {
    const size_t hw = size_t((width + 1) / 2);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            float& v = full[size_t(y) * size_t(width) + size_t(x)];
            v = float(double(v) * (1.0 - 0.3 * double(0.5f)));
            v += 0.5f * half[size_t(y / 2) * hw + size_t(x / 2)];
        }
}

ButteraugliDistance Norms(const Plane& map, int32_t width, int32_t height, ButteraugliMap* out) {
    ButteraugliDistance result;
    float largest = 0.0f;
    double sums[3] = {0, 0, 0};
    for (int32_t y = 0; y < height; ++y) {
        double row[3] = {0, 0, 0};
        const float* r = map.data() + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; ++x) {
            largest = std::max(largest, r[x]);
            const double d = r[x];
            double p = d * d * d;
            row[0] += p;
            p *= p;
            row[1] += p;
            p *= p;
            row[2] += p;
        }
        for (int i = 0; i < 3; ++i) sums[i] += row[i];
    }
    const double perPixel = 1.0 / (double(width) * double(height));
    double v = 0;
    for (int i = 0; i < 3; ++i) v += std::pow(perPixel * sums[i], 1.0 / (3.0 * double(1 << i)));
    result.maxNorm = largest;
    result.norm3 = v / 3.0;
    if (out != nullptr) {
        out->width = width;
        out->height = height;
        out->distance.assign(map.begin(), map.end());
    }
    return result;
}

ButteraugliDistance NoDistance(ButteraugliMap* map) {
    if (map != nullptr) {
        map->width = map->height = 0;
        map->distance.clear();
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {nan, nan};
}

bool Measurable(int32_t width, int32_t height) { return width >= kMinSize && height >= kMinSize; }

}  // namespace

// --- Linear light --------------------------------------------------------

LinearRgb::LinearRgb(const RgbImage& image) : width_(image.width), height_(image.height) {
    const float* lut = LinearOf8Bit();
    const size_t n = size_t(width_) * size_t(height_);
    for (int c = 0; c < 3; ++c) {
        planes_[c].resize(n);
        for (size_t i = 0; i < n; ++i) planes_[c][i] = lut[image.rgb[3 * i + size_t(c)]];
    }
}

LinearRgbPlanes LinearRgb::Planes() const { return PackedPlanes(width_, height_, planes_); }

// --- The prepared original -------------------------------------------------

struct ButteraugliOriginal::Data {
    ButteraugliOptions options;
    int32_t width = 0;
    int32_t height = 0;
    Bands full, half;
};

namespace {

// Where a picture's linear light comes from: planes the caller keeps, or
// 8-bit samples converted only while they are needed.
struct Source {
    const LinearRgbPlanes* planes = nullptr;
    const RgbImage* image = nullptr;
};

// The picture's opsin planes at full resolution and its linear light at
// half resolution (empty when too small to measure).
void Start(Context& ctx, const Source& source, Bands& full, OwnedPlanes& half) {
    std::unique_ptr<LinearRgb> converted;
    if (source.image != nullptr) converted = std::make_unique<LinearRgb>(*source.image);
    const LinearRgbPlanes planes = converted ? converted->Planes() : *source.planes;
    if (Measurable((planes.width + 1) / 2, (planes.height + 1) / 2)) half = Halve(planes);
    Opsin(ctx, planes, full);
}

// The distance of the distorted picture against the original's bands
// (prepared, or made here from `original`).
ButteraugliDistance Measure(const Source& original, const ButteraugliOriginal::Data* prepared, const Source& distorted,
                            int32_t w, int32_t h, const ButteraugliOptions& options, ButteraugliMap* map) {
    if (!Measurable(w, h)) return NoDistance(map);
    const KernelTable& k = butteraugli::KernelTableFor(options.cpuFlags);
    const bool keep = prepared != nullptr;
    Bands ownFull, ownHalf, dFull;
    // The prepared bands are only read (DistanceMap keeps them).
    Bands& oFull = keep ? const_cast<Bands&>(prepared->full) : ownFull;
    Bands& oHalf = keep ? const_cast<Bands&>(prepared->half) : ownHalf;
    OwnedPlanes oLinearHalf, dLinearHalf;
    {
        Context ctx(w, h, k, options.threads);
        if (!keep) Start(ctx, original, oFull, oLinearHalf);
        Start(ctx, distorted, dFull, dLinearHalf);
    }
    Plane halfMap;
    if (!dLinearHalf.p[0].empty()) {
        Context ctx(dLinearHalf.width, dLinearHalf.height, k, options.threads);
        Bands dHalf;
        Opsin(ctx, dLinearHalf.View(), dHalf);
        dLinearHalf = OwnedPlanes();
        if (!keep) {
            Opsin(ctx, oLinearHalf.View(), oHalf);
            oLinearHalf = OwnedPlanes();
        }
        halfMap = DistanceMap(ctx, oHalf, dHalf, keep);
    }
    Context ctx(w, h, k, options.threads);
    Plane fullMap = DistanceMap(ctx, oFull, dFull, keep);
    if (!halfMap.empty()) AddHalf(halfMap, w, h, fullMap);
    return Norms(fullMap, w, h, map);
}

void Prepare(const Source& source, int32_t width, int32_t height, ButteraugliOriginal::Data& data) {
    if (!Measurable(width, height)) return;
    const KernelTable& k = butteraugli::KernelTableFor(data.options.cpuFlags);
    OwnedPlanes half;
    {
        Context ctx(width, height, k, data.options.threads);
        Start(ctx, source, data.full, half);
        PrepareBands(ctx, data.full);
    }
    if (!half.p[0].empty()) {
        Context ctx(half.width, half.height, k, data.options.threads);
        Opsin(ctx, half.View(), data.half);
        half = OwnedPlanes();
        PrepareBands(ctx, data.half);
    }
}

}  // namespace

ButteraugliOriginal::ButteraugliOriginal(const LinearRgbPlanes& original, const ButteraugliOptions& options)
    : data_(new Data) {
    data_->options = options;
    data_->width = original.width;
    data_->height = original.height;
    Prepare(Source{&original, nullptr}, original.width, original.height, *data_);
}

ButteraugliOriginal::ButteraugliOriginal(const RgbImage& original, const ButteraugliOptions& options)
    : data_(new Data) {
    data_->options = options;
    data_->width = original.width;
    data_->height = original.height;
    Prepare(Source{nullptr, &original}, original.width, original.height, *data_);
}

ButteraugliOriginal::ButteraugliOriginal(const Y4mFormat& format, const Y4mFrame& frame,
                                         const ButteraugliOptions& options)
    : ButteraugliOriginal(FrameAsRgb(format, frame), options) {}

ButteraugliOriginal::~ButteraugliOriginal() = default;
ButteraugliOriginal::ButteraugliOriginal(ButteraugliOriginal&&) noexcept = default;
ButteraugliOriginal& ButteraugliOriginal::operator=(ButteraugliOriginal&&) noexcept = default;

int32_t ButteraugliOriginal::Width() const { return data_->width; }
int32_t ButteraugliOriginal::Height() const { return data_->height; }

ButteraugliDistance ButteraugliOriginal::Measure(const LinearRgbPlanes& distorted, ButteraugliMap* map) const {
    CheckSameSize(data_->width, data_->height, distorted.width, distorted.height);
    return vardelk::Measure(Source{}, data_.get(), Source{&distorted, nullptr}, data_->width, data_->height,
                            data_->options, map);
}

ButteraugliDistance ButteraugliOriginal::Measure(const RgbImage& distorted, ButteraugliMap* map) const {
    CheckSameSize(data_->width, data_->height, distorted.width, distorted.height);
    return vardelk::Measure(Source{}, data_.get(), Source{nullptr, &distorted}, data_->width, data_->height,
                            data_->options, map);
}

ButteraugliDistance ButteraugliOriginal::Measure(const Y4mFormat& format, const Y4mFrame& distorted,
                                                 ButteraugliMap* map) const {
    return Measure(FrameAsRgb(format, distorted), map);
}

ButteraugliDistance Butteraugli(const LinearRgbPlanes& original, const LinearRgbPlanes& distorted,
                                const ButteraugliOptions& options, ButteraugliMap* map) {
    CheckSameSize(original.width, original.height, distorted.width, distorted.height);
    return Measure(Source{&original, nullptr}, nullptr, Source{&distorted, nullptr}, original.width, original.height,
                   options, map);
}

ButteraugliDistance Butteraugli(const RgbImage& original, const RgbImage& distorted, const ButteraugliOptions& options,
                                ButteraugliMap* map) {
    CheckSameSize(original.width, original.height, distorted.width, distorted.height);
    return Measure(Source{nullptr, &original}, nullptr, Source{nullptr, &distorted}, original.width, original.height,
                   options, map);
}

ButteraugliDistance ButteraugliFrames(const Y4mFormat& format, const Y4mFrame& original, const Y4mFrame& distorted,
                                      const ButteraugliOptions& options) {
    return Butteraugli(FrameAsRgb(format, original), FrameAsRgb(format, distorted), options);
}

}  // namespace vardelk
