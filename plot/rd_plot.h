// Rate-distortion plot: mean bytes per frame (logarithmic axis) against a
// quality figure (luma PSNR or SSIM, given by the caller), one curve per
// matrix and scale mapping, each point marked and some labelled with their
// scale code where the label has room; curves may be drawn dashed and share
// a colour with another. Each colour has its own marker shape, so curves
// lying on one another stay apart; the legend shows each curve's line, dash
// and marker, and the picture grows taller for a long one. Written as SVG or
// PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/name_table.h"

namespace vardelk {

struct RdPoint {
    double bytes;
    double quality;  // the y value: PSNR in dB or SSIM
    int32_t scaleCode;
};

struct RdCurve {
    std::string label;
    std::vector<RdPoint> points;
    // A dashed curve (e.g. measured beside a solid predicted one) has hollow
    // markers and no scale-code labels.
    bool dashed = false;
    // Index into the palette; -1 takes the curve's own position.
    int32_t colour = -1;
};

enum class RdMetric { kPsnr, kSsim, kSsimulacra2, kButteraugli };

// The metrics' names on the command line: "psnr", "ssim", "ssimulacra2",
// "butteraugli".
extern const NamedValue<RdMetric> kRdMetricNames[4];

// A name of kRdMetricNames; false for anything else.
bool ParseRdMetric(const std::string& name, RdMetric* metric);
// The y axis title for the metric: "Y PSNR (dB)", "SSIM (all planes)",
// "SSIMULACRA 2", "Butteraugli -ln(3-norm)".
std::string RdMetricTitle(RdMetric metric);

// Whether the name ends in .svg or .png, the forms a plot is written in.
bool IsPlotFileName(const std::string& path);

// Chooses the format by the name's ending (.svg or .png); throws PlotError
// for any other name or when nothing can be plotted, MediaError or
// PictureError when the file cannot be written.
void WriteRdPlot(const std::string& path, const std::vector<RdCurve>& curves, const std::string& title,
                 const std::string& yTitle = RdMetricTitle(RdMetric::kPsnr));

}  // namespace vardelk
