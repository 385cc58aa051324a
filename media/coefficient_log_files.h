// The coefficient logs as text files: the transform's coefficients and the
// quantised levels of every macroblock of a frame, one file each. Each
// macroblock gives one line per block, "x,y,label," then the 64 values in
// natural row-major order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "codec/frame_coder.h"

namespace vardelk {

// Writes the six lines of one macroblock's buffer.
void WriteCoefficientLog(std::FILE* file, const MacroblockBuffer& buffer, int32_t x, int32_t y);

// Opens (truncating) both files for one frame and closes them when it goes.
// A file that cannot be opened is skipped: the frame is still coded and the
// other file still written.
class CoefficientLogFiles final : public CoefficientSink {
public:
    CoefficientLogFiles(const std::string& coefficientPath, const std::string& levelPath);
    ~CoefficientLogFiles() override;
    CoefficientLogFiles(const CoefficientLogFiles&) = delete;
    CoefficientLogFiles& operator=(const CoefficientLogFiles&) = delete;

    bool Wants(CoefficientStage) const override { return true; }
    void Take(CoefficientStage stage, int32_t x, int32_t y, const MacroblockBuffer& buffer) override;

private:
    std::FILE* coefficients_;
    std::FILE* levels_;
};

}  // namespace vardelk
