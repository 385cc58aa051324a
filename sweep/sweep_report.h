// Everything a sweep reports, and its figures as CSV and JSON.
#pragma once

#include <string>
#include <vector>

#include "media/report_text.h"
#include "sweep/sweep.h"

namespace vardelk {

struct SweepReport {
    std::string input;
    std::string model;              // the coding model, as DescribeModel() names it
    int32_t width = 0, height = 0;  // the pictures' size
    bool modelColumn = false;       // the CSV names the model in a column of its own
    std::vector<SweepRow> rows;
    std::vector<BdReportRow> bd;  // predicted curves against the first
    BdInterpolation method = BdInterpolation::kPchip;
    std::string confirmedBy;               // the encoder that measured every point; "" for none
    std::vector<BdReportRow> measuredBd;   // its curves against its first
    bool ssimulacra2 = false;              // the points were scored by SSIMULACRA 2 (and the BD rows hold it)
    bool butteraugli = false;              // the points were measured by Butteraugli (and the BD rows hold it)
    std::vector<std::string> matrixNotes;  // matrices no stream can carry (StreamMatrixNote)
    // What the figures are measured against when it is not the clip's own
    // planes (kCodedPlanesReference for a 4:2:2 or 4:4:4 clip); "" when it is.
    std::string reference;
};

// The reference of a 4:2:2 or 4:4:4 clip's figures, predicted and measured
// alike: the 4:2:0 planes the coder codes of it (media/coded_planes.h).
constexpr char kCodedPlanesReference[] = "coded 4:2:0 planes";

// With Bjontegaard figures (rows after the anchor's curve), the CSV gains
// their columns on every row of the curve they describe (empty on the
// anchor's rows) and the JSON a "bd" member. A confirmed sweep adds the
// measured figures: CSV columns "measured_..." (empty where a point was not
// measured) and a JSON "confirmed" member. A sweep scored by SSIMULACRA 2
// adds its column "ssimulacra2" after the SSIM ones (and "measured_ssimulacra2"
// after the measured SSIM), its member to every point, and its BD figures
// after those of SSIM; one measured by Butteraugli adds "butteraugli" and
// "butteraugli_3norm" after those (and their "measured_" forms after the
// measured ones), and its BD figures last. The model's CSV column comes last.
// Figures with a reference of their own name it in a JSON "reference"
// member after the model (the CSV's columns stay those of every sweep).
std::vector<SweepMeasure> ReportMeasures(const SweepReport& report);
std::string SweepCsv(const SweepReport& report);
std::string SweepJson(const SweepReport& report);

}  // namespace vardelk
