// An integer brought into the range of an 8-bit sample, 0..255.
#pragma once

#include <algorithm>
#include <cstdint>

namespace vardelk {

inline uint8_t Clamp8(int32_t value) { return uint8_t(std::clamp(value, 0, 255)); }

}  // namespace vardelk
