#include "quality/srgb_table.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "quality/ssimulacra2_constants.h"

namespace vardelk {

const float* LinearOf8Bit() {
    static const auto table = [] {
        std::vector<float> t(256);
        const float perSample = static_cast<float>(1.0 / 255.0);
        for (int v = 0; v < 256; ++v) {
            const float e = perSample * static_cast<float>(v);
            float p = ssimulacra2::kSrgbP[4], q = ssimulacra2::kSrgbQ[4];
            for (int i = 3; i >= 0; --i) {
                p = std::fma(p, e, ssimulacra2::kSrgbP[i]);
                q = std::fma(q, e, ssimulacra2::kSrgbQ[i]);
            }
            t[size_t(v)] = e > ssimulacra2::kSrgbThreshold ? p / q : e * ssimulacra2::kSrgbLinearSlope;
        }
        return t;
    }();
    return table.data();
}

}  // namespace vardelk
