// The search's values given as text, read where the job lives so that
// every face reads them alike. Each refusal is a ValueError of the job's
// field, its message starting with the value.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vardelk {

// "A..B" or a comma-separated list of scale codes in 1..31, sorted, at
// least 4 distinct ones; ValueError of the field "codes".
std::vector<int32_t> ParseScaleCodes(const std::string& text);

// "A..B" bits per pixel, 0 < A < B <= 24; ValueError of the field "bpp".
std::pair<double, double> ParseBppRange(const std::string& text);

// "600", "600s", "10m", "1.5h" in seconds; 0 means no time limit.
// ValueError of the field "budget".
double ParseDuration(const std::string& text);

}  // namespace vardelk
