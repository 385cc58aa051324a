#include "quality/ssimulacra2.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "quality/perceptual_measure.h"
#include "quality/srgb_table.h"
#include "quality/ssimulacra2_kernels.h"

#if !defined(__EMSCRIPTEN__)
#include "parallel/parallel_for.h"
#endif

namespace vardelk {

using ssimulacra2::KernelTable;
using ssimulacra2::kLanes;
using ssimulacra2::kSums;

namespace {

constexpr int32_t kScales = 6;
constexpr int32_t kMinScaleSize = 8;
constexpr int32_t kMaps = 3;  // SSIM, ringing, blur

// The weights of the 108 values, in the order channel (X, Y, B), scale,
// norm (1, 4), map (SSIM, ringing, blur).
constexpr double kWeights[3 * kScales * 2 * kMaps] = {0.0,
                                                      0.0007376606707406586,
                                                      0.0,
                                                      0.0,
                                                      0.0007793481682867309,
                                                      0.0,
                                                      0.0,
                                                      0.0004371155730107379,
                                                      0.0,
                                                      1.1041726426657346,
                                                      0.00066284834129271,
                                                      0.00015231632783718752,
                                                      0.0,
                                                      0.0016406437456599754,
                                                      0.0,
                                                      1.8422455520539298,
                                                      11.441172603757666,
                                                      0.0,
                                                      0.0007989109436015163,
                                                      0.000176816438078653,
                                                      0.0,
                                                      1.8787594979546387,
                                                      10.94906990605142,
                                                      0.0,
                                                      0.0007289346991508072,
                                                      0.9677937080626833,
                                                      0.0,
                                                      0.00014003424285435884,
                                                      0.9981766977854967,
                                                      0.00031949755934435053,
                                                      0.0004550992113792063,
                                                      0.0,
                                                      0.0,
                                                      0.0013648766163243398,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      7.466890328078848,
                                                      0.0,
                                                      17.445833984131262,
                                                      0.0006235601634041466,
                                                      0.0,
                                                      0.0,
                                                      6.683678146179332,
                                                      0.00037724407979611296,
                                                      1.027889937768264,
                                                      225.20515300849274,
                                                      0.0,
                                                      0.0,
                                                      19.213238186143016,
                                                      0.0011401524586618361,
                                                      0.001237755635509985,
                                                      176.39317598450694,
                                                      0.0,
                                                      0.0,
                                                      24.43300999870476,
                                                      0.28520802612117757,
                                                      0.0004485436923833408,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      34.77906344483772,
                                                      44.835625328877896,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0008680556573291698,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0005313191874358747,
                                                      0.0,
                                                      0.00016533814161379112,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0004179171803251336,
                                                      0.0017290828234722833,
                                                      0.0,
                                                      0.0020827005846636437,
                                                      0.0,
                                                      0.0,
                                                      8.826982764996862,
                                                      23.19243343998926,
                                                      0.0,
                                                      95.1080498811086,
                                                      0.9863978034400682,
                                                      0.9834382792465353,
                                                      0.0012286405048278493,
                                                      171.2667255897307,
                                                      0.9807858872435379,
                                                      0.0,
                                                      0.0,
                                                      0.0,
                                                      0.0005130064588990679,
                                                      0.0,
                                                      0.00010854057858411537};

// The remap of the weighted sum to the score.
constexpr double kSumScale = 0.9562382616834844;
constexpr double kRemap1 = 2.326765642916932, kRemap2 = -0.020884521182843837, kRemap3 = 6.248496625763138e-05;
constexpr double kRemapPower = 0.6276336467831387;

void RunParallel(int32_t threads, int64_t count, const std::function<void(int64_t)>& body) {
#if defined(__EMSCRIPTEN__)
    (void)threads;
    for (int64_t i = 0; i < count; ++i) body(i);
#else
    if (threads <= 1) {
        for (int64_t i = 0; i < count; ++i) body(i);
    } else {
        ParallelFor(threads, count, body);
    }
#endif
}

// Three planes of one size.
struct Planes {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<float> plane[3];

