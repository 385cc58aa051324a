#include "media/coded_planes.h"

#include <algorithm>
#include <vector>

#include "codec/types.h"
#include "media/yc_convert.h"

namespace vardelk {
namespace {

// A chroma sample from its two pixels in the host format's components,
// which carry 16 times the sample less 128 ((a + b) / 2 / 16, rounded down).
uint8_t GatheredChroma(int32_t upper, int32_t lower) {
    return uint8_t(std::clamp(((upper + lower) >> 5) + 128, 0, 255));
}

}  // namespace

Y4mFormat CodedPlanesFormat(const Y4mFormat& format) {
    Y4mFormat out = format;
    if (format.chroma != ChromaFormat::k420) {
        out.chroma = ChromaFormat::k420;
        out.chromaTag = "420jpeg";
    }
    return out;
}

void CodedPlanes420(const Y4mFormat& format, const Y4mFrame& frame, Y4mFormat& planesFormat, Y4mFrame& planes) {
    planesFormat = CodedPlanesFormat(format);
    if (format.chroma == ChromaFormat::k420) {
        planes = frame;
        return;
    }
    const int32_t width = format.width, height = format.height;
    std::vector<Pixel> pixels(size_t(width) * size_t(height));
    Y4mToYc(format, frame, pixels.data(), width);
    planes.Allocate(planesFormat);
    planes.y = frame.y;
    const int32_t chromaWidth = ChromaWidth(planesFormat), chromaHeight = ChromaHeight(planesFormat);
    for (int32_t i = 0; i < chromaHeight; ++i) {
        const Pixel* upper = pixels.data() + size_t(2 * i) * size_t(width);
        const Pixel* lower = 2 * i + 1 < height ? upper + width : upper;
        for (int32_t j = 0; j < chromaWidth; ++j) {
            const size_t at = size_t(i) * size_t(chromaWidth) + size_t(j);
            planes.cb[at] = GatheredChroma(upper[2 * j].cb, lower[2 * j].cb);
            planes.cr[at] = GatheredChroma(upper[2 * j].cr, lower[2 * j].cr);
        }
    }
}

}  // namespace vardelk
