// The pairs of pictures the perceptual measures' tests hold against the
// stored figures of the reference programs: crops of Debian's
// libjxl-testdata photographs coded at scale codes with a few matrices, and
// pictures made in code (odd sizes, grey, saturated colour, identical and
// destroyed). Every pair is made the same to the byte on every run, since
// the stored figures were measured on them; each pair's name is the key of
// its figures, and with the test's dump variable set the pairs are written
// as PNG files for the scripts that measure them again.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "media/rgb_convert.h"
#include "pictures/png_file.h"
#include "testing/coded_rgb.h"

namespace vardelk::testing {

constexpr const char* kPhotographFolder = "/usr/share/libjxl-testdata";

struct MeasurePair {
    std::string name;
    RgbImage original;
    RgbImage distorted;
};

// The matrices the pairs are coded with; the name is part of a pair's name.
enum class PairMatrix { kDefault, kFlat16, kSteep };

inline const char* MatrixName(PairMatrix matrix) {
    switch (matrix) {
        case PairMatrix::kFlat16:
            return "flat16";
        case PairMatrix::kSteep:
            return "steep";
        case PairMatrix::kDefault:
            break;
    }
    return "default";
}

// Steep: weights rising with the square of the frequency, from 8 to 255.
inline std::vector<int32_t> MatrixWeights(PairMatrix matrix) {
    std::vector<int32_t> weights(kMatrixEntries);
    for (int32_t i = 0; i < kMatrixEntries; ++i) {
        const int32_t u = i % 8, v = i / 8;
        weights[size_t(i)] = matrix == PairMatrix::kFlat16  ? 16
                             : matrix == PairMatrix::kSteep ? std::min(255, 8 + 6 * (u + v) * (u + v) / 4)
                                                            : kDefaultIntraMatrix[i];
    }
    return weights;
}

inline void CodeAsRgb(const RgbImage& rgb, int32_t scaleCode, PairMatrix matrix, RgbImage& original,
                      RgbImage& distorted) {
    CodeAsRgb(rgb, scaleCode, MatrixWeights(matrix).data(), original, distorted);
}

inline uint32_t NextByte(uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 24;
}

// Smooth colour gradients with a fine texture and a few hard edges.
inline RgbImage Scene(int32_t w, int32_t h, uint32_t seed) {
    RgbImage image;
    image.Resize(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = image.At(x, y);
            const int32_t texture = int32_t(NextByte(seed) % 24) - 12;
            const int32_t edge = ((x / 13 + y / 11) % 3 == 0) ? 60 : 0;
            p[0] = uint8_t(std::clamp(40 + 150 * x / w + texture + edge, 0, 255));
            p[1] = uint8_t(std::clamp(200 - 120 * y / h + texture, 0, 255));
            p[2] = uint8_t(std::clamp(90 + int32_t(60 * std::sin(x * 0.2 + y * 0.1)) + edge, 0, 255));
        }
    return image;
}

// Each sample moved by up to the amplitude either way.
inline RgbImage AddNoise(const RgbImage& image, int32_t amplitude, uint32_t seed) {
    RgbImage out;
    out.Resize(image.width, image.height);
    for (size_t i = 0; i < out.rgb.size(); ++i) {
        const int32_t noise = int32_t(NextByte(seed) % uint32_t(2 * amplitude + 1)) - amplitude;
        out.rgb[i] = uint8_t(std::clamp(int32_t(image.rgb[i]) + noise, 0, 255));
    }
    return out;
}

inline RgbImage Crop(const RgbImage& image, int32_t x0, int32_t y0, int32_t w, int32_t h) {
    RgbImage out;
    out.Resize(w, h);
    for (int32_t y = 0; y < h; ++y) std::copy_n(image.At(x0, y0 + y), size_t(w) * 3, out.At(0, y));
    return out;
}

// A photograph's crop coded at each scale code with each matrix, in that
// order, as pairs named TAG-CODE-MATRIX.
struct PhotographCodings {
    const char* tag;
    std::vector<int32_t> scaleCodes;
    std::vector<PairMatrix> matrices;
};

// Adds the photographs' pairs in the order given; returns false when a
// photograph is missing (its pairs left out, the others still added).
inline bool AddCodedPhotographs(std::vector<MeasurePair>& pairs, const std::vector<PhotographCodings>& codings) {
    struct Photograph {
        const char* tag;
        const char* path;
        int32_t x, y, w, h;
    };
    static const Photograph photographs[] = {
        {"flower", "jxl/flower/flower.png", 600, 400, 320, 240},
        {"tiger", "external/wesaturate/500px/cvo9xd_keong_macan_srgb8.png", 100, 120, 203, 151},
        {"tulips", "external/wesaturate/500px/tmshre_riaphotographs_srgb8.png", 50, 50, 256, 192},
        {"blossom", "external/wesaturate/500px/u76c0g_bliznaca_srgb8.png", 100, 150, 300, 200},
        {"room", "jxl/hdr_room.png", 200, 150, 176, 144},
    };
    bool all = true;
    for (const PhotographCodings& coding : codings) {
        const Photograph* photo = std::find_if(std::begin(photographs), std::end(photographs),
                                               [&](const Photograph& p) { return std::string(p.tag) == coding.tag; });
        if (photo == std::end(photographs)) throw std::logic_error(std::string("no photograph ") + coding.tag);
        RgbImage image;
        try {
            image = ReadPng(std::string(kPhotographFolder) + "/" + photo->path);
        } catch (const std::exception&) {
            all = false;
            continue;
        }
        const RgbImage crop = Crop(image, photo->x, photo->y, photo->w, photo->h);
        for (int32_t code : coding.scaleCodes)
            for (PairMatrix matrix : coding.matrices) {
                MeasurePair pair;
                pair.name = std::string(photo->tag) + "-" + std::to_string(code) + "-" + MatrixName(matrix);
                CodeAsRgb(crop, code, matrix, pair.original, pair.distorted);
                pairs.push_back(std::move(pair));
            }
    }
    return all;
}

// The pictures made in code that every measure is held to: odd sizes, a
// coded scene, grey (R = G = B), saturated colour bars with hard edges, the
// same picture, and one with little left of it.
inline void AddMadePictures(std::vector<MeasurePair>& pairs) {
    const RgbImage small = Scene(33, 17, 1), medium = Scene(97, 61, 3);
    pairs.push_back({"odd-33x17", small, AddNoise(small, 6, 2)});
    pairs.push_back({"odd-97x61", medium, AddNoise(medium, 10, 4)});
    RgbImage a, b;
    CodeAsRgb(Scene(250, 130, 5), 12, PairMatrix::kDefault, a, b);
    pairs.push_back({"coded-250x130", a, b});
    RgbImage grey = Scene(120, 90, 6);
    for (size_t i = 0; i < grey.rgb.size(); i += 3) grey.rgb[i + 1] = grey.rgb[i + 2] = grey.rgb[i];
    CodeAsRgb(grey, 10, PairMatrix::kFlat16, a, b);
    pairs.push_back({"grey-120x90", a, b});
    RgbImage bars;
    bars.Resize(144, 80);
    const uint8_t colours[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {255, 0, 255}, {0, 255, 255}};
    for (int32_t y = 0; y < bars.height; ++y)
        for (int32_t x = 0; x < bars.width; ++x) std::copy_n(colours[(x / 24 + y / 40) % 6], 3, bars.At(x, y));
    CodeAsRgb(bars, 8, PairMatrix::kDefault, a, b);
    pairs.push_back({"saturated-144x80", a, b});
    const RgbImage scene = Scene(128, 96, 7);
    pairs.push_back({"identical-128x96", scene, scene});
    RgbImage inverted = AddNoise(scene, 90, 8);
    for (uint8_t& v : inverted.rgb) v = uint8_t(255 - v);
    pairs.push_back({"destroyed-128x96", scene, inverted});
}

// With the environment variable set to a folder, writes each pair there as
// NAME.original.png and NAME.distorted.png, and the names, one a line, to
// pairs.txt.
inline void DumpPairs(const std::vector<MeasurePair>& pairs, const char* variable) {
    const char* folder = std::getenv(variable);
    if (folder == nullptr) return;
    std::ofstream list(std::string(folder) + "/pairs.txt");
    for (const MeasurePair& pair : pairs) {
        WritePng(std::string(folder) + "/" + pair.name + ".original.png", pair.original);
        WritePng(std::string(folder) + "/" + pair.name + ".distorted.png", pair.distorted);
        list << pair.name << "\n";
    }
}

}  // namespace vardelk::testing
