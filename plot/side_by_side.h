// The comparison picture for one frame, four panels in a 2x2 grid: the
// input, the reconstruction, their difference amplified around mid-grey,
// and a heat map of the estimated bits of each macroblock laid over a faint
// copy of the input. Each panel is titled; the heat map's title carries its
// colour scale from 0 to the largest macroblock's bits. On request a fifth
// panel maps each macroblock's luma SSIM the same way, from 1 to the worst.
// A caption above the panels says how the frame was coded. Text grows with
// the picture, so that it reads the same at any size once the picture is
// scaled to fit a screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/y4m.h"
#include "plot/canvas.h"

namespace vardelk {

struct ComparisonInput {
    const Y4mFormat* format;
    const Y4mFrame* input;
    const Y4mFrame* reconstruction;
    const std::vector<int32_t>* macroblockBits;  // row-major
    int32_t macroblockColumns;
    int32_t frameIndex;
    int32_t frameBytes;
    int32_t differenceGain;  // the difference is multiplied by this
    // Luma SSIM per macroblock, row-major, or null for no such panel.
    const std::vector<double>* ssimMap = nullptr;
    // The coding model, named in the reconstruction's title when given.
    std::string model = {};
    // The settings the frame was coded with (scale code, mapping, matrix,
    // model), written above the panels; none when empty.
    std::string caption = {};
};

Canvas DrawComparison(const ComparisonInput& in);

// Font pixels per pixel of the 5x7 font for panels of this size: 1 up to
// about 720x480, then in step with the smaller of width / 360, height / 240.
int32_t ComparisonTextScale(int32_t width, int32_t height);

}  // namespace vardelk
