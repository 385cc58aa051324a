// The lab's map of where the eye sees the error: the perceptual measure's
// per-pixel error at full scale (quality/ssimulacra2.h) as a heat map over a
// faint grey copy of the input, like the SSIM view.
#pragma once

#include <cstdint>

#include "quality/ssimulacra2.h"

namespace vardelk {

// Every pixel coloured by its error as a share of `top` on the heat ramp
// (media/comparison_views.h), a quarter of the input's grey showing through.
// top is the map's 99.9th percentile (at least 1e-6), so that a few
// extreme pixels do not wash out the rest; it is returned for the legend.
// input and rgba are the map's size in RGBA.
double Ssimulacra2MapRgba(const uint8_t* input, const Ssimulacra2Map& map, uint8_t* rgba);

}  // namespace vardelk
