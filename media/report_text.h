// How the tools write figures in their reports, one form for all: PSNR with
// four decimals, SSIM with six, other fractional figures (mean bytes, bit
// rates, BD figures in JSON) with three, never in exponent form; JSON strings
// and CSV fields quoted.
#pragma once

#include <string>

#include "media/y4m.h"

namespace vardelk {

// Infinite PSNR (identical planes) is "inf", or null in JSON.
std::string FormatPsnr(double psnr, bool json);
// "nan", or null in JSON, where the plane was too small to measure.
std::string FormatSsim(double ssim, bool json);
// A perceptual score (SSIMULACRA 2): four decimals; "nan", or null in JSON,
// for a picture too small to score.
std::string FormatScore(double score, bool json);
std::string FormatDecimal(double value);
std::string JsonString(const std::string& text);
// A CSV field in quotes, quotes inside doubled.
std::string CsvQuoted(const std::string& text);

// Bits per second of `meanBytes` a frame at the clip's frame rate.
double BitRate(double meanBytes, const Y4mFormat& format);

}  // namespace vardelk
