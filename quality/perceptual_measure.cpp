#include "quality/perceptual_measure.h"

#include <stdexcept>
#include <string>

namespace vardelk {

RgbImage FrameAsRgb(const Y4mFormat& format, const Y4mFrame& frame) {
    RgbImage rgb;
    FrameToRgb(format, frame, rgb);
    return rgb;
}

void CheckSameSize(int32_t width, int32_t height, int32_t distortedWidth, int32_t distortedHeight) {
    if (distortedWidth != width || distortedHeight != height)
        throw std::invalid_argument("the distorted picture is " + std::to_string(distortedWidth) + "x" +
                                    std::to_string(distortedHeight) + ", the original " + std::to_string(width) + "x" +
                                    std::to_string(height));
}

}  // namespace vardelk
