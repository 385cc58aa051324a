// The sweep's points as curves for the rate-distortion plot (plot/): one
// curve per matrix and mapping, bytes against the chosen measure; with a
// confirmation, each measured curve follows its predicted one, dashed in
// its colour.
#pragma once

#include <vector>

#include "plot/rd_plot.h"
#include "sweep/sweep_report.h"

namespace vardelk {

std::vector<RdCurve> SweepRdCurves(const SweepReport& report, RdMetric metric);

}  // namespace vardelk
