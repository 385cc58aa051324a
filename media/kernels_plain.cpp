#include "media/kernel_table.h"

#include "codec/cpu.h"

namespace vardelk {
namespace media {
namespace {

KernelTable MakeTable(uint32_t cpuFlags) {
    KernelTable table{plain::Y4mToYc, plain::YcToY4m, plain::SquaredError};
#if defined(__SSE2__)
    if ((cpuFlags & kCpuSse2) != 0) table = KernelTable{sse2::Y4mToYc, sse2::YcToY4m, sse2::SquaredError};
#endif
#if defined(VARDELK_HAVE_AVX2)
    if ((cpuFlags & kCpuAvx2) != 0) table = KernelTable{avx2::Y4mToYc, avx2::YcToY4m, avx2::SquaredError};
#endif
    static_cast<void>(cpuFlags);
    return table;
}

}  // namespace

const KernelTable& KernelTableFor(uint32_t cpuFlags) {
    static const KernelTable tables[kAllCpuFlags + 1] = {MakeTable(0), MakeTable(1), MakeTable(2), MakeTable(3)};
    static_assert(kAllCpuFlags == 3, "one table per combination of the flags");
    return tables[cpuFlags & kAllCpuFlags];
}

namespace plain {
namespace {
// No vector path: every pair of a halved chroma row takes the scalar loop.
inline int32_t HalvedChromaRowIn(const uint8_t*, const uint8_t*, const uint8_t*, int32_t, YcPixel*) { return 0; }
#include "media/yc_convert_body.h"
}  // namespace

void Y4mToYc(const Y4mFormat& format, const uint8_t* const planes[3], YcPixel* pixels, int32_t stride) {
    Y4mToYcBody(format, planes, pixels, stride);
}
void YcToY4m(const Y4mFormat& format, const YcPixel* pixels, int32_t stride, uint8_t* const planes[3]) {
    YcToY4mBody(format, pixels, stride, planes);
}

uint64_t SquaredError(const uint8_t* a, const uint8_t* b, size_t size) {
    uint64_t sum = 0;
    for (size_t i = 0; i < size; ++i) {
        const int32_t d = int32_t{a[i]} - int32_t{b[i]};
        sum += static_cast<uint64_t>(d * d);
    }
    return sum;
}
}  // namespace plain

}  // namespace media
}  // namespace vardelk
