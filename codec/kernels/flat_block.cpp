#include "codec/kernels/flat_block.h"
#include "codec/kernels/quantiser_tables.h"

namespace vardelk {
namespace fast {
namespace plain {

void ReconstructFlatBlock(int32_t block[64]) {
    const int32_t d = flat::SaturatedDc(block[0]);
    const int32_t scaledDc = d * (1 << 17);
    if (flat::StaysFlat(d)) {
        const int32_t v = flat::SaturateSample((d + 4) >> 3);
        for (int i = 0; i < 64; ++i) block[i] = v;
        return;
    }
    for (int i = 0; i < 64; ++i) block[i] = flat::SaturateSample((scaledDc + flat::kFlatOffsets.value[i]) >> 20);
}

}  // namespace plain
}  // namespace fast
}  // namespace vardelk
