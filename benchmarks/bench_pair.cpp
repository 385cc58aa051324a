#include "benchmarks/bench_pair.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "media/error.h"
#include "pictures/png_file.h"
#include "testing/coded_rgb.h"

namespace vardelk::bench {

BenchPair::BenchPair(const std::string& photo, const std::string& benchmark) {
    constexpr int32_t kWidth = 1920, kHeight = 1080;
    const RgbImage source = ReadPng(photo);
    if (source.width < kWidth || source.height < kHeight) throw Error(photo + " is smaller than 1920x1080");
    RgbImage crop;
    crop.Resize(kWidth, kHeight);
    const int32_t x0 = (source.width - kWidth) / 2, y0 = (source.height - kHeight) / 2;
    for (int32_t y = 0; y < kHeight; ++y) std::copy_n(source.At(x0, y0 + y), kWidth * 3, crop.At(0, y));
    testing::CodeAsRgb(crop, 8, kDefaultIntraMatrix, original, distorted);

    std::string name = "/tmp/" + benchmark + ".XXXXXX";
    std::vector<char> path(name.begin(), name.end());
    path.push_back('\0');
    if (mkdtemp(path.data()) == nullptr) throw Error("cannot make a folder " + name);
    folder = path.data();
    originalFile = folder + "/original.png";
    distortedFile = folder + "/distorted.png";
    try {
        WritePng(originalFile, original);
        WritePng(distortedFile, distorted);
    } catch (...) {
        RemoveFiles();
        throw;
    }
}

BenchPair::~BenchPair() { RemoveFiles(); }

void BenchPair::RemoveFiles() {
    std::remove(originalFile.c_str());
    std::remove(distortedFile.c_str());
    rmdir(folder.c_str());
}

}  // namespace vardelk::bench
