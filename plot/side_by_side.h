// The comparison picture for one frame, four panels in a 2x2 grid: the
// input, the reconstruction, their difference amplified around mid-grey,
// and a heat map of the estimated bits of each macroblock laid over a faint
// copy of the input. Each panel is titled; the heat map's title carries its
// colour scale from 0 to the largest macroblock's bits. On request a fifth
// panel maps each macroblock's luma SSIM the same way, from 1 to the worst.
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
};

Canvas DrawComparison(const ComparisonInput& in);

}  // namespace vardelk
