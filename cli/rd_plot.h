// Rate-distortion plot: mean bytes per frame (logarithmic axis) against
// luma PSNR, one curve per matrix and scale mapping, each point marked and
// some labelled with their scale code. Written as SVG or PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vardelk {

struct RdPoint {
    double bytes;
    double psnr;
    int32_t scaleCode;
};

struct RdCurve {
    std::string label;
    std::vector<RdPoint> points;
};

// Chooses the format by the name's ending (.svg or .png); throws CliError
// for any other name or when nothing can be plotted.
void WriteRdPlot(const std::string& path, const std::vector<RdCurve>& curves, const std::string& title);

}  // namespace vardelk
