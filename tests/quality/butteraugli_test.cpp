#include "quality/butteraugli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/frame_coder.h"
#include "media/yc_convert.h"
#include "pictures/png_file.h"
#include "testing/skip.h"

namespace vardelk {
namespace {

const char* const kPhotos = "/usr/share/libjxl-testdata";

struct Pair {
    std::string name;
    RgbImage original;
    RgbImage distorted;
};

// What `butteraugli_main ORIGINAL DISTORTED --pnorm 3` prints for these
// pairs (scripts/butteraugli_reference.sh makes them again).
struct Figure {
    const char* name;
    double maxNorm;
    double norm3;
};
const Figure kReference[] = {
#include "tests/quality/butteraugli_figures.inc"
};

RgbImage Crop(const RgbImage& image, int32_t x0, int32_t y0, int32_t w, int32_t h) {
    RgbImage out;
    out.Resize(w, h);
    for (int32_t y = 0; y < h; ++y) std::copy_n(image.At(x0, y0 + y), size_t(w) * 3, out.At(0, y));
    return out;
}

enum class Matrix { kDefault, kFlat16, kSteep };
const char* const kMatrixNames[] = {"default", "flat16", "steep"};

// The picture as the codec codes it and its reconstruction, both as RGB
// from 4:2:0 planes (each chroma sample the mean of its square).
void Code(const RgbImage& rgb, int32_t scaleCode, Matrix matrix, RgbImage& original, RgbImage& distorted) {
    Y4mFormat format = FormatForRgb(rgb.width, rgb.height);
    Y4mFrame full;
    RgbToFrame(rgb, full);
    std::vector<Pixel> pixels(size_t(rgb.width) * size_t(rgb.height));
    Y4mToYc(format, full, pixels.data(), rgb.width);
    format.chroma = ChromaFormat::k420;
    format.chromaTag = "420jpeg";
    Y4mFrame planes, reconstruction;
    YcToY4m(format, pixels.data(), rgb.width, planes);
    Y4mToYc(format, planes, pixels.data(), rgb.width);
    std::vector<Pixel> output(pixels.size());
    int32_t weights[kMatrixEntries];
    for (int32_t i = 0; i < kMatrixEntries; ++i) {
        const int32_t u = i % 8, v = i / 8;
        weights[i] = matrix == Matrix::kFlat16  ? 16
                     : matrix == Matrix::kSteep ? std::min(255, 8 + 6 * (u + v) * (u + v) / 4)
                                                : kDefaultIntraMatrix[i];
    }
    CodingSettings settings;
    settings.scaleCode = scaleCode;
    FrameCoder coder;
    coder.CodeFrame(settings, weights, pixels.data(), output.data(),
                    FrameGeometry{rgb.width, rgb.height, rgb.width, rgb.height});
    YcToY4m(format, output.data(), rgb.width, reconstruction);
    FrameToRgb(format, planes, original);
    FrameToRgb(format, reconstruction, distorted);
}

uint32_t Next(uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 24;
}

// Smooth colour gradients with a fine texture and a few hard edges.
RgbImage Scene(int32_t w, int32_t h, uint32_t seed) {
    RgbImage image;
    image.Resize(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = image.At(x, y);
            const int32_t texture = int32_t(Next(seed) % 24) - 12;
            const int32_t edge = ((x / 13 + y / 11) % 3 == 0) ? 60 : 0;
            p[0] = uint8_t(std::clamp(40 + 150 * x / w + texture + edge, 0, 255));
            p[1] = uint8_t(std::clamp(200 - 120 * y / h + texture, 0, 255));
            p[2] = uint8_t(std::clamp(90 + int32_t(60 * std::sin(x * 0.2 + y * 0.1)) + edge, 0, 255));
        }
    return image;
}

RgbImage AddNoise(const RgbImage& image, int32_t amplitude, uint32_t seed) {
    RgbImage out;
    out.Resize(image.width, image.height);
    for (size_t i = 0; i < out.rgb.size(); ++i) {
        const int32_t noise = int32_t(Next(seed) % uint32_t(2 * amplitude + 1)) - amplitude;
        out.rgb[i] = uint8_t(std::clamp(int32_t(image.rgb[i]) + noise, 0, 255));
    }
    return out;
}

void Add(std::vector<Pair>& pairs, const std::string& name, const RgbImage& original, const RgbImage& distorted) {
    pairs.push_back(Pair{name, original, distorted});
}

std::vector<Pair> Pairs(bool& havePhotos) {
    std::vector<Pair> pairs;
    struct Photo {
        const char* tag;
        const char* path;
        int32_t x, y, w, h;
        int32_t codes[3];
        Matrix matrices[2];
    };
    const Photo photos[] = {
        {"flower", "jxl/flower/flower.png", 600, 400, 320, 240, {2, 8, 24}, {Matrix::kDefault, Matrix::kFlat16}},
        {"tiger",
         "external/wesaturate/500px/cvo9xd_keong_macan_srgb8.png",
         100,
         120,
         203,
         151,
         {3, 10, 31},
         {Matrix::kDefault, Matrix::kSteep}},
        {"tulips",
         "external/wesaturate/500px/tmshre_riaphotographs_srgb8.png",
         50,
         50,
         256,
         192,
         {1, 12, 0},
         {Matrix::kFlat16, Matrix::kSteep}},
        {"blossom",
         "external/wesaturate/500px/u76c0g_bliznaca_srgb8.png",
         100,
         150,
         300,
         200,
         {6, 16, 0},
         {Matrix::kDefault, Matrix::kFlat16}},
        {"room", "jxl/hdr_room.png", 200, 150, 176, 144, {5, 20, 0}, {Matrix::kDefault, Matrix::kSteep}},
    };
    havePhotos = true;
    for (const Photo& photo : photos) {
        RgbImage image;
        try {
            image = ReadPng(std::string(kPhotos) + "/" + photo.path);
        } catch (const std::exception&) {
            havePhotos = false;
            continue;
        }
        const RgbImage crop = Crop(image, photo.x, photo.y, photo.w, photo.h);
        for (int32_t code : photo.codes) {
            if (code == 0) continue;
            for (Matrix matrix : photo.matrices) {
                Pair pair;
                pair.name = std::string(photo.tag) + "-" + std::to_string(code) + "-" + kMatrixNames[int(matrix)];
                Code(crop, code, matrix, pair.original, pair.distorted);
                pairs.push_back(std::move(pair));
            }
        }
    }
    // Sizes that are odd, at the smallest measured, or just too small for
    // the half resolution.
    const RgbImage small = Scene(33, 17, 1), medium = Scene(97, 61, 3), least = Scene(8, 8, 9),
                   narrow = Scene(15, 40, 10);
    Add(pairs, "odd-33x17", small, AddNoise(small, 6, 2));
    Add(pairs, "odd-97x61", medium, AddNoise(medium, 10, 4));
    Add(pairs, "least-8x8", least, AddNoise(least, 20, 11));
    Add(pairs, "narrow-15x40", narrow, AddNoise(narrow, 8, 12));
    RgbImage a, b;
    Code(Scene(250, 130, 5), 12, Matrix::kDefault, a, b);
    Add(pairs, "coded-250x130", a, b);
    // Grey: R = G = B.
    RgbImage grey = Scene(120, 90, 6);
    for (size_t i = 0; i < grey.rgb.size(); i += 3) grey.rgb[i + 1] = grey.rgb[i + 2] = grey.rgb[i];
    Code(grey, 10, Matrix::kFlat16, a, b);
    Add(pairs, "grey-120x90", a, b);
    // A flat picture with a faint change, and noise against flat.
    RgbImage flat;
    flat.Resize(64, 48);
    std::fill(flat.rgb.begin(), flat.rgb.end(), uint8_t(118));
    RgbImage faint = flat;
    for (int32_t y = 20; y < 28; ++y) std::fill_n(faint.At(24, y), 3 * 16, uint8_t(121));
    Add(pairs, "flat-64x48", flat, faint);
    Add(pairs, "noise-on-flat-64x48", flat, AddNoise(flat, 40, 13));
    // Saturated colour bars with hard edges, black and white extremes.
    RgbImage bars;
    bars.Resize(144, 80);
    const uint8_t colours[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {255, 0, 255}, {0, 255, 255}};
    for (int32_t y = 0; y < bars.height; ++y)
        for (int32_t x = 0; x < bars.width; ++x) std::copy_n(colours[(x / 24 + y / 40) % 6], 3, bars.At(x, y));
    Code(bars, 8, Matrix::kDefault, a, b);
    Add(pairs, "saturated-144x80", a, b);
    RgbImage checker;
    checker.Resize(40, 40);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x) std::fill_n(checker.At(x, y), 3, uint8_t(((x / 5 + y / 5) % 2) * 255));
    Code(checker, 6, Matrix::kFlat16, a, b);
    Add(pairs, "checker-40x40", a, b);
    // The same picture, and one with little left of it.
    const RgbImage scene = Scene(128, 96, 7);
    Add(pairs, "identical-128x96", scene, scene);
    RgbImage inverted = AddNoise(scene, 90, 8);
    for (uint8_t& v : inverted.rgb) v = uint8_t(255 - v);
    Add(pairs, "destroyed-128x96", scene, inverted);
    return pairs;
}

// Within 0.1 % of the program's figures (it prints the 3-norm to six
// places, so a small norm is held to half a unit of that place).
TEST(Butteraugli, MatchesTheProgramOnPhotographsAndEdgeCases) {
    bool havePhotos = false;
    const std::vector<Pair> pairs = Pairs(havePhotos);
    if (!havePhotos) {
        if (vardelk::testing::SkipFails())
            FAIL() << "the photographs of Debian's libjxl-testdata are missing (" << kPhotos << ")";
        std::printf("libjxl-testdata missing: the photographs are left out\n");
    }
    if (const char* dump = std::getenv("VARDELK_BUTTERAUGLI_DUMP")) {
        std::ofstream list(std::string(dump) + "/pairs.txt");
        for (const Pair& pair : pairs) {
            WritePng(std::string(dump) + "/" + pair.name + ".original.png", pair.original);
            WritePng(std::string(dump) + "/" + pair.name + ".distorted.png", pair.distorted);
            list << pair.name << "\n";
        }
    }
    int32_t compared = 0;
    double worstMax = 0.0, worstNorm = 0.0;
    for (const Pair& pair : pairs) {
        const Figure* figure = std::find_if(std::begin(kReference), std::end(kReference),
                                            [&](const Figure& f) { return pair.name == f.name; });
        if (figure == std::end(kReference)) {
            ADD_FAILURE() << pair.name << " has no reference figure";
            continue;
        }
        const ButteraugliDistance d = Butteraugli(pair.original, pair.distorted);
        EXPECT_NEAR(d.maxNorm, figure->maxNorm, 1e-3 * figure->maxNorm) << pair.name;
        EXPECT_NEAR(d.norm3, figure->norm3, std::max(1e-3 * figure->norm3, 5e-7)) << pair.name;
        const auto relative = [](double ours, double theirs) {
            return theirs == 0.0 ? std::fabs(ours) : std::fabs(ours - theirs) / theirs;
        };
        worstMax = std::max(worstMax, relative(d.maxNorm, figure->maxNorm));
        worstNorm = std::max(worstNorm, relative(d.norm3, figure->norm3));
        std::printf("%-24s max %12.8f %12.8f  3-norm %10.6f %10.6f\n", pair.name.c_str(), d.maxNorm, figure->maxNorm,
                    d.norm3, figure->norm3);
        ++compared;
    }
    std::printf("%d pairs; largest relative difference from the program: max norm %.2g, 3-norm %.2g\n", compared,
                worstMax, worstNorm);
    if (havePhotos) {
        EXPECT_GE(compared, 30);
    }
}

TEST(Butteraugli, TinyPicturesHaveNoDistanceAndMismatchedPicturesAreRefused) {
    const RgbImage scene = Scene(64, 40, 11);
    const ButteraugliDistance same = Butteraugli(scene, scene);
    EXPECT_EQ(same.maxNorm, 0.0);
    EXPECT_EQ(same.norm3, 0.0);
    // Under 8 pixels either way the program answers 0, a perfect match; here
    // there is no distance.
    const RgbImage tiny = Scene(40, 7, 12);
    ButteraugliMap map;
    map.width = 1;
    const ButteraugliDistance none = Butteraugli(tiny, AddNoise(tiny, 50, 13), {}, &map);
    EXPECT_TRUE(std::isnan(none.maxNorm));
    EXPECT_TRUE(std::isnan(none.norm3));
    EXPECT_EQ(map.width, 0);
    EXPECT_TRUE(std::isnan(ButteraugliOriginal(tiny).Measure(tiny).norm3));
    EXPECT_THROW(Butteraugli(scene, Scene(64, 41, 11)), std::invalid_argument);
    EXPECT_THROW(ButteraugliOriginal(scene).Measure(Scene(63, 40, 11)), std::invalid_argument);
}

// The prepared original, the one-off measure, linear planes given by the
// caller, any thread count and any kernel build give the same bits; the
// map's largest value is the max norm.
TEST(Butteraugli, SameBitsForPreparedOriginalLinearPlanesThreadsAndBuilds) {
    const RgbImage original = Scene(203, 97, 21);
    const RgbImage distorted = AddNoise(original, 12, 22);
    ButteraugliMap map;
    const ButteraugliDistance once = Butteraugli(original, distorted, ButteraugliOptions{1, 0}, &map);
    ASSERT_EQ(map.width, 203);
    ASSERT_EQ(map.height, 97);
    EXPECT_EQ(double(*std::max_element(map.distance.begin(), map.distance.end())), once.maxNorm);
    const LinearRgb linearOriginal(original), linearDistorted(distorted);
    for (uint32_t flags : {0u, uint32_t(kCpuSse2), uint32_t(kCpuSse2 | kCpuAvx2)}) {
        if (!CpuRuns(flags)) continue;
        for (int32_t threads : {1, 3}) {
            const ButteraugliOptions options{threads, flags};
            const auto same = [&](const ButteraugliDistance& d, const char* what) {
                EXPECT_EQ(d.maxNorm, once.maxNorm) << what << " " << flags << " " << threads;
                EXPECT_EQ(d.norm3, once.norm3) << what << " " << flags << " " << threads;
            };
            same(Butteraugli(original, distorted, options), "one-off");
            same(Butteraugli(linearOriginal.Planes(), linearDistorted.Planes(), options), "linear");
            const ButteraugliOriginal prepared(original, options);
            same(prepared.Measure(distorted), "prepared");
            same(prepared.Measure(linearDistorted.Planes()), "prepared, linear");
            EXPECT_EQ(prepared.Measure(original).maxNorm, 0.0);
        }
    }
}

}  // namespace
}  // namespace vardelk
