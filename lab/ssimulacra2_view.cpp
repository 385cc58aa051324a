#include "lab/ssimulacra2_view.h"

#include <algorithm>
#include <vector>

#include "media/comparison_views.h"

namespace vardelk {

double Ssimulacra2MapRgba(const uint8_t* input, const Ssimulacra2Map& map, uint8_t* rgba) {
    const size_t pixels = size_t(map.width) * size_t(map.height);
    if (pixels == 0 || map.error.size() != pixels) return 0.0;
    std::vector<float> sorted = map.error;
    const size_t at = std::min(pixels - 1, pixels * 999 / 1000);
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(at), sorted.end());
    const double top = std::max(double(sorted[at]), 1e-6);
    for (size_t i = 0; i < pixels; ++i) {
        const RgbColour c = HeatColour(map.error[i] / top);
        const uint8_t* p = input + 4 * i;
        const int32_t grey = (p[0] * 77 + p[1] * 150 + p[2] * 29) >> 8;
        uint8_t* o = rgba + 4 * i;
        o[0] = uint8_t((c.r * 3 + grey) / 4);
        o[1] = uint8_t((c.g * 3 + grey) / 4);
        o[2] = uint8_t((c.b * 3 + grey) / 4);
        o[3] = 255;
    }
    return top;
}

}  // namespace vardelk
