// Reconstruction of a block whose AC levels are all zero, equal to
// DequantiseBlock followed by InverseDct (quantise.cpp, inverse_dct.cpp).
//
// Dequantisation leaves the DC level saturated to D in -2048..2047 and every
// AC value zero; the sum of the block is then D, so mismatch control adds 1
// at index 63 when D is even and nothing when D is odd.
//
// D odd: the row pass sees DC only in row 0 (work D x 16, all else 0), and
// the column pass DC only in every column, so every sample is
// sat((16 D + 64) >> 7) = sat((D + 4) >> 3).
//
// D even: row 7 also holds a 1 at column 7. Its row pass gives
// r[x] = G[x] >> 9, where G[x] is the kernel's weight of input 7 at output x.
// Column x then has 16 D at input 0 and r[x] at input 7, and since the
// kernel is linear with weight 8192 on input 0, output i of the column pass
// is sat((2^17 D + r[x] G[i] + 2^19) >> 20). The offsets r[x] G[i] + 2^19
// lie between 2^18 and 2^20, so everything fits 32 bits.
#include "codec/fast/fast_kernels.h"
#include "codec/inverse_dct.h"
#include "codec/quantise.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vardelk {
namespace fast {
namespace {

// The inverse kernel's weights of input 7 at outputs 0..7.
constexpr int32_t kLastInputWeight[8] = {2260, -6437, 9632, -11363, 11363, -9632, 6437, -2260};

struct FlatOffsets {
    alignas(16) int32_t value[64];  // row i, column x
};

constexpr FlatOffsets MakeFlatOffsets() {
    FlatOffsets t{};
    for (int i = 0; i < 8; ++i)
        for (int x = 0; x < 8; ++x) {
            // Floor division by 512 written without shifting a negative value.
            const int32_t g = kLastInputWeight[x];
            const int32_t r = g >= 0 ? g / 512 : -((-g + 511) / 512);
            t.value[i * 8 + x] = r * kLastInputWeight[i] + (1 << 19);
        }
    return t;
}

constexpr FlatOffsets kFlatOffsets = MakeFlatOffsets();

int32_t SaturateSample(int32_t v) { return v < kMinSample ? kMinSample : (v > kMaxSample ? kMaxSample : v); }

}  // namespace

void ReconstructFlatBlock(int32_t block[64]) {
    const int32_t level = block[0];
    const int32_t d = level < kMinCoefficient ? kMinCoefficient : (level > kMaxCoefficient ? kMaxCoefficient : level);
    const int32_t scaledDc = d * (1 << 17);
#if defined(__SSE2__)
    if ((d & 1) != 0) {
        const __m128i v = _mm_set1_epi32(SaturateSample((d + 4) >> 3));
        for (int i = 0; i < 64; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), v);
        return;
    }
    const __m128i base = _mm_set1_epi32(scaledDc);
    const __m128i low = _mm_set1_epi16(kMinSample), high = _mm_set1_epi16(kMaxSample);
    for (int i = 0; i < 64; i += 8) {
        const __m128i* offset = reinterpret_cast<const __m128i*>(kFlatOffsets.value + i);
        const __m128i a = _mm_srai_epi32(_mm_add_epi32(base, _mm_load_si128(offset)), 20);
        const __m128i b = _mm_srai_epi32(_mm_add_epi32(base, _mm_load_si128(offset + 1)), 20);
        const __m128i v = _mm_max_epi16(_mm_min_epi16(_mm_packs_epi32(a, b), high), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i + 4), _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
    }
#else
    if ((d & 1) != 0) {
        const int32_t v = SaturateSample((d + 4) >> 3);
        for (int i = 0; i < 64; ++i) block[i] = v;
        return;
    }
    for (int i = 0; i < 64; ++i) block[i] = SaturateSample((scaledDc + kFlatOffsets.value[i]) >> 20);
#endif
}

}  // namespace fast
}  // namespace vardelk
