// Peak signal-to-noise ratio of 8-bit planes, peak 255.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/cpu.h"
#include "media/y4m.h"

namespace vardelk {

// Sum of squared differences and sample count of one plane, so that
// several frames can be pooled before the ratio is taken.
struct PlaneError {
    double squaredError = 0.0;
    double samples = 0.0;

    void Add(const PlaneError& other) {
        squaredError += other.squaredError;
        samples += other.samples;
    }
    double MeanSquaredError() const { return samples > 0 ? squaredError / samples : 0.0; }
    // 10 log10(255^2 / MSE); +infinity when the planes are identical.
    double Psnr() const;
};

// Throws std::invalid_argument for planes of different sizes. Both run the
// kernels of cpuFlags (CpuFlag bits this CPU runs); every build gives the
// same sums.
PlaneError ComparePlanes(const std::vector<uint8_t>& reference, const std::vector<uint8_t>& test,
                         uint32_t cpuFlags = DetectedCpuFlags());

// Y, Cb and Cr errors of one frame (the chroma ones empty for mono).
struct FrameError {
    PlaneError y, cb, cr;

    void Add(const FrameError& other) {
        y.Add(other.y);
        cb.Add(other.cb);
        cr.Add(other.cr);
    }
};

FrameError CompareFrames(const Y4mFrame& reference, const Y4mFrame& test, uint32_t cpuFlags = DetectedCpuFlags());

}  // namespace vardelk
