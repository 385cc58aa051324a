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

// ffmpeg's own transform on x86 (what it codes with unless told -dct): a
// column pass and a row pass in 16-bit fixed point, at the accurate
// transform's scale, X = 8 F, with the DC the exact sum of the samples.
// Its values stay within about two units of 8 x the exact transform (the
// accurate one's within one). Every sum saturates to 16 bits as ffmpeg's
// does; for samples of 8-bit pictures (0..255, or -128..127 for chroma about
// zero) none does, and the coefficients do not depend on which of the two
// ranges a block is in, except the DC, which moves by 64 x 128.
void ForwardDctFixed16(int32_t block[64]);

}  // namespace vardelk
