#include "frei0r/parameters.h"

#include <frei0r.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "codec/frame_coder.h"
#include "matrix/known_matrices.h"

namespace vardelk {
namespace frei0r {
namespace {

constexpr double kCodeSteps = kMaxScaleCode - kMinScaleCode;

// Names every matrix known by name, so the host's help keeps up with the table.
const std::string& MatrixExplanation() {
    static const std::string text =
        "The intra quantiser matrix: a named one (" + KnownMatrixNames() +
        ") or the path of a matrix file (64 numbers, an ffmpeg, x264, mpeg2enc, cjpeg or TMPGEnc file, or an MPEG-2 "
        "video stream); a file that cannot be read leaves the matrix as it was";
    return text;
}

const ParameterInfo* Parameters() {
    static const ParameterInfo parameters[kParameterCount] = {
        {"scale code", F0R_PARAM_DOUBLE,
         "Quantiser scale code 1..31 (larger codes quantise more coarsely), given as (code - 1) / 30: "
         "0 is 1, 0.3667 is 12, 1 is 31"},
        {"non-linear scale", F0R_PARAM_BOOL,
         "Map the scale code to the quantiser scale by the non-linear table (up to 112) instead of twice the code"},
        {"alternate scan", F0R_PARAM_BOOL,
         "Read coefficients in the alternate (vertical) scan instead of the zigzag scan; changes the estimated size"},
        {"field DCT", F0R_PARAM_BOOL,
         "Transform each macroblock's luma as two fields (odd and even lines) instead of as a frame"},
        {"coding model", F0R_PARAM_STRING,
         "Whose quantiser the simulation follows: filter (the module's own), ffmpeg, mpeg2enc or tm5 (the test model)"},
        {"matrix", F0R_PARAM_STRING, MatrixExplanation().c_str()},
    };
    return parameters;
}

}  // namespace

const ParameterInfo& DescribeParameter(int index) {
    if (index < 0 || index >= kParameterCount) throw std::logic_error("frei0r: no such parameter");
    return Parameters()[index];
}

int32_t ScaleCodeOfValue(double value) {
    const double clamped = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    return kMinScaleCode + int32_t(std::lround(clamped * kCodeSteps));
}

double ValueOfScaleCode(int32_t code) {
    return double(std::clamp(code, kMinScaleCode, kMaxScaleCode) - kMinScaleCode) / kCodeSteps;
}

}  // namespace frei0r
}  // namespace vardelk
