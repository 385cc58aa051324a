#include "media/psnr.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vardelk {

double PlaneError::Psnr() const {
    if (samples <= 0 || squaredError <= 0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(255.0 * 255.0 / MeanSquaredError());
}

PlaneError ComparePlanes(const std::vector<uint8_t>& reference, const std::vector<uint8_t>& test) {
    if (reference.size() != test.size()) throw MediaError("planes of different sizes compared");
    const uint8_t* a = reference.data();
    const uint8_t* b = test.data();
    const size_t size = reference.size();
    uint64_t sum = 0;
    size_t i = 0;
#if defined(__SSE2__)
    // Sixteen samples at a time: differences widened to 16 bits, squared and
    // added in pairs by pmaddwd (at most 2 x 255^2 per lane). Each lane
    // takes at most 4096 x 2 x 255^2 < 2^29 before it is moved to 64 bits.
    const __m128i zero = _mm_setzero_si128();
    while (size - i >= 16) {
        const size_t end = i + 16 * std::min<size_t>(4096, (size - i) / 16);
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
#endif
    for (; i < size; ++i) {
        const int32_t d = int32_t(a[i]) - int32_t(b[i]);
        sum += uint64_t(d * d);
    }
    return PlaneError{double(sum), double(size)};
}

FrameError CompareFrames(const Y4mFrame& reference, const Y4mFrame& test) {
    return FrameError{ComparePlanes(reference.y, test.y), ComparePlanes(reference.cb, test.cb),
                      ComparePlanes(reference.cr, test.cr)};
}

}  // namespace vardelk
