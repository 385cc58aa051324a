// The AVX2 family of the media kernels, compiled with AVX2 enabled (this
// file only) and filled only into tables whose flags allow it: the
// conversions of the SSE2 family with the wider encodings, and the squared
// error 32 samples at a time.
#include "media/kernel_table.h"

#if defined(VARDELK_HAVE_AVX2)
#include <immintrin.h>

#include <cstring>
#endif

namespace vardelk {
namespace media {

#if defined(VARDELK_HAVE_AVX2)
namespace {
#include "media/yc_convert_sse2_body.h"
// The body calls HalvedChromaRowIn above.
#include "media/yc_convert_body.h"

// As the SSE2 build, with 32 samples a step and the same per-lane bound.
uint64_t SquaredError(const uint8_t* a, const uint8_t* b, size_t size) {
    const __m256i zero = _mm256_setzero_si256();
    uint64_t sum = 0;
    size_t i = 0;
    while (size - i >= 32) {
        const size_t steps = (size - i) / 32 < 4096 ? (size - i) / 32 : 4096;
        const size_t end = i + 32 * steps;
        __m256i lanes = zero;
        for (; i < end; i += 32) {
            const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
            const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
            const __m256i lo = _mm256_sub_epi16(_mm256_unpacklo_epi8(x, zero), _mm256_unpacklo_epi8(y, zero));
            const __m256i hi = _mm256_sub_epi16(_mm256_unpackhi_epi8(x, zero), _mm256_unpackhi_epi8(y, zero));
            lanes = _mm256_add_epi32(lanes, _mm256_add_epi32(_mm256_madd_epi16(lo, lo), _mm256_madd_epi16(hi, hi)));
        }
        alignas(32) uint32_t parts[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(parts), lanes);
        for (uint32_t part : parts) sum += part;
    }
    return sum + PlainSquaredError(a + i, b + i, size - i);
}

}  // namespace
#endif

void FillAvx2Kernels([[maybe_unused]] KernelTable& table) {
#if defined(VARDELK_HAVE_AVX2)
    table = KernelTable{Y4mToYcBody, YcToY4mBody, SquaredError};
#endif
}

}  // namespace media
}  // namespace vardelk
