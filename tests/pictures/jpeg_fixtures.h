// JPEG files made in the tests by libjpeg's own encoder, so that every kind
// the reader must take or refuse is at hand without outside files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/rgb_convert.h"

namespace vardelk::testing {

struct JpegFixture {
    int quality = 90;
    bool progressive = false;
    bool fullChroma = false;  // 4:4:4 instead of 4:2:0
    bool grey = false;        // one component, the picture's luma
    bool cmyk = false;        // four components, C = 255 - R, M = 255 - G, Y = 255 - B, K = 0
    bool bitPerScan = false;  // progressive, each bit of each coefficient a scan of its own (grey only)
    int exifOrientation = 0;  // 0: no Exif block
    bool exifBigEndian = true;
};

// A deterministic picture with what photographs have: smooth gradients,
// fine texture, hard edges and saturated colour.
RgbImage PhotoLike(int32_t width, int32_t height);

std::vector<uint8_t> EncodeJpeg(const RgbImage& image, const JpegFixture& fixture);

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vardelk::testing
