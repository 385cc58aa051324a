// The constants the measure's kernels share, so that every build computes
// with the same floats.
#pragma once

#include <cstdint>

namespace vardelk {
namespace ssimulacra2 {

// The opsin mixture of linear R, G, B (rows sum to 1) and the bias added
// to each mixture before its cube root.
constexpr float kMix00 = 0.30f, kMix02 = 0.078f, kMix01 = 1.0f - kMix02 - kMix00;
constexpr float kMix10 = 0.23f, kMix12 = 0.078f, kMix11 = 1.0f - kMix12 - kMix10;
constexpr float kMix20 = 0.24342268924547819f, kMix21 = 0.20476744424496821f, kMix22 = 1.0f - kMix20 - kMix21;
constexpr float kMixBias = 0.0037930732552754493f;
// The cube root of the bias (as a float), rounded to float.
constexpr float kMixBiasCubeRoot = 0.15595420188071793f;

// The offsets and scale that put X, Y and B - Y into about 0..1.
constexpr float kXScale = 14.0f;
constexpr float kXOffset = 0.42f;
constexpr float kYOffset = 0.01f;
constexpr float kBOffset = 0.55f;

// The SSIM constant of the variance terms (no constant on the means: their
// term is 1 - (mu1 - mu2)^2).
constexpr float kSsimC2 = 0.0009f;

// The inverse cube root's first guess from the bits of x: this bias less
// the exponent bits times this step (one third, shifted).
constexpr int32_t kInverseCubeRootBias = 0x54800000;
constexpr int32_t kInverseCubeRootStep = 0x002AAAAA;
constexpr float kThird = 1.0f / 3;
constexpr float kFourThirds = 4.0f / 3;

// The sRGB curve: linear below the threshold, above it a rational
// approximation P(x) / Q(x) of ((x + 0.055) / 1.055)^2.4, both of degree 4,
// coefficients from the constant term up.
constexpr float kSrgbThreshold = 0.04045f;
constexpr float kSrgbLinearSlope = 1.0f / 12.92f;
constexpr float kSrgbP[5] = {2.200248328e-04f, 1.043637593e-02f, 1.624820318e-01f, 7.961564959e-01f, 8.210152774e-01f};
constexpr float kSrgbQ[5] = {2.631846970e-01f, 1.076976492e+00f, 4.987528350e-01f, -5.512498495e-02f, 6.521209011e-03f};

}  // namespace ssimulacra2
}  // namespace vardelk
