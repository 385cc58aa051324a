#include "codec/macroblock_pipeline.h"

#include <algorithm>

#include "codec/cpu.h"
#include "codec/kernels/kernel_table.h"
#include "codec/quantise.h"
#include "codec/quantiser_rules.h"

namespace vardelk {
namespace {

// quantiser_scale for q_scale_type 0 (entries 0..31) and 1 (32..63),
// indexed by non-linear flag x 32 + scale code.
constexpr int32_t kQuantiserScale[64] = {
    0,  2,  4,  6,  8,  10, 12, 14, 16, 18, 20, 22, 24, 26, 28,  30,
    32, 34, 36, 38, 40, 42, 44, 46, 48, 50, 52, 54, 56, 58, 60,  62,  //
    0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 12, 14, 16, 18, 20,  22,
    24, 28, 32, 36, 40, 44, 48, 52, 56, 64, 72, 80, 88, 96, 104, 112,
};

int32_t DcOffset(int block) { return block >= kCbBlock ? kChromaDcOffset : 0; }

}  // namespace

int32_t QuantiserScale(int32_t scaleCode, int32_t nonLinearScale) {
    const int32_t code = std::clamp(scaleCode, int32_t{1}, int32_t{31});
    return kQuantiserScale[(nonLinearScale != 0 ? 32 : 0) + code];
}

MacroblockPipeline::MacroblockPipeline() : MacroblockPipeline(DetectedCpuFlags()) {}

MacroblockPipeline::MacroblockPipeline(uint32_t cpuFlags) : kernels_(&kernels::KernelTableFor(cpuFlags)) {}

void MacroblockPipeline::Prepare(const CodingSettings& settings, const int32_t matrix[kMatrixEntries],
                                 const kernels::KernelTable& kernels) {
    kernels_ = &kernels;
    Prepare(settings, matrix);
}

void MacroblockPipeline::Prepare(const CodingSettings& settings, const int32_t matrix[kMatrixEntries]) {
    const kernels::KernelTable& kernels = *kernels_;
    model_ = SafeModel(settings.model);
    coding_ = AcCoding{settings.alternateScan != 0 ? 1 : 0, model_.intraVlcFormat};
    dcShift_ = kMaxDcPrecision - model_.dcPrecision;
    coefficientBits_ = model_.CoefficientFractionBits();
    int32_t weights[kMatrixEntries];
    ClampMatrix(matrix, weights);
    kernels::PrepareQuantiser(model_.rule, weights, QuantiserScale(settings.scaleCode, settings.nonLinearScale),
                              tables_);
    quantise_ = kernels::QuantiserFor(kernels, model_.rule);
    StartRow();
}

void MacroblockPipeline::Transform(MacroblockBuffer& buffer) const {
    const kernels::BlockTransform transform =
        model_.UsesAccurateTransform() ? kernels_->forwardDctAccurate : kernels_->forwardDct;
    for (int b = 0; b < kBlocksPerMacroblock; ++b) transform(buffer.Block(b));
}

// The DC level from the coefficient (with the transform's fraction bits) as
// the model's rule rounds it (quantiser_rules.h); a DC outside the range
// (only from host samples beyond black or white) is clamped into it.
void MacroblockPipeline::QuantiseDc(MacroblockBuffer& buffer) const {
    if (model_.CarriesFilterDc()) return;
    const int32_t shift = dcShift_ + coefficientBits_;
    const int64_t half = shift > 0 ? int64_t{1} << (shift - 1) : 0;
    const int64_t maxLevel = (int64_t{1} << model_.dcPrecision) - 1;
    const int64_t midGrey = int64_t{kChromaDcOffset} << coefficientBits_;
    const bool aboutMidGrey = model_.RoundsDcAboutMidGrey();
    for (int b = 0; b < kBlocksPerMacroblock; ++b) {
        int32_t& dc = buffer.Block(b)[0];
        const int64_t whole = int64_t{dc} + (int64_t{DcOffset(b)} << coefficientBits_);
        int64_t level = (whole + half) >> shift;
        if (aboutMidGrey) {
            const int64_t r = whole - midGrey;
            const int64_t magnitude = ((r < 0 ? -r : r) + half) >> shift;
            level = (maxLevel + 1) / 2 + (r < 0 ? -magnitude : magnitude);
        }
        dc = static_cast<int32_t>(std::clamp<int64_t>(level, 0, maxLevel));
    }
}

void MacroblockPipeline::RestoreDc(MacroblockBuffer& buffer) const {
    if (model_.CarriesFilterDc()) return;
    for (int b = 0; b < kBlocksPerMacroblock; ++b) {
        int32_t& dc = buffer.Block(b)[0];
        dc = dc * (int32_t{1} << dcShift_) - DcOffset(b);
    }
}

// Blocks without AC levels need neither dequantisation nor transform: the
// flat kernel gives their samples directly.
int32_t MacroblockPipeline::Code(MacroblockBuffer& buffer, CoefficientSink* levelSink, int32_t x, int32_t y) {
    uint64_t nonZero[kBlocksPerMacroblock];
    for (int b = 0; b < kBlocksPerMacroblock; ++b) nonZero[b] = quantise_(buffer.Block(b), tables_);
    QuantiseDc(buffer);
    if (levelSink != nullptr) levelSink->Take(CoefficientStage::kQuantised, x, y, buffer);
    const int32_t bits = kernels_->macroblockBits(buffer, nonZero, coding_, predictors_);
    RestoreDc(buffer);
    for (int b = 0; b < kBlocksPerMacroblock; ++b) {
        if ((nonZero[b] >> 1) == 0) {
            kernels_->reconstructFlat(buffer.Block(b));
            continue;
        }
        kernels_->dequantise(buffer.Block(b), tables_);
        kernels_->inverseDct(buffer.Block(b));
    }
    return bits;
}

}  // namespace vardelk
