// The fast conversions of yc_convert_body.h compiled for AVX2 (this file
// only is built with -mavx2). Called only after a CPU check.
#include "media/yc_convert.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(VARDELK_HAVE_AVX2)
namespace vardelk {
namespace {
#include "media/yc_convert_body.h"
}  // namespace

void Y4mToYcAvx2(const Y4mFormat& format, const uint8_t* const planes[3], YcPixel* pixels, int32_t stride) {
    Y4mToYcBody(format, planes, pixels, stride);
}
void YcToY4mAvx2(const Y4mFormat& format, const YcPixel* pixels, int32_t stride, uint8_t* const planes[3]) {
    YcToY4mBody(format, pixels, stride, planes);
}

}  // namespace vardelk
#endif
