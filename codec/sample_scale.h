// Conversions between host components (x16) and block samples, shared by
// both gather/scatter pairs.
#pragma once

#include <algorithm>
#include <cstdint>

namespace vardelk {

// A component divided by 16, rounded toward minus infinity.
inline int32_t ToSample(int16_t component) { return component >> 4; }

// A reconstructed sample (-256..255) back at host scale. Written as a
// multiplication: left shifts of negative values are not portable C++17.
inline int16_t ToComponent(int32_t sample) { return static_cast<int16_t>(sample * 16); }

inline int32_t InsideExtent(int32_t remaining) { return std::min<int32_t>(remaining, 16); }

}  // namespace vardelk
