// A picture and its coding, both as the RGB pictures the perceptual
// measures take: the picture's 4:2:0 planes (each chroma sample the mean of
// its square) and the codec's reconstruction of them with a matrix at a
// scale code, each back through FrameToRgb. The pairs the measures' tests
// check and their benchmarks time.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/frame_coder.h"
#include "media/rgb_convert.h"
#include "media/yc_convert.h"

namespace vardelk::testing {

inline void CodeAsRgb(const RgbImage& rgb, int32_t scaleCode, const int32_t weights[kMatrixEntries], RgbImage& original,
                      RgbImage& distorted) {
    Y4mFormat format = FormatForRgb(rgb.width, rgb.height);
    Y4mFrame full, planes, reconstruction;
    RgbToFrame(rgb, full);
    std::vector<Pixel> pixels(size_t(rgb.width) * size_t(rgb.height)), output(pixels.size());
    Y4mToYc(format, full, pixels.data(), rgb.width);
    format.chroma = ChromaFormat::k420;
    format.chromaTag = "420jpeg";
    YcToY4m(format, pixels.data(), rgb.width, planes);
    Y4mToYc(format, planes, pixels.data(), rgb.width);
    CodingSettings settings;
    settings.scaleCode = scaleCode;
    FrameCoder coder;
    coder.CodeFrame(settings, weights, pixels.data(), output.data(),
                    FrameGeometry{rgb.width, rgb.height, rgb.width, rgb.height});
    YcToY4m(format, output.data(), rgb.width, reconstruction);
    FrameToRgb(format, planes, original);
    FrameToRgb(format, reconstruction, distorted);
}

}  // namespace vardelk::testing
