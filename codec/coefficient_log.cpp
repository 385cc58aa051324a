#include "codec/coefficient_log.h"

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

}  // namespace vardelk
