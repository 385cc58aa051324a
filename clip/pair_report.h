// What a measure of two pictures or clips reports: a table for people (a
// line per frame when there are several, then the mean) or JSON for
// programs, the distorted input named against its reference.
#pragma once

#include <cstdio>
#include <string>

#include "clip/pair_measure.h"

namespace vardelk {

void PrintPairTable(std::FILE* out, const std::string& reference, const std::string& distorted,
                    const PairMeasure& measure);
std::string PairJson(const std::string& reference, const std::string& distorted, const PairMeasure& measure);

}  // namespace vardelk
