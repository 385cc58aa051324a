// The sRGB curve of the 256 8-bit sample values, as both perceptual
// measures read 8-bit pictures into linear light in 0..1: v / 255 (a float
// product), then the curve of ssimulacra2_constants.h, its polynomials by
// Horner's rule in fused multiply-adds, so that every build reads a sample
// the same.
#pragma once

namespace vardelk {

// 256 entries, made once.
const float* LinearOf8Bit();

}  // namespace vardelk
