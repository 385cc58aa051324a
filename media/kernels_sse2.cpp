// The SSE2 family of the media kernels: the conversions with the SSE2 row
// of halved chroma (yc_convert_sse2_body.h), and the squared error sixteen
// samples at a time. A build without SSE2 fills nothing from here.
#include "media/kernel_table.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstring>
#endif

namespace vardelk {
namespace media {

#if defined(__SSE2__)
namespace {
#include "media/yc_convert_sse2_body.h"
// The body calls HalvedChromaRowIn above.
#include "media/yc_convert_body.h"

// Sixteen samples at a time: differences widened to 16 bits, squared and
// added in pairs by pmaddwd, four products (at most 4 x 255^2) into each
// 32-bit lane per step. 4096 steps stay below 2^30 before the lanes are
// moved to 64 bits; the last samples take the plain loop.
uint64_t SquaredError(const uint8_t* a, const uint8_t* b, size_t size) {
    const __m128i zero = _mm_setzero_si128();
    uint64_t sum = 0;
    size_t i = 0;
    while (size - i >= 16) {
        const size_t steps = (size - i) / 16 < 4096 ? (size - i) / 16 : 4096;
        const size_t end = i + 16 * steps;
        __m128i lanes = zero;
        for (; i < end; i += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
            const __m128i lo = _mm_sub_epi16(_mm_unpacklo_epi8(x, zero), _mm_unpacklo_epi8(y, zero));
            const __m128i hi = _mm_sub_epi16(_mm_unpackhi_epi8(x, zero), _mm_unpackhi_epi8(y, zero));
            lanes = _mm_add_epi32(lanes, _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
        }
        alignas(16) uint32_t parts[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(parts), lanes);
        sum += uint64_t{parts[0]} + parts[1] + parts[2] + parts[3];
    }
    return sum + PlainSquaredError(a + i, b + i, size - i);
}

}  // namespace
#endif

void FillSse2Kernels([[maybe_unused]] KernelTable& table) {
#if defined(__SSE2__)
    table = KernelTable{Y4mToYcBody, YcToY4mBody, SquaredError};
#endif
}

}  // namespace media
}  // namespace vardelk
