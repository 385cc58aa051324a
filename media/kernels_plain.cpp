// The plain family of the media kernels: portable C++, the reference the
// other families are proven against.
#include <cstring>

#include "media/kernel_table.h"

namespace vardelk {
namespace media {
namespace {
// No vector path: every pair of a halved chroma row takes the scalar loop.
inline int32_t HalvedChromaRowIn(const uint8_t*, const uint8_t*, const uint8_t*, int32_t, Pixel*) { return 0; }
#include "media/yc_convert_body.h"
}  // namespace

uint64_t PlainSquaredError(const uint8_t* a, const uint8_t* b, size_t size) {
    uint64_t sum = 0;
    for (size_t i = 0; i < size; ++i) {
        const int32_t d = int32_t{a[i]} - int32_t{b[i]};
        sum += static_cast<uint64_t>(d * d);
    }
    return sum;
}

void FillPlainKernels(KernelTable& table) { table = KernelTable{Y4mToYcBody, YcToY4mBody, PlainSquaredError}; }

}  // namespace media
}  // namespace vardelk
