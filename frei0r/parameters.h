// The filter's parameters as frei0r hosts see them: their order, names,
// types and explanations, and how a host's values become coding settings.
//
// frei0r numbers run from 0 to 1, so the scale code is carried as
// (code - 1) / 30: 0 is scale code 1, 1 is scale code 31, and a value in
// between is rounded to the nearest code (scale code 12 is 11/30 = 0.3667).
// Switches are on from 0.5 up.
#pragma once

#include <cstdint>

#include "codec/coding_model.h"

namespace vardelk {
namespace frei0r {

enum Parameter : int { kScaleCode, kNonLinearScale, kAlternateScan, kFieldDct, kCodingModel, kMatrix, kParameterCount };

struct ParameterInfo {
    const char* name;
    int type;  // F0R_PARAM_DOUBLE, F0R_PARAM_BOOL or F0R_PARAM_STRING
    const char* explanation;
};

// The description of parameter `index` (0 .. kParameterCount - 1).
const ParameterInfo& DescribeParameter(int index);

// The scale code a host's number stands for, 1..31; numbers below 0 or
// above 1 count as 0 and 1.
int32_t ScaleCodeOfValue(double value);
// The host's number for a scale code.
double ValueOfScaleCode(int32_t code);
// A frei0r switch: on from 0.5 up.
inline bool SwitchOfValue(double value) { return value >= 0.5; }

}  // namespace frei0r
}  // namespace vardelk
