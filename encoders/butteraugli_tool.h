// A second perceptual opinion from the outside: the Butteraugli distance of
// a distorted picture against its original, as the `butteraugli_main`
// program of the JPEG XL tools computes it, pooled by its 3-norm. The
// pictures go to it as binary PPM files (8-bit RGB without a colour
// profile, which it reads as sRGB, as our measures do).
#pragma once

#include <string>

#include "media/rgb_convert.h"

namespace vardelk {

// The program's full path, or "" when it is not on the PATH.
std::string FindButteraugli();

// Writes the picture as a binary PPM file; throws EncoderError naming the
// file when it cannot be written.
void WritePpmFile(const std::string& path, const RgbImage& image);

// The 3-norm in what the program printed ("3-norm: 1.234" on a line of its
// own); throws EncoderError naming `origin` when there is none.
double ParseButteraugliNorm(const std::string& output, const std::string& origin);

// Runs the program on two PPM files of the same size; `stem` names its
// output files. Throws EncoderError naming `origin` and the program's last
// message when it fails.
double ButteraugliNorm(const std::string& program, const std::string& original, const std::string& distorted,
                       const std::string& stem, const std::string& origin);

}  // namespace vardelk
