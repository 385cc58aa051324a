#include "media/coefficient_log_files.h"

#include "codec/coefficient_log.h"

namespace vardelk {

CoefficientLogFiles::CoefficientLogFiles(const std::string& coefficientPath, const std::string& levelPath)
    : coefficients_(std::fopen(coefficientPath.c_str(), "w")), levels_(std::fopen(levelPath.c_str(), "w")) {}

CoefficientLogFiles::~CoefficientLogFiles() {
    if (coefficients_ != nullptr) std::fclose(coefficients_);
    if (levels_ != nullptr) std::fclose(levels_);
}

void CoefficientLogFiles::Take(CoefficientStage stage, int32_t x, int32_t y, const MacroblockBuffer& buffer) {
    std::FILE* file = stage == CoefficientStage::kTransformed ? coefficients_ : levels_;
    if (file != nullptr) WriteCoefficientLog(file, buffer, x, y);
}

}  // namespace vardelk
