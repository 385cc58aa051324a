// Bjontegaard figures of a sweep: every curve against the first (the
// anchor), on luma PSNR and on SSIM, as a table for people and as rows for
// the CSV and JSON outputs.
//
// Per curve: BD-rate (percent, negative = fewer bytes for the same quality)
// and BD-PSNR (dB of luma PSNR, positive = better) from the PSNR curves, and
// BD-rate and BD-SSIM from the SSIM curves. SSIM takes part in its dB form,
// -10 log10(1 - SSIM), so BD-SSIM is in SSIM dB. Points whose quality is
// infinite (identical pictures) are left out with a warning; a figure that
// cannot be computed is shown as n/a, left empty in CSV and null in JSON,
// with the reason among the warnings.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "quality/bd_rate.h"

namespace vardelk {

// One sweep point: mean bytes per frame, luma PSNR in dB, overall SSIM (0..1).
struct BdSweepPoint {
    double bytes = 0.0;
    double psnrY = 0.0;
    double ssimAll = 0.0;
};

// The points of one matrix and mapping, one per scale code.
struct BdCurve {
    std::string label;  // e.g. "flat16 linear"
    std::vector<BdSweepPoint> points;
};

struct BdReportRow {
    std::string label;  // the curve compared with the anchor
    BdFigure psnrRate;  // BD-rate on luma PSNR, percent
    BdFigure psnr;      // BD-PSNR, dB
    BdFigure ssimRate;  // BD-rate on SSIM dB, percent
    BdFigure ssim;      // BD-SSIM, SSIM dB
    // Each prefixed with the curve and the measure, e.g.
    // "flat16 linear, PSNR: BD-rate: the curves share only 60% ...".
    std::vector<std::string> warnings;
};

// A row for every curve after the first, compared with the first. Fewer
// than two curves give no rows.
std::vector<BdReportRow> CompareWithAnchor(const std::vector<BdCurve>& curves,
                                           BdInterpolation method = BdInterpolation::kPchip);

// The aligned table, headed by the anchor's label and the method.
void PrintBdTable(std::FILE* out, const std::string& anchorLabel, BdInterpolation method,
                  const std::vector<BdReportRow>& rows);
// Every row's warnings, one a line, each starting "warning: ".
void PrintBdWarnings(std::FILE* out, const std::vector<BdReportRow>& rows);

// CSV with a header line:
//   anchor,curve,method,bd_rate_psnr,bd_psnr,bd_rate_ssim,bd_ssim
std::string BdCsv(const std::string& anchorLabel, BdInterpolation method, const std::vector<BdReportRow>& rows);
// A JSON object {"anchor": ..., "method": ..., "rows": [{"curve": ...,
// "bd_rate_psnr": ..., "bd_psnr": ..., "bd_rate_ssim": ..., "bd_ssim": ...,
// "warnings": [...]}]}, to be placed as a member value of the sweep's JSON.
std::string BdJson(const std::string& anchorLabel, BdInterpolation method, const std::vector<BdReportRow>& rows);

}  // namespace vardelk