    void Resize(int32_t w, int32_t h) {
        width = w;
        height = h;
        for (std::vector<float>& p : plane) p.assign(size_t(w) * size_t(h), 0.0f);
    }
    const float* Row(int32_t c, int32_t y) const { return plane[c].data() + size_t(y) * size_t(width); }
    float* Row(int32_t c, int32_t y) { return plane[c].data() + size_t(y) * size_t(width); }
};

// A scale is measured when the one before it (the picture itself for the
// first) is at least 8 pixels either way, so the last may be smaller.
int32_t ScaleCount(int32_t width, int32_t height) {
    int32_t n = 0;
    while (n < kScales && width >= kMinScaleSize && height >= kMinScaleSize) {
        ++n;
        if (n > 1) {
            width = (width + 1) / 2;
            height = (height + 1) / 2;
        }
    }
    return n;
}

// Rows converted in one piece of work.
constexpr int32_t kBandRows = 16;

void ToXybPlanes(const Planes& linear, Planes& xyb, const KernelTable& k, int32_t threads) {
    xyb.Resize(linear.width, linear.height);
    const int64_t bands = (linear.height + kBandRows - 1) / kBandRows;
    RunParallel(threads, bands, [&](int64_t band) {
        const int32_t end = std::min<int32_t>(linear.height, int32_t(band + 1) * kBandRows);
        for (int32_t y = int32_t(band) * kBandRows; y < end; ++y)
            k.toXyb(linear.Row(0, y), linear.Row(1, y), linear.Row(2, y), xyb.Row(0, y), xyb.Row(1, y), xyb.Row(2, y),
                    linear.width);
    });
}

// The 2x2 means of a linear picture, sample(x, y) giving a sample of the
// larger picture (clamped at its edges). Added in the order top-left,
// top-right, bottom-left, bottom-right, then quartered.
template <typename Sample>
void HalveInto(int32_t width, int32_t height, Planes& out, int32_t threads, const Sample& sample) {
    out.Resize((width + 1) / 2, (height + 1) / 2);
    RunParallel(threads, out.height, [&](int64_t oy) {
        const int32_t y0 = int32_t(oy) * 2, y1 = std::min(y0 + 1, height - 1);
        for (int32_t c = 0; c < 3; ++c) {
            float* row = out.Row(c, int32_t(oy));
            for (int32_t ox = 0; ox < out.width; ++ox) {
                const int32_t x0 = ox * 2, x1 = std::min(x0 + 1, width - 1);
                const float sum = ((sample(c, x0, y0) + sample(c, x1, y0)) + sample(c, x0, y1)) + sample(c, x1, y1);
                row[ox] = sum * 0.25f;
            }
        }
    });
}

// The XYB planes of every scale.
std::vector<Planes> XybPyramid(const RgbImage& image, const KernelTable& k, int32_t threads) {
    const int32_t count = ScaleCount(image.width, image.height);
    std::vector<Planes> pyramid(static_cast<size_t>(count));
    if (count == 0) return pyramid;
    const float* lut = LinearOf8Bit();
    Planes linear;
    {
        // Full scale straight from the samples, a band of rows at a time.
        Planes& xyb = pyramid[0];
        xyb.Resize(image.width, image.height);
        const int64_t bands = (image.height + kBandRows - 1) / kBandRows;
        RunParallel(threads, bands, [&](int64_t band) {
            std::vector<float> rgb(size_t(image.width) * 3);
            float* r = rgb.data();
            float* g = r + image.width;
            float* b = g + image.width;
            const int32_t end = std::min<int32_t>(image.height, int32_t(band + 1) * kBandRows);
            for (int32_t y = int32_t(band) * kBandRows; y < end; ++y) {
                const uint8_t* s = image.At(0, y);
                for (int32_t x = 0; x < image.width; ++x) {
                    r[x] = lut[s[3 * x]];
                    g[x] = lut[s[3 * x + 1]];
                    b[x] = lut[s[3 * x + 2]];
                }
                k.toXyb(r, g, b, xyb.Row(0, y), xyb.Row(1, y), xyb.Row(2, y), image.width);
            }
        });
    }
    if (count > 1)
        HalveInto(image.width, image.height, linear, threads,
                  [&](int32_t c, int32_t x, int32_t y) { return lut[image.At(x, y)[c]]; });
    for (int32_t s = 1; s < count; ++s) {
        ToXybPlanes(linear, pyramid[size_t(s)], k, threads);
        if (s + 1 < count) {
            Planes next;
            HalveInto(linear.width, linear.height, next, threads,
                      [&](int32_t c, int32_t x, int32_t y) { return linear.Row(c, y)[x]; });
            linear = std::move(next);
        }
    }
    return pyramid;
}

// What one channel at one scale streams through the blur: the quantities'
// sources, and where their blurred rows go.
enum Quantity { kOriginal, kDistorted, kOriginalSquares, kDistortedSquares, kCross, kQuantities };

struct ChannelJob {
    int32_t width = 0;
    int32_t height = 0;
    const float* original = nullptr;
    const float* distorted = nullptr;  // null when only the original's blurs are made
    // The original's blurred mean and squares: read when given with a
    // distorted picture, written when given without one, else computed.
    const float* cachedMean = nullptr;
    const float* cachedSquares = nullptr;
    float* meanOut = nullptr;
    float* squaresOut = nullptr;
    // Weighted per-pixel errors of this channel, when a map is made.
    float* map = nullptr;
    double mapWeights[kMaps] = {0, 0, 0};
};

// Horizontal rows are made in batches of kLanes rows into a ring of
// kRingRows rows per quantity, enough for the 2 radius + 1 rows the
// vertical step reads beside a fresh batch.
constexpr int32_t kRingRows = 32;

// Streams the channel down its rows: each quantity's rows blurred along
// the row a batch at a time, then one vertical step per row, whose output
// row is measured at once. Only a few dozen rows are held. Returns the six
// sums over the picture.
void RunChannel(const ChannelJob& job, const KernelTable& k, double sums[kSums]) {
    const int32_t w = job.width, h = job.height;
    const size_t rowSize = size_t(w);
    bool active[kQuantities] = {};
    const bool scoring = job.distorted != nullptr;
    const bool cached = scoring && job.cachedMean != nullptr;
    active[kOriginal] = active[kOriginalSquares] = !cached;
    active[kDistorted] = active[kDistortedSquares] = active[kCross] = scoring;

    std::vector<float> ring(kQuantities * kRingRows * rowSize);
    std::vector<float> state(kQuantities * 6 * rowSize, 0.0f);
    std::vector<float> out(kQuantities * rowSize);
    std::vector<float> batch(kLanes * rowSize);
    std::vector<float> zeros(rowSize, 0.0f);

    auto source = [&](int32_t q, int32_t y, float* dst) {
        const float* a = job.original + size_t(y) * rowSize;
        const float* b = scoring ? job.distorted + size_t(y) * rowSize : nullptr;
        switch (q) {
            case kOriginal:
                std::copy(a, a + w, dst);
                break;
            case kDistorted:
                std::copy(b, b + w, dst);
                break;
            case kOriginalSquares:
                for (int32_t x = 0; x < w; ++x) dst[x] = a[x] * a[x];
                break;
            case kDistortedSquares:
                for (int32_t x = 0; x < w; ++x) dst[x] = b[x] * b[x];
                break;
            default:
                for (int32_t x = 0; x < w; ++x) dst[x] = a[x] * b[x];
                break;
        }
    };

    const int32_t radius = ssimulacra2::Blur().radius;
    const int32_t window = 2 * radius;
    const int32_t steps = h + radius - 1;
    int32_t nextBatch = 0;
    for (int32_t s = 0; s < kSums; ++s) sums[s] = 0.0;

    for (int32_t m = 0; m < steps; ++m) {
        if (m < h && m >= nextBatch) {
            const int32_t rows = std::min(kLanes, h - nextBatch);
            for (int32_t q = 0; q < kQuantities; ++q) {
                if (!active[q]) continue;
                for (int32_t r = 0; r < rows; ++r) source(q, nextBatch + r, batch.data() + size_t(r) * rowSize);
                float* dst = ring.data() + (size_t(q) * kRingRows + size_t(nextBatch % kRingRows)) * rowSize;
                k.blurRows(batch.data(), w, dst, w, w, rows);
            }
            nextBatch += kLanes;
        }
        const int32_t n = m - radius + 1;
        for (int32_t q = 0; q < kQuantities; ++q) {
            if (!active[q]) continue;
            const float* qRing = ring.data() + size_t(q) * kRingRows * rowSize;
            const float* newer = m < h ? qRing + size_t(m % kRingRows) * rowSize : zeros.data();
            const float* older = m >= window ? qRing + size_t((m - window) % kRingRows) * rowSize : zeros.data();
            k.blurColumnsStep(newer, older, state.data() + size_t(q) * 6 * rowSize,
                              n >= 0 ? out.data() + size_t(q) * rowSize : nullptr, w);
        }
        if (n < 0) continue;

        const size_t at = size_t(n) * rowSize;
        const float* mean = active[kOriginal] ? out.data() + kOriginal * rowSize : job.cachedMean + at;
        const float* squares =
            active[kOriginalSquares] ? out.data() + kOriginalSquares * rowSize : job.cachedSquares + at;
        if (!scoring) {
            std::copy(mean, mean + w, job.meanOut + at);
            std::copy(squares, squares + w, job.squaresOut + at);
            continue;
        }
        const ssimulacra2::StatisticsRow row{job.original + at,
                                             job.distorted + at,
                                             mean,
                                             out.data() + kDistorted * rowSize,
                                             squares,
                                             out.data() + kDistortedSquares * rowSize,
                                             out.data() + kCross * rowSize};
        ssimulacra2::RowSums lanes = {};
        k.rowStatistics(row, w, lanes);
        for (int32_t s = 0; s < kSums; ++s) {
            const double* l = lanes[s];
            sums[s] += ((l[0] + l[1]) + (l[2] + l[3])) + ((l[4] + l[5]) + (l[6] + l[7]));
        }
        if (job.map != nullptr) {
            float* mapRow = job.map + at;
            for (int32_t x = 0; x < w; ++x) {
                double e[kMaps];
                ssimulacra2::PixelErrors(row, x, e);
                mapRow[x] =
                    static_cast<float>(job.mapWeights[0] * e[0] + job.mapWeights[1] * e[1] + job.mapWeights[2] * e[2]);
            }
        }
    }
}

// The original's blurred means and squares at one scale.
struct Blurred {
    Planes mean;
    Planes squares;
};

double ScoreFromSums(const std::vector<double>& sums, int32_t scales, const std::vector<Planes>& pyramid) {
    // sums: per scale and channel, the six sums.
    double total = 0.0;
    size_t i = 0;
    for (int32_t c = 0; c < 3; ++c) {
        for (int32_t s = 0; s < scales; ++s) {
            const double* v = sums.data() + (size_t(s) * 3 + size_t(c)) * kSums;
            const double perPixel = 1.0 / (double(pyramid[size_t(s)].width) * double(pyramid[size_t(s)].height));
            for (int32_t norm = 0; norm < 2; ++norm)
                for (int32_t map = 0; map < kMaps; ++map) {
                    const double mean = perPixel * v[2 * map + norm];
                    const double value = norm == 0 ? mean : std::sqrt(std::sqrt(mean));
                    total += kWeights[i++] * std::abs(value);
                }
        }
    }
    const double t = total * kSumScale;
    const double u = kRemap1 * t + kRemap2 * t * t + kRemap3 * t * t * t;
    return u > 0 ? 100.0 - 10.0 * std::pow(u, kRemapPower) : 100.0;
}

// Scores the distorted pyramid against the original's, with the original's
// blurs when given (else computed alongside).
double ScorePyramids(const std::vector<Planes>& original, const std::vector<Blurred>* blurred,
                     const std::vector<Planes>& distorted, const Ssimulacra2Options& options, Ssimulacra2Map* map) {
    const int32_t scales = int32_t(original.size());
    if (map != nullptr) {
        map->width = map->height = 0;
        map->error.clear();
    }
    if (scales == 0) return std::numeric_limits<double>::quiet_NaN();
    const KernelTable& k = ssimulacra2::KernelTableFor(options.cpuFlags);
    std::vector<double> sums(size_t(scales) * 3 * kSums, 0.0);
    std::vector<float> channelMaps;
    const size_t fullSize = size_t(original[0].width) * size_t(original[0].height);
    if (map != nullptr) channelMaps.assign(3 * fullSize, 0.0f);
    RunParallel(options.threads, int64_t(scales) * 3, [&](int64_t task) {
        const int32_t s = int32_t(task / 3), c = int32_t(task % 3);
        ChannelJob job;
        job.width = original[size_t(s)].width;
        job.height = original[size_t(s)].height;
        job.original = original[size_t(s)].plane[c].data();
        job.distorted = distorted[size_t(s)].plane[c].data();
        if (blurred != nullptr) {
            job.cachedMean = (*blurred)[size_t(s)].mean.plane[c].data();
            job.cachedSquares = (*blurred)[size_t(s)].squares.plane[c].data();
        }
        if (map != nullptr && s == 0) {
            job.map = channelMaps.data() + size_t(c) * fullSize;
            for (int32_t m = 0; m < kMaps; ++m)
                job.mapWeights[m] = kWeights[size_t(c) * kScales * 2 * kMaps + size_t(m)] +
                                    kWeights[size_t(c) * kScales * 2 * kMaps + kMaps + size_t(m)];
        }
        RunChannel(job, k, sums.data() + size_t(task) * kSums);
    });
    if (map != nullptr) {
        map->width = original[0].width;
        map->height = original[0].height;
        map->error.resize(fullSize);
        for (size_t i = 0; i < fullSize; ++i)
            map->error[i] = (channelMaps[i] + channelMaps[fullSize + i]) + channelMaps[2 * fullSize + i];
    }
    return ScoreFromSums(sums, scales, original);
}

}  // namespace

struct Ssimulacra2Original::Data {
    Ssimulacra2Options options;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<Planes> pyramid;
    std::vector<Blurred> blurred;
};

Ssimulacra2Original::Ssimulacra2Original(const RgbImage& original, const Ssimulacra2Options& options)
    : data_(new Data) {
    data_->options = options;
    data_->width = original.width;
    data_->height = original.height;
    const KernelTable& k = ssimulacra2::KernelTableFor(options.cpuFlags);
    data_->pyramid = XybPyramid(original, k, options.threads);
    const int32_t scales = int32_t(data_->pyramid.size());
    data_->blurred.resize(size_t(scales));
    for (int32_t s = 0; s < scales; ++s) {
        const Planes& p = data_->pyramid[size_t(s)];
        data_->blurred[size_t(s)].mean.Resize(p.width, p.height);
        data_->blurred[size_t(s)].squares.Resize(p.width, p.height);
    }
    RunParallel(options.threads, int64_t(scales) * 3, [&](int64_t task) {
        const int32_t s = int32_t(task / 3), c = int32_t(task % 3);
        ChannelJob job;
        job.width = data_->pyramid[size_t(s)].width;
        job.height = data_->pyramid[size_t(s)].height;
        job.original = data_->pyramid[size_t(s)].plane[c].data();
        job.meanOut = data_->blurred[size_t(s)].mean.plane[c].data();
        job.squaresOut = data_->blurred[size_t(s)].squares.plane[c].data();
        double unused[kSums];
        RunChannel(job, k, unused);
    });
}

Ssimulacra2Original::Ssimulacra2Original(const Y4mFormat& format, const Y4mFrame& frame,
                                         const Ssimulacra2Options& options)
    : Ssimulacra2Original(FrameAsRgb(format, frame), options) {}

Ssimulacra2Original::~Ssimulacra2Original() = default;
Ssimulacra2Original::Ssimulacra2Original(Ssimulacra2Original&&) noexcept = default;
Ssimulacra2Original& Ssimulacra2Original::operator=(Ssimulacra2Original&&) noexcept = default;

int32_t Ssimulacra2Original::Width() const { return data_->width; }
int32_t Ssimulacra2Original::Height() const { return data_->height; }

double Ssimulacra2Original::Score(const RgbImage& distorted, Ssimulacra2Map* map) const {
    CheckSameSize(data_->width, data_->height, distorted.width, distorted.height);
    const KernelTable& k = ssimulacra2::KernelTableFor(data_->options.cpuFlags);
    const std::vector<Planes> pyramid = XybPyramid(distorted, k, data_->options.threads);
    return ScorePyramids(data_->pyramid, &data_->blurred, pyramid, data_->options, map);
}

double Ssimulacra2Original::Score(const Y4mFormat& format, const Y4mFrame& distorted, Ssimulacra2Map* map) const {
    return Score(FrameAsRgb(format, distorted), map);
}

double Ssimulacra2(const RgbImage& original, const RgbImage& distorted, const Ssimulacra2Options& options,
                   Ssimulacra2Map* map) {
    CheckSameSize(original.width, original.height, distorted.width, distorted.height);
    const KernelTable& k = ssimulacra2::KernelTableFor(options.cpuFlags);
    const std::vector<Planes> a = XybPyramid(original, k, options.threads);
    const std::vector<Planes> b = XybPyramid(distorted, k, options.threads);
    return ScorePyramids(a, nullptr, b, options, map);
}

double Ssimulacra2Frames(const Y4mFormat& format, const Y4mFrame& original, const Y4mFrame& distorted,
                         const Ssimulacra2Options& options) {
    return Ssimulacra2(FrameAsRgb(format, original), FrameAsRgb(format, distorted), options);
}

}  // namespace vardelk
