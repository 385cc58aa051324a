#include "lab/views.h"

#include "media/comparison_views.h"
#include "media/rgb_convert.h"

namespace vardelk {
namespace {

constexpr int32_t kRgbaBytes = 4;

}  // namespace

void FrameToRgba(const Y4mFrame& frame, int32_t width, int32_t height, uint8_t* rgba) {
    FrameToRgba(FormatForRgb(width, height), frame, rgba);
}

void DifferenceRgba(const uint8_t* reference, const uint8_t* test, int32_t pixels, int32_t gain, uint8_t* rgba) {
    DrawDifference(reference, test, size_t(pixels), kRgbaBytes, gain, rgba);
}

void HeatMapRgba(const uint8_t* input, int32_t width, int32_t height, const int32_t* macroblockBits,
                 int32_t macroblockColumns, uint8_t* rgba) {
    DrawBitsHeatMap(input, width, height, kRgbaBytes, macroblockBits, macroblockColumns, rgba);
}

double SsimMapRgba(const uint8_t* input, int32_t width, int32_t height, const double* macroblockSsim,
                   int32_t macroblockColumns, uint8_t* rgba) {
    return DrawSsimHeatMap(input, width, height, kRgbaBytes, macroblockSsim, macroblockColumns, rgba);
}

}  // namespace vardelk
