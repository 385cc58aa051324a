// The built-in test scene, generated in code so that the command can be
// tried without any footage: smooth gradients, hard edges, fine texture,
// saturated colour and text-like detail on a picture whose size (720x486 by
// default) is not a multiple of 16, so partial macroblocks show.
#pragma once

#include <cstdint>

#include "media/rgb_convert.h"

namespace vardelk {

constexpr int32_t kDemoWidth = 720;
constexpr int32_t kDemoHeight = 486;

// Draws the scene at any size. `frame` moves the content a little per frame
// so that a clip of several frames is not a still.
void DrawDemoScene(RgbImage& image, int32_t frame);

}  // namespace vardelk
