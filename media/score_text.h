// A perceptual score (SSIMULACRA 2) as the reports write it, beside the
// other figures of media/report_text.h: four decimals; "nan", or null in
// JSON, for a picture too small to score.
#pragma once

#include <string>

namespace vardelk {

std::string FormatScore(double score, bool json);

}  // namespace vardelk
