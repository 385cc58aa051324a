#include "search/search_values.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "codec/frame_coder.h"
#include "media/error.h"

namespace vardelk {
namespace {

int32_t ParseScaleCode(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str() || *end != '\0') throw ValueError("codes", text + ": not an integer");
    if (errno == ERANGE || value < kMinScaleCode || value > kMaxScaleCode) {
        throw ValueError("codes", text + ": out of range; a scale code must be " + std::to_string(kMinScaleCode) +
                                      ".." + std::to_string(kMaxScaleCode));
    }
    return int32_t(value);
}

}  // namespace

std::pair<double, double> ParseBppRange(const std::string& text) {
    const size_t dots = text.find("..");
    const auto number = [](const std::string& part, double* value) {
        char* end = nullptr;
        *value = std::strtod(part.c_str(), &end);
        return !part.empty() && end != part.c_str() && *end == '\0';
    };
    double low = 0.0, high = 0.0;
    if (dots == std::string::npos || !number(text.substr(0, dots), &low) || !number(text.substr(dots + 2), &high) ||
        !(low > 0) || !(high > low) || !(high <= 24))
        throw ValueError("bpp", text + ": expected A..B bits per pixel with 0 < A < B <= 24, such as 0.4..0.8");
    return {low, high};
}

std::vector<int32_t> ParseScaleCodes(const std::string& text) {
    std::vector<int32_t> codes;
    const size_t dots = text.find("..");
    if (dots != std::string::npos) {
        const int32_t first = ParseScaleCode(text.substr(0, dots));
        const int32_t last = ParseScaleCode(text.substr(dots + 2));
        for (int32_t c = first; c <= last; ++c) codes.push_back(c);
    } else {
        std::istringstream parts(text);
        std::string part;
        while (std::getline(parts, part, ',')) codes.push_back(ParseScaleCode(part));
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    if (codes.size() < 4) throw ValueError("codes", text + ": needs at least 4 distinct scale codes");
    return codes;
}

double ParseDuration(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    const std::string unit = end == nullptr ? "" : std::string(end);
    double scale = 0;
    if (unit.empty() || unit == "s")
        scale = 1;
    else if (unit == "m")
        scale = 60;
    else if (unit == "h")
        scale = 3600;
    if (end == text.c_str() || scale == 0 || !std::isfinite(value) || value < 0)
        throw ValueError("budget", text + ": expected a duration such as 90s, 10m or 1h");
    return value * scale;
}

}  // namespace vardelk
