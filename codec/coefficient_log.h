// Text logs of each macroblock's coefficients or levels: one line per block,
// "x,y,label," then the 64 values in natural row-major order.
#pragma once

#include <cstdint>
#include <cstdio>

#include "codec/types.h"

namespace vardelk {

void WriteCoefficientLog(std::FILE* file, const MacroblockBuffer& buffer, int32_t x, int32_t y);

}  // namespace vardelk
