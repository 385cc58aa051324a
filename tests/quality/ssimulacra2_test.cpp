#include "quality/ssimulacra2.h"

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

// The scores the reference tool gives these pairs
// (scripts/ssimulacra2_reference.sh makes them again).
struct Figure {
    const char* name;
    double score;
};
const Figure kReference[] = {
#include "tests/quality/ssimulacra2_figures.inc"
};

RgbImage Crop(const RgbImage& image, int32_t x0, int32_t y0, int32_t w, int32_t h) {
    RgbImage out;
    out.Resize(w, h);
    for (int32_t y = 0; y < h; ++y) std::copy_n(image.At(x0, y0 + y), size_t(w) * 3, out.At(0, y));
    return out;
}

// The picture as the codec codes it and its reconstruction, both as RGB:
// 4:2:0 planes of the picture (each chroma sample the mean of its square),
// coded with the matrix at the scale code.
void Code(const RgbImage& rgb, int32_t scaleCode, bool flat, RgbImage& original, RgbImage& distorted) {
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
    int32_t flatMatrix[kMatrixEntries];
    std::fill(flatMatrix, flatMatrix + kMatrixEntries, 16);
    CodingSettings settings;
    settings.scaleCode = scaleCode;
    FrameCoder coder;
    coder.CodeFrame(settings, flat ? flatMatrix : kDefaultIntraMatrix, pixels.data(), output.data(),
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
    pairs.emplace_back();
    pairs.back().name = name;
    pairs.back().original = original;
    pairs.back().distorted = distorted;
}

std::vector<Pair> Pairs(bool& havePhotos) {
    std::vector<Pair> pairs;
    struct Photo {
        const char* tag;
        const char* path;
        int32_t x, y, w, h;
        int32_t codes[3];
    };
    const Photo photos[] = {
        {"flower", "jxl/flower/flower.png", 600, 400, 320, 240, {2, 8, 24}},
        {"tiger", "external/wesaturate/500px/cvo9xd_keong_macan_srgb8.png", 100, 120, 203, 151, {3, 10, 31}},
        {"tulips", "external/wesaturate/500px/tmshre_riaphotographs_srgb8.png", 50, 50, 256, 192, {4, 12}},
        {"blossom", "external/wesaturate/500px/u76c0g_bliznaca_srgb8.png", 100, 150, 300, 200, {6, 16}},
        {"room", "jxl/hdr_room.png", 200, 150, 176, 144, {5, 20}},
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
            for (bool flat : {false, true}) {
                Pair pair;
                pair.name = std::string(photo.tag) + "-" + std::to_string(code) + (flat ? "-flat16" : "-default");
                Code(crop, code, flat, pair.original, pair.distorted);
                pairs.push_back(std::move(pair));
            }
        }
    }
    // Sizes that are odd, or not multiples of 8 or 32, with few scales.
    const RgbImage small = Scene(33, 17, 1), medium = Scene(97, 61, 3);
    Add(pairs, "odd-33x17", small, AddNoise(small, 6, 2));
    Add(pairs, "odd-97x61", medium, AddNoise(medium, 10, 4));
    RgbImage a, b;
    Code(Scene(250, 130, 5), 12, false, a, b);
    Add(pairs, "coded-250x130", a, b);
    // Grey: R = G = B.
    RgbImage grey = Scene(120, 90, 6);
    for (size_t i = 0; i < grey.rgb.size(); i += 3) grey.rgb[i + 1] = grey.rgb[i + 2] = grey.rgb[i];
    Code(grey, 10, true, a, b);
    Add(pairs, "grey-120x90", a, b);
    // Saturated colour bars with hard edges.
    RgbImage bars;
    bars.Resize(144, 80);
    const uint8_t colours[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {255, 0, 255}, {0, 255, 255}};
    for (int32_t y = 0; y < bars.height; ++y)
        for (int32_t x = 0; x < bars.width; ++x) std::copy_n(colours[(x / 24 + y / 40) % 6], 3, bars.At(x, y));
    Code(bars, 8, false, a, b);
    Add(pairs, "saturated-144x80", a, b);
    // The same picture, and one with little left of it.
    const RgbImage scene = Scene(128, 96, 7);
    Add(pairs, "identical-128x96", scene, scene);
    RgbImage inverted = AddNoise(scene, 90, 8);
    for (size_t i = 0; i < inverted.rgb.size(); ++i) inverted.rgb[i] = uint8_t(255 - inverted.rgb[i]);
    Add(pairs, "destroyed-128x96", scene, inverted);
    return pairs;
}

