// Integer 8x8 forward DCT at the scale of the standard's definition: the DC
// coefficient is one eighth of the sum of the 64 samples.
#pragma once

#include <cstdint>

namespace vardelk {

// Transforms one row-major block of samples into coefficients in place
// (index v x 8 + u is vertical frequency v, horizontal frequency u).
// Every value is computed exactly for samples anywhere in -2048..2047, the
// whole range a host component can give.
void ForwardDct(int32_t block[64]);

// The accurate integer transform real encoders use (dct_constants.h), with
// outputs at eight times that scale (the DC is the sum of the samples).
void ForwardDctAccurate(int32_t block[64]);

}  // namespace vardelk
