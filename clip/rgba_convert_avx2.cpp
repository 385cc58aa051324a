// The AVX2 build of clip/rgba_convert.h's loops: the same source, which the
// compiler vectorises four doubles at a time. Null where the compiler has no
// AVX2.
#include "clip/rgba_convert.h"

namespace vardelk {
#ifdef VARDELK_HAVE_AVX2
namespace avx2 {
namespace {
#include "clip/rgba_convert_body.h"

void RgbaToPlanes(const uint8_t* rgba, size_t count, uint8_t* y, uint8_t* cb, uint8_t* cr) {
    RgbaToPlanesBody(rgba, count, y, cb, cr);
}
void PlanesToRgba(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, size_t count, uint8_t* rgba) {
    PlanesToRgbaBody(y, cb, cr, count, rgba);
}

}  // namespace
}  // namespace avx2

const RgbaConversions* Avx2RgbaConversionsBuild() {
    static const RgbaConversions conversions{avx2::RgbaToPlanes, avx2::PlanesToRgba};
    return &conversions;
}
#else
const RgbaConversions* Avx2RgbaConversionsBuild() { return nullptr; }
#endif
}  // namespace vardelk
