// The pair the perceptual measures' benchmarks time: a 1920x1080 crop from
// the middle of a photograph and its coding at scale code 8 with the
// default matrix, both as RGB (testing/coded_rgb.h), and the same two
// pictures as PNG files in a scratch folder for the programs timed beside
// ours; the folder goes with the pair.
#pragma once

#include <string>

#include "media/rgb_convert.h"

namespace vardelk::bench {

constexpr const char* kBenchPhoto = "/usr/share/libjxl-testdata/jxl/flower/flower.png";

class BenchPair {
public:
    // Reads the photograph and writes the files in a new folder under /tmp
    // named after the benchmark. Throws Error when the photograph cannot be
    // read or is smaller than 1920x1080, or the folder cannot be made.
    BenchPair(const std::string& photo, const std::string& benchmark);
    ~BenchPair();
    BenchPair(const BenchPair&) = delete;
    BenchPair& operator=(const BenchPair&) = delete;

    RgbImage original;
    RgbImage distorted;
    std::string folder;
    std::string originalFile;
    std::string distortedFile;

private:
    void RemoveFiles();
};

}  // namespace vardelk::bench
