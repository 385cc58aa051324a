#include "media/rgba_convert.h"

#include <cstring>

#include "codec/cpu.h"

namespace vardelk {
namespace {

// floor(n / d) for d > 0.
int64_t FloorDivide(int64_t n, int64_t d) { return n / d - int64_t(n % d < 0); }

// The term of a chroma contribution n / d to a component: with c = ci + f / d
// (0 <= f < d), base = ci - 19 and t = ceil((438 (d - f) - d) / (2 d)), so
// that floor(l + c + 1/2), l the luma's share (u / 219 - 19 with u = 219 q + r),
// is q + base + (r >= t).
uint32_t Term(int64_t n, int64_t d) {
    const int64_t ci = FloorDivide(n, d);
    const int64_t f = n - ci * d;
    const int64_t t = -FloorDivide(-(438 * (d - f) - d), 2 * d);
    return uint32_t(uint16_t(int16_t(ci - 19))) | uint32_t(t) << 16;
}

// The exact contributions of BT.601 studio range: red 255 x 1.402 (Cr - 128)
// / 224, blue 255 x 1.772 (Cb - 128) / 224, green minus (0.299 red + 0.114
// blue) / 0.587.
ChromaTermTables MakeTerms() {
    ChromaTermTables t{};
    for (int64_t v = 0; v < 256; ++v) {
        t.red[v] = Term(255 * 1402 * (v - 128), 224000);
        t.blue[v] = Term(255 * 1772 * (v - 128), 224000);
    }
    for (int64_t cb = 0; cb < 256; ++cb)
        for (int64_t cr = 0; cr < 256; ++cr)
            t.green[cb << 8 | cr] = Term(-51 * (209599 * (cr - 128) + 101004 * (cb - 128)), 13148800);
    return t;
}

}  // namespace

const ChromaTermTables& ChromaTerms() {
    static const ChromaTermTables tables = MakeTerms();
    return tables;
}

// media/rgb_convert.cpp's arithmetic, operation for operation.
uint8_t ReferenceLuma(int32_t r, int32_t g, int32_t b) {
    constexpr double kKr = 0.299, kKb = 0.114, kKg = 1.0 - kKr - kKb;
    const double value = 16.0 + 219.0 / 255.0 * (kKr * r + kKg * g + kKb * b);
    const int32_t whole = int32_t(value);
    const int32_t rounded = whole + int32_t(value - whole >= 0.5);
    return uint8_t(rounded < 0 ? 0 : (rounded > 255 ? 255 : rounded));
}

namespace {
#include "media/rgba_convert_body.h"
}  // namespace

void FillPlainKernels(RgbaConversions& table) {
    table = RgbaConversions{RgbaToPlanesBody, PlanesToRgbaBody, RgbaRowsTo420Body, Rows420ToRgbaBody};
}

const RgbaConversions& RgbaConversionsFor(uint32_t cpuFlags) {
    return KernelTableOf<RgbaConversions>(cpuFlags & DetectedCpuFlags());
}

}  // namespace vardelk
