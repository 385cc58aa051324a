// The loops of media/rgba_convert.h, compiled once per family (included by
// rgba_convert.cpp, the plain family, and by rgba_convert_sse2.cpp and
// rgba_convert_avx2.cpp, whose vector loops leave a row's last pixels to
// it, each inside its own unnamed namespace).
// The includer provides ChromaTerms (rgba_convert.cpp builds the tables)
// and ReferenceLuma.
//
// Forward: with S = 299 R + 587 G + 114 B, the exact samples rounded half up
// are
//   Y  = floor((73 S + 1402500) / 85000),
//   Cb = floor((112 (886 B - 299 R - 587 G) + 29032005) / 225930),
//   Cr = floor((224 (701 R - 587 G - 114 B) + 45940035) / 357510),
// which is what media's double arithmetic gives for every input except a
// few exact luma halves (a remainder of 0), where the double sum may fall
// just below the half: those pixels take media's own formula.
//
// Inverse: with u = 255 Y' + 190 = 219 q + r (0 <= r < 219), every
// component is q + base + (r >= t), base and t depending on the chroma
// samples only (the tables), clamped to 0..255. No sum lands on a half, so
// exact rounding is media's rounding.

// floor(x / d) for 0 <= x < 2^27: a float estimate, corrected exactly.
inline int32_t Quotient(int32_t x, int32_t d, float inverse, int32_t& remainder) {
    int32_t q = int32_t(float(x) * inverse);
    int32_t r = x - q * d;
    const int32_t low = int32_t(r < 0);
    q -= low;
    r += low * d;
    const int32_t high = int32_t(r >= d);
    q += high;
    r -= high * d;
    remainder = r;
    return q;
}

inline int32_t LumaNumerator(int32_t r, int32_t g, int32_t b) { return 73 * (299 * r + 587 * g + 114 * b) + 1402500; }
inline int32_t BlueSample(int32_t r, int32_t g, int32_t b) {
    int32_t remainder;
    return Quotient(112 * (886 * b - 299 * r - 587 * g) + 29032005, 225930, 1.0f / 225930, remainder);
}
inline int32_t RedSample(int32_t r, int32_t g, int32_t b) {
    int32_t remainder;
    return Quotient(224 * (701 * r - 587 * g - 114 * b) + 45940035, 357510, 1.0f / 357510, remainder);
}

// Luma of `count` RGBA pixels; returns whether any was an exact half.
inline bool LumaRow(const uint8_t* __restrict rgba, size_t count, uint8_t* __restrict y) {
    int32_t halves = 0;
    for (size_t i = 0; i < count; ++i) {
        int32_t remainder;
        y[i] = uint8_t(
            Quotient(LumaNumerator(rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2]), 85000, 1.0f / 85000, remainder));
        halves |= int32_t(remainder == 0);
    }
    return halves != 0;
}

inline void FixLumaHalves(const uint8_t* rgba, size_t count, uint8_t* y) {
    for (size_t i = 0; i < count; ++i) {
        const int32_t r = rgba[i * 4], g = rgba[i * 4 + 1], b = rgba[i * 4 + 2];
        if (LumaNumerator(r, g, b) % 85000 == 0) y[i] = ReferenceLuma(r, g, b);
    }
}

inline void RgbaToPlanesBody(const uint8_t* __restrict rgba, size_t count, uint8_t* __restrict y,
                             uint8_t* __restrict cb, uint8_t* __restrict cr) {
    if (LumaRow(rgba, count, y)) FixLumaHalves(rgba, count, y);
    for (size_t i = 0; i < count; ++i) {
        const int32_t r = rgba[i * 4], g = rgba[i * 4 + 1], b = rgba[i * 4 + 2];
        cb[i] = uint8_t(BlueSample(r, g, b));
        cr[i] = uint8_t(RedSample(r, g, b));
    }
}

// A single row comes as its own pair: `lower` is `upper` and `yLower` is
// `yUpper`, so the luma rows are not restrict.
inline void RgbaRowsTo420Body(const uint8_t* __restrict upper, const uint8_t* __restrict lower, size_t width,
                              uint8_t* yUpper, uint8_t* yLower, uint8_t* __restrict cb, uint8_t* __restrict cr) {
    if (LumaRow(upper, width, yUpper)) FixLumaHalves(upper, width, yUpper);
    if (LumaRow(lower, width, yLower)) FixLumaHalves(lower, width, yLower);
    const size_t columns = (width + 1) / 2;
    for (size_t j = 0; j < columns; ++j) {
        const uint8_t* a = upper + j * 8;
        const uint8_t* b = lower + j * 8;
        cb[j] = uint8_t((BlueSample(a[0], a[1], a[2]) + BlueSample(b[0], b[1], b[2])) >> 1);
        cr[j] = uint8_t((RedSample(a[0], a[1], a[2]) + RedSample(b[0], b[1], b[2])) >> 1);
    }
}

constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

