// Bjontegaard figures of a sweep: every curve against the first (the
// anchor), by each of the sweep's quality measures, as a table for people
// and as rows for the CSV and JSON outputs.
//
// Per curve and measure: BD-rate (percent, negative = fewer bytes for the
// same quality) and BD-quality (positive = better) in the measure's BD form:
// luma PSNR in dB, SSIM in its dB form -10 log10(1 - SSIM), so BD-SSIM is in
// SSIM dB, SSIMULACRA 2 (when the sweep scores it) in its own points, and
// Butteraugli (when the sweep measures it) as -ln of the 3-norm, so that
// BD-Butteraugli 0.05 is a 3-norm about 5 % smaller. Points whose quality is infinite (identical
// pictures) are left out with a warning; a figure that cannot be computed is shown as n/a, left empty in CSV and null
// in JSON, with the reason among the warnings.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "quality/bd_rate.h"

namespace vardelk {

// A quality measure the sweep compares curves by: its names in the
// warnings, the CSV and JSON columns (bd_rate_KEY, bd_KEY) and the table.
struct SweepMeasure {
    const char* name;                  // "PSNR": warnings say "<curve>, PSNR: ..."
    const char* key;                   // "psnr"
    const char* rateHeading;           // "BD-rate Y"
    const char* qualityHeading;        // "BD-PSNR Y"
    int rateWidth;                     // of the table's rate column
    int qualityWidth;                  // of the table's quality column
    const char* unit;                  // of BD-quality in the table: " dB"
    double (*bdForm)(double quality);  // the form the deltas are taken in
};

// The sweep's measures, in the order of every list of figures below: luma
// PSNR and overall SSIM, then SSIMULACRA 2 and Butteraugli when the sweep
// measures them.
const std::vector<SweepMeasure>& SweepMeasures(bool ssimulacra2 = false, bool butteraugli = false);

// One sweep point: mean bytes per frame and its quality by each measure as
// measured (luma PSNR in dB, overall SSIM 0..1, SSIMULACRA 2 up to 100,
// Butteraugli's 3-norm);
// CompareWithAnchor takes each into its BD form.
struct BdSweepPoint {
    double bytes = 0.0;
    std::vector<double> quality;
};

// The points of one matrix and mapping, one per scale code.
struct BdCurve {
    std::string label;  // e.g. "flat16 linear"
    std::vector<BdSweepPoint> points;
};

struct BdMeasureFigures {
    BdFigure rate;     // BD-rate, percent
    BdFigure quality;  // BD-quality, in the measure's BD form
};

struct BdReportRow {
    std::string label;                      // the curve compared with the anchor
    std::vector<BdMeasureFigures> figures;  // one per measure
    // Each prefixed with the curve and the measure, e.g.
    // "flat16 linear, PSNR: BD-rate: the curves share only 60% ...".
    std::vector<std::string> warnings;
};

// A row for every curve after the first, compared with the first. Fewer
// than two curves give no rows.
// Every point carries a quality for each of `measures`.
std::vector<BdReportRow> CompareWithAnchor(const std::vector<BdCurve>& curves,
                                           BdInterpolation method = BdInterpolation::kPchip,
                                           const std::vector<SweepMeasure>& measures = SweepMeasures());

// The aligned table, headed by the anchor's label and the method. The rows'
// figures are those of `measures`, here and below.
void PrintBdTable(std::FILE* out, const std::string& anchorLabel, BdInterpolation method,
                  const std::vector<BdReportRow>& rows, const std::vector<SweepMeasure>& measures = SweepMeasures());
// Every row's warnings, each line starting "warning: "; warnings that differ
// only by their curve and figures are printed once, then one line naming the
// others ("the same for N more (...)").
void PrintBdWarnings(std::FILE* out, const std::vector<BdReportRow>& rows);

// The CSV column names of the figures, "bd_rate_psnr,bd_psnr,...", each
// after `prefix`.
std::string BdColumnNames(const std::string& prefix = "", const std::vector<SweepMeasure>& measures = SweepMeasures());
// A row's figures for those columns with three decimals, each after a comma
// (empty where not computable, all empty for no row).
std::string BdColumnValues(const BdReportRow* row, const std::vector<SweepMeasure>& measures = SweepMeasures());

// A JSON object {"anchor": ..., "method": ..., "rows": [{"curve": ...,
// "bd_rate_psnr": ..., "bd_psnr": ..., "bd_rate_ssim": ..., "bd_ssim": ...,
// "warnings": [...]}]}, to be placed as a member value of the sweep's JSON.
std::string BdJson(const std::string& anchorLabel, BdInterpolation method, const std::vector<BdReportRow>& rows,
                   const std::vector<SweepMeasure>& measures = SweepMeasures());

}  // namespace vardelk
