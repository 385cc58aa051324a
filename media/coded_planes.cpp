#include "media/coded_planes.h"

#include <algorithm>

namespace vardelk {

Y4mFormat CodedPlanesFormat(const Y4mFormat& format) {
    Y4mFormat out = format;
    if (format.chroma != ChromaFormat::k420) {
        out.chroma = ChromaFormat::k420;
        out.chromaTag = "420jpeg";
    }
    return out;
}

// The gather reads the host format's components, 16 (v - 128) for a sample
// v, and keeps (a + b) >> 5 of two of them: floor((u + l) / 2) - 128 for
// samples u and l, which is what is computed here from the samples
// themselves. A 4:4:4 row holds a sample per column, a 4:2:2 row one per
// pair of columns (the odd last column its own); an odd last row is paired
// with itself.
void CodedPlanes420(const Y4mFormat& format, const Y4mFrame& frame, Y4mFormat& planesFormat, Y4mFrame& planes) {
    planesFormat = CodedPlanesFormat(format);
    if (format.chroma == ChromaFormat::k420) {
        planes = frame;
        return;
    }
    planes.Allocate(planesFormat);
    std::copy(frame.y.begin(), frame.y.end(), planes.y.begin());
    if (format.chroma == ChromaFormat::kMono) {
        std::fill(planes.cb.begin(), planes.cb.end(), uint8_t{128});
        std::fill(planes.cr.begin(), planes.cr.end(), uint8_t{128});
        return;
    }
    const size_t sourceWidth = size_t(ChromaWidth(format));
    const size_t step = format.chroma == ChromaFormat::k444 ? 2 : 1;
    const int32_t chromaWidth = ChromaWidth(planesFormat), chromaHeight = ChromaHeight(planesFormat);
    const auto gather = [&](const std::vector<uint8_t>& source, std::vector<uint8_t>& out) {
        for (int32_t i = 0; i < chromaHeight; ++i) {
            const uint8_t* upper = source.data() + size_t(2 * i) * sourceWidth;
            const uint8_t* lower = 2 * i + 1 < format.height ? upper + sourceWidth : upper;
            uint8_t* row = out.data() + size_t(i) * size_t(chromaWidth);
            for (int32_t j = 0; j < chromaWidth; ++j) {
                const size_t at = step * size_t(j);
                row[j] = uint8_t((upper[at] + lower[at]) >> 1);
            }
        }
    };
    gather(frame.cb, planes.cb);
    gather(frame.cr, planes.cr);
}

}  // namespace vardelk
