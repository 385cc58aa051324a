// The stages every macroblock goes through, the same for the frame coder,
// the search's point coder and whatever else codes macroblocks: forward
// transform; quantisation by the coding model's rule and DC precision;
// the size estimate against the row's DC predictors; dequantisation and
// inverse transform back to samples. The kernels come from one kernel
// table (the plain table is the reference every other one equals).
//
// The transform. A model whose rule works on its encoder's own transform
// (CodingModel::UsesAccurateTransform: ffmpeg's 16-bit one) gets those
// coefficients, at 8 x the scale; the others get the filter's.
//
// The DC. With the filter's own DC (CodingModel::CarriesFilterDc) the DC
// coefficient passes through quantisation unscaled, chroma about zero as
// the samples are, and the predictors start each row at 0. Every other
// model quantises it to a level of its precision p, as the stream carries
// it:
//   level = clamp((DC + chroma offset + 2^(10-p)) >> (11-p), 0, 2^p - 1)
// (with the encoder's transform's 3 more fraction bits in DC, offset and shift)
// where the chroma offset kChromaDcOffset = 8 x 128 turns the pipeline's
// signed chroma back into unsigned samples; a decoder reconstructs level x 2^(11-p) less
// the same offset, and the predictors start each row at 2^(p-1).
#pragma once

#include <cstdint>

#include "codec/bit_cost.h"
#include "codec/coding_model.h"
#include "codec/kernels/quantiser_tables.h"
#include "codec/types.h"

namespace vardelk {

namespace kernels {
struct KernelTable;
}  // namespace kernels

// A chroma block's DC coefficient for unsigned samples less the pipeline's,
// whose chroma is about zero: 8 x 128.
constexpr int32_t kChromaDcOffset = 1024;

// The point in a macroblock's journey at which a sink sees its buffer.
enum class CoefficientStage {
    kTransformed,  // forward DCT coefficients of the six blocks
    kQuantised,    // the levels: AC levels, and the DC as the model carries it (above)
};

// Receives every macroblock's buffer at the stages it asks for, in coding
// order.
class CoefficientSink {
public:
    virtual ~CoefficientSink() = default;
    virtual bool Wants(CoefficientStage stage) const = 0;
    // x and y: the macroblock's top-left pixel in the picture.
    virtual void Take(CoefficientStage stage, int32_t x, int32_t y, const MacroblockBuffer& buffer) = 0;
};

// Quantiser scale for a scale code (clamped into 1..31) in the linear or, for
// any non-zero flag, the non-linear mapping.
int32_t QuantiserScale(int32_t scaleCode, int32_t nonLinearScale);

class MacroblockPipeline {
public:
    // The kernels of every build this CPU runs, or of the given CpuFlag bits
    // (those the CPU lacks must not be given).
    MacroblockPipeline();
    explicit MacroblockPipeline(uint32_t cpuFlags);

    // Fixes the frame's quantiser, scan, AC table and DC handling. The
    // matrix entries are read clamped to 1..4095, the scale code into
    // 1..31, and the model made safe (SafeModel). With a kernel table: that
    // table from now on.
    void Prepare(const CodingSettings& settings, const int32_t matrix[kMatrixEntries]);
    void Prepare(const CodingSettings& settings, const int32_t matrix[kMatrixEntries],
                 const kernels::KernelTable& kernels);

    // At the start of every macroblock row.
    void StartRow() { ResetDcPredictors(predictors_, model_); }

    // Samples to coefficients, all six blocks.
    void Transform(MacroblockBuffer& buffer) const;

    // Coefficients to reconstructed samples; returns the macroblock's
    // estimated bits. The sink, when given, sees the levels at (x, y).
    int32_t Code(MacroblockBuffer& buffer, CoefficientSink* levelSink, int32_t x, int32_t y);

    const CodingModel& Model() const { return model_; }

private:
    void QuantiseDc(MacroblockBuffer& buffer) const;
    void RestoreDc(MacroblockBuffer& buffer) const;

    const kernels::KernelTable* kernels_ = nullptr;
    kernels::QuantiseFunction quantise_ = nullptr;
    kernels::QuantiserTables tables_;
    AcCoding coding_;
    CodingModel model_;
    DcPredictors predictors_;
    int32_t dcShift_ = 0;          // 11 - p
    int32_t coefficientBits_ = 0;  // fraction bits of the model's transform: 0 or 3
};

}  // namespace vardelk