inline uint8_t Clamped(int32_t v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Pixels of luma y and their chroma terms (base in the low 16 bits, t in the
// high ones), one term per pixel; the alpha taken from `alpha` when given
// (whole pixels written at once), else left.
template <bool kCopyAlpha>
inline void TermPixels(const uint8_t* __restrict y, const uint32_t* __restrict red, const uint32_t* __restrict green,
                       const uint32_t* __restrict blue, const uint8_t* __restrict alpha, size_t count,
                       uint8_t* __restrict rgba) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t u = 255u * y[i] + 190u;
        const int32_t q = int32_t((u * 38305u) >> 23);
        const int32_t r = int32_t(u) - 219 * q;
        const uint8_t red8 = Clamped(q + int16_t(red[i]) + int32_t(r >= int32_t(red[i] >> 16)));
        const uint8_t green8 = Clamped(q + int16_t(green[i]) + int32_t(r >= int32_t(green[i] >> 16)));
        const uint8_t blue8 = Clamped(q + int16_t(blue[i]) + int32_t(r >= int32_t(blue[i] >> 16)));
        if constexpr (kCopyAlpha && kLittleEndian) {
            // Whole pixels as words: R in the low byte, alpha in the high one.
            uint32_t word;
            std::memcpy(&word, alpha + i * 4, 4);
            word = (word & 0xff000000u) | uint32_t(blue8) << 16 | uint32_t(green8) << 8 | red8;
            std::memcpy(rgba + i * 4, &word, 4);
        } else {
            if constexpr (kCopyAlpha) rgba[i * 4 + 3] = alpha[i * 4 + 3];
            rgba[i * 4] = red8;
            rgba[i * 4 + 1] = green8;
            rgba[i * 4 + 2] = blue8;
        }
    }
}

constexpr size_t kTermChunk = 256;

inline void PlanesToRgbaBody(const uint8_t* __restrict y, const uint8_t* __restrict cb, const uint8_t* __restrict cr,
                             size_t count, uint8_t* __restrict rgba) {
    const ChromaTermTables& t = ChromaTerms();
    uint32_t red[kTermChunk], green[kTermChunk], blue[kTermChunk];
    for (size_t start = 0; start < count; start += kTermChunk) {
        const size_t n = count - start < kTermChunk ? count - start : kTermChunk;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t u = cb[start + i], v = cr[start + i];
            red[i] = t.red[v];
            green[i] = t.green[size_t(u) << 8 | v];
            blue[i] = t.blue[u];
        }
        TermPixels<false>(y + start, red, green, blue, nullptr, n, rgba + start * 4);
    }
}

// Pixels `start`.. of an output row, the alpha from the row `alpha` unless
// that is the output row itself.
inline void RowPixels(const uint8_t* y, const uint32_t* red, const uint32_t* green, const uint32_t* blue,
                      const uint8_t* alpha, size_t count, size_t start, uint8_t* rgba) {
    if (alpha == rgba)
        TermPixels<false>(y, red, green, blue, nullptr, count, rgba + start * 4);
    else
        TermPixels<true>(y, red, green, blue, alpha + start * 4, count, rgba + start * 4);
}

// Two luma rows share a chroma row and so its terms; `yLower` null for a
// single row.
inline void Rows420ToRgbaBody(const uint8_t* __restrict yUpper, const uint8_t* __restrict yLower,
                              const uint8_t* __restrict cb, const uint8_t* __restrict cr, size_t width,
                              const uint8_t* alphaUpper, const uint8_t* alphaLower, uint8_t* upper, uint8_t* lower) {
    const ChromaTermTables& t = ChromaTerms();
    uint32_t red[kTermChunk], green[kTermChunk], blue[kTermChunk];
    for (size_t start = 0; start < width; start += kTermChunk) {
        const size_t n = width - start < kTermChunk ? width - start : kTermChunk;
        for (size_t i = 0; i < n; i += 2) {
            const size_t j = (start + i) / 2;
            const uint8_t u = cb[j], v = cr[j];
            red[i] = red[i + 1] = t.red[v];
            green[i] = green[i + 1] = t.green[size_t(u) << 8 | v];
            blue[i] = blue[i + 1] = t.blue[u];
        }
        RowPixels(yUpper + start, red, green, blue, alphaUpper, n, start, upper);
        if (yLower != nullptr) RowPixels(yLower + start, red, green, blue, alphaLower, n, start, lower);
    }
}

// The vector builds' tail: the two rows' pixels from `from` (even) on.
inline void Rows420ToRgbaFrom(size_t from, const uint8_t* yUpper, const uint8_t* yLower, const uint8_t* cb,
                              const uint8_t* cr, size_t width, const uint8_t* alphaUpper, const uint8_t* alphaLower,
                              uint8_t* upper, uint8_t* lower) {
    if (from == width) return;
    const size_t i = from;
    if (yLower == nullptr)
        Rows420ToRgbaBody(yUpper + i, nullptr, cb + i / 2, cr + i / 2, width - i, alphaUpper + i * 4, nullptr,
                          upper + i * 4, nullptr);
    else
        Rows420ToRgbaBody(yUpper + i, yLower + i, cb + i / 2, cr + i / 2, width - i, alphaUpper + i * 4,
                          alphaLower + i * 4, upper + i * 4, lower + i * 4);
}
