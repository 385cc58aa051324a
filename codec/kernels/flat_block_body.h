// Body of the vector flat-block reconstruction (see flat_block.h for the
// arithmetic). Compiled once per instruction set; the includer provides
// <emmintrin.h> and codec/kernels/flat_block.h.

void ReconstructFlatBlockVector(int32_t block[64]) {
    const int32_t d = flat::SaturatedDc(block[0]);
    const int32_t scaledDc = d * (1 << 17);
    if (flat::StaysFlat(d)) {
        const __m128i v = _mm_set1_epi32(flat::SaturateSample((d + 4) >> 3));
        for (int i = 0; i < 64; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), v);
        return;
    }
    const __m128i base = _mm_set1_epi32(scaledDc);
    const __m128i low = _mm_set1_epi16(kMinSample), high = _mm_set1_epi16(kMaxSample);
    for (int i = 0; i < 64; i += 8) {
        const __m128i* offset = reinterpret_cast<const __m128i*>(flat::kFlatOffsets.value + i);
        const __m128i a = _mm_srai_epi32(_mm_add_epi32(base, _mm_load_si128(offset)), 20);
        const __m128i b = _mm_srai_epi32(_mm_add_epi32(base, _mm_load_si128(offset + 1)), 20);
        const __m128i v = _mm_max_epi16(_mm_min_epi16(_mm_packs_epi32(a, b), high), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i + 4), _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
    }
}
