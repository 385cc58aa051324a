#include "media/score_text.h"

#include <cmath>
#include <cstdio>

namespace vardelk {

std::string FormatScore(double score, bool json) {
    if (std::isnan(score)) return json ? "null" : "nan";
    char text[32];
    std::snprintf(text, sizeof(text), "%.4f", score);
    return text;
}

}  // namespace vardelk
