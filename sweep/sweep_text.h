// The sweep's report as the terminal shows it: a row per point (predicted,
// and measured beside it when a real encoder confirmed the points), then
// the Bjontegaard figures against the first curve by every measure.
#pragma once

#include <cstdio>

#include "sweep/sweep_report.h"

namespace vardelk {

void PrintSweepReport(std::FILE* text, const SweepReport& report);

}  // namespace vardelk