TEST(Ssimulacra2, MatchesTheReferenceToolOnPhotographsAndEdgeCases) {
    bool havePhotos = false;
    const std::vector<Pair> pairs = Pairs(havePhotos);
    if (!havePhotos) {
        if (vardelk::testing::SkipFails())
            FAIL() << "the photographs of Debian's libjxl-testdata are missing (" << kPhotos << ")";
        std::printf("libjxl-testdata missing: the photographs are left out\n");
    }
    if (const char* dump = std::getenv("VARDELK_SSIMULACRA2_DUMP")) {
        std::ofstream list(std::string(dump) + "/pairs.txt");
        for (const Pair& pair : pairs) {
            WritePng(std::string(dump) + "/" + pair.name + ".original.png", pair.original);
            WritePng(std::string(dump) + "/" + pair.name + ".distorted.png", pair.distorted);
            list << pair.name << "\n";
        }
    }
    int32_t compared = 0;
    double worst = 0.0, lowest = 100.0;
    for (const Pair& pair : pairs) {
        const Figure* figure = std::find_if(std::begin(kReference), std::end(kReference),
                                            [&](const Figure& f) { return pair.name == f.name; });
        if (figure == std::end(kReference)) {
            ADD_FAILURE() << pair.name << " has no reference figure";
            continue;
        }
        const double score = Ssimulacra2(pair.original, pair.distorted);
        EXPECT_NEAR(score, figure->score, 0.02) << pair.name;
        std::printf("%-20s %10.4f %10.4f %+8.4f\n", pair.name.c_str(), score, figure->score, score - figure->score);
        worst = std::max(worst, std::fabs(score - figure->score));
        lowest = std::min(lowest, score);
        ++compared;
    }
    std::printf("%d pairs, largest difference from the reference %.2g, lowest score %.2f\n", compared, worst, lowest);
    if (havePhotos) {
        EXPECT_GE(compared, 20);
    }
    EXPECT_LT(lowest, 0.0);
}

TEST(Ssimulacra2, IdenticalPicturesScore100AndTinyOrMismatchedPicturesAreRefused) {
    const RgbImage scene = Scene(64, 40, 11);
    EXPECT_EQ(Ssimulacra2(scene, scene), 100.0);
    // Under 8 pixels either way there is no scale to measure: no score,
    // rather than the 100 of a perfect match.
    const RgbImage tiny = Scene(40, 7, 12);
    EXPECT_TRUE(std::isnan(Ssimulacra2(tiny, AddNoise(tiny, 50, 13))));
    EXPECT_THROW(Ssimulacra2(scene, Scene(64, 41, 11)), std::invalid_argument);
    EXPECT_THROW(Ssimulacra2Original(scene).Score(Scene(63, 40, 11)), std::invalid_argument);
}

// The prepared original, the one-off score, any thread count and any
// kernel build give the same bits.
TEST(Ssimulacra2, ScoreIsTheSameForPreparedOriginalThreadsAndBuilds) {
    const RgbImage original = Scene(301, 203, 21);
    const RgbImage distorted = AddNoise(original, 12, 22);
    const double once = Ssimulacra2(original, distorted, Ssimulacra2Options{1, 0});
    for (uint32_t flags : {0u, uint32_t(kCpuSse2), uint32_t(kCpuSse2 | kCpuAvx2)}) {
        if (!CpuRuns(flags)) continue;
        for (int32_t threads : {1, 4}) {
            const Ssimulacra2Options options{threads, flags};
            EXPECT_EQ(Ssimulacra2(original, distorted, options), once) << flags << " " << threads;
            const Ssimulacra2Original prepared(original, options);
            EXPECT_EQ(prepared.Score(distorted), once) << flags << " " << threads;
            EXPECT_EQ(prepared.Score(original), 100.0);
        }
    }
}

TEST(Ssimulacra2, MapIsZeroWhereThePicturesAgreeAndPeaksAtTheDamage) {
    const RgbImage original = Scene(160, 96, 31);
    RgbImage distorted = original;
    for (int32_t y = 40; y < 56; ++y)
        for (int32_t x = 100; x < 116; ++x) std::fill_n(distorted.At(x, y), 3, uint8_t((x + y) % 2 ? 255 : 0));
    const Ssimulacra2Original prepared(original);
    Ssimulacra2Map map;
    const double score = prepared.Score(distorted, &map);
    EXPECT_EQ(score, Ssimulacra2(original, distorted));
    ASSERT_EQ(map.width, 160);
    ASSERT_EQ(map.height, 96);
    const size_t peak = size_t(std::max_element(map.error.begin(), map.error.end()) - map.error.begin());
    EXPECT_NEAR(int32_t(peak % 160), 108, 12);
    EXPECT_NEAR(int32_t(peak / 160), 48, 12);
    EXPECT_EQ(map.error[5 * 160 + 5], 0.0f);
    prepared.Score(original, &map);
    EXPECT_EQ(*std::max_element(map.error.begin(), map.error.end()), 0.0f);
}

}  // namespace
}  // namespace vardelk
