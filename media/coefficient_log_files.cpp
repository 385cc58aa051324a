#include "media/coefficient_log_files.h"

namespace vardelk {
namespace {

// Four characters each, in buffer order.
const char* const kBlockLabels[kBlocksPerMacroblock] = {"Y[1]", "Y[2]", "Y[3]", "Y[4]", "Cb  ", "Cr  "};

}  // namespace

void WriteCoefficientLog(std::FILE* file, const MacroblockBuffer& buffer, int32_t x, int32_t y) {
    for (int b = 0; b < kBlocksPerMacroblock; ++b) {
        std::fprintf(file, "%3d,%3d,%s,", static_cast<int>(x), static_cast<int>(y), kBlockLabels[b]);
        const int32_t* block = buffer.Block(b);
        for (int i = 0; i < kBlockValues; ++i) std::fprintf(file, "%5d,", static_cast<int>(block[i]));
        std::fputc('\n', file);
    }
}

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
