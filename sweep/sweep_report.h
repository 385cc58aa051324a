// Everything a sweep reports, and its figures as CSV and JSON.
#pragma once

#include <string>
#include <vector>

#include "sweep/sweep.h"

namespace vardelk {

struct SweepReport {
    std::string input;
    std::string model;         // the coding model, as DescribeModel() names it
    bool modelColumn = false;  // the CSV names the model in a column of its own
    std::vector<SweepRow> rows;
    std::vector<BdReportRow> bd;  // predicted curves against the first
    BdInterpolation method = BdInterpolation::kPchip;
    std::string confirmedBy;              // the encoder that measured every point; "" for none
    std::vector<BdReportRow> measuredBd;  // its curves against its first
};

// With Bjontegaard figures (rows after the anchor's curve), the CSV gains
// their columns on every row of the curve they describe (empty on the
// anchor's rows) and the JSON a "bd" member. A confirmed sweep adds the
// measured figures: CSV columns "measured_..." (empty where a point was not
// measured) and a JSON "confirmed" member. The model's CSV column comes last.
std::string SweepCsv(const SweepReport& report);
std::string SweepJson(const SweepReport& report);

}  // namespace vardelk
