#include "clip/rgba_convert.h"

#include "codec/cpu.h"

namespace vardelk {
namespace portable {
namespace {
#include "clip/rgba_convert_body.h"

void RgbaToPlanes(const uint8_t* rgba, size_t count, uint8_t* y, uint8_t* cb, uint8_t* cr) {
    RgbaToPlanesBody(rgba, count, y, cb, cr);
}
void PlanesToRgba(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, size_t count, uint8_t* rgba) {
    PlanesToRgbaBody(y, cb, cr, count, rgba);
}

}  // namespace
}  // namespace portable

const RgbaConversions* Avx2RgbaConversionsBuild();  // rgba_convert_avx2.cpp

const RgbaConversions& PortableRgbaConversions() {
    static const RgbaConversions conversions{portable::RgbaToPlanes, portable::PlanesToRgba};
    return conversions;
}

const RgbaConversions* Avx2RgbaConversions() { return Avx2RgbaConversionsBuild(); }

const RgbaConversions& RgbaConversionsFor(uint32_t cpuFlags) {
    const RgbaConversions* avx2 = Avx2RgbaConversions();
    if (avx2 != nullptr && (cpuFlags & kCpuAvx2) != 0 && CpuRuns(kCpuAvx2)) return *avx2;
    return PortableRgbaConversions();
}

}  // namespace vardelk
