// The AVX2 build of clip/rgba_convert.h's loops: the same source, which the
// compiler vectorises eight lanes at a time. Null where the compiler has no
// AVX2.
#include "clip/rgba_convert.h"

#include <cstring>

namespace vardelk {
#ifdef VARDELK_HAVE_AVX2
namespace avx2 {
namespace {
#include "clip/rgba_convert_body.h"
}  // namespace
}  // namespace avx2

const RgbaConversions* Avx2RgbaConversionsBuild() {
    static const RgbaConversions conversions{avx2::RgbaToPlanesBody, avx2::PlanesToRgbaBody, avx2::RgbaRowsTo420Body,
                                             avx2::Rows420ToRgbaBody};
    return &conversions;
}
#else
const RgbaConversions* Avx2RgbaConversionsBuild() { return nullptr; }
#endif
}  // namespace vardelk
