// JPEG pictures, read through libjpeg.
//
// Colour: libjpeg turns the file's full-range YCbCr into RGB (accurate
// integer DCT, smooth chroma upsampling: the same pixels on every machine),
// and the picture then takes the same road to the codec as a PNG does,
// media's limited-range BT.601 conversion. Grey pictures come out with
// R = G = B. CMYK and YCCK files are refused, as are files whose coded data
// is damaged or cut short: libjpeg would fill the gap with grey and carry
// on, and the result would be measured as if it were the picture.
//
// Orientation: a picture whose Exif block says it is to be shown rotated or
// mirrored is turned upright here, as a browser shows it (the lab opens
// pictures through the browser), so the codec sees what a person sees.
#pragma once

#include <cstdint>
#include <string>

#include "media/rgb_convert.h"

namespace vardelk {

// The largest picture accepted, in pixels per side, as for PNG and Y4M.
constexpr int32_t kMaxJpegSide = 16384;

// Progressive files of more scans than this are refused: each scan costs a
// pass over the whole picture, and encoders write a dozen or so.
constexpr int kMaxJpegScans = 500;

// Reads a baseline, extended or progressive JPEG of one (grey) or three
// components as 8-bit RGB, turned upright. Throws PictureError naming the
// path and libjpeg's reason. `maxSide` may lower the size limit.
RgbImage ReadJpeg(const std::string& path, int32_t maxSide = kMaxJpegSide);

// The Exif orientation (1..8) found in an APP1 segment's payload, or 1 when
// the payload is not Exif or holds no valid orientation.
int ExifOrientation(const uint8_t* data, size_t size);

// The picture turned as Exif orientation `orientation` asks (1 leaves it).
RgbImage Orient(const RgbImage& stored, int orientation);

}  // namespace vardelk
