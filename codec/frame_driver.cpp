// The per-frame walk: every macroblock of the picture through gather,
// forward DCT, quantisation, bit-cost estimate, dequantisation, inverse DCT
// and scatter, with the coefficients handed to the caller's sink.
#include "codec/frame_coder.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#include "codec/bit_cost.h"
#include "codec/cpu.h"
#include "codec/fast/fast_kernels.h"
#include "codec/fast/kernel_table.h"
#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/planar.h"
#include "codec/quantise.h"

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

using GatherFunction = void (*)(const YcPixel*, MacroblockBuffer&, int32_t, int32_t, int32_t);
using ScatterFunction = void (*)(const MacroblockBuffer&, YcPixel*, int32_t, int32_t, int32_t);

// Everything a frame needs, fixed for its duration.
struct FramePlan {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    bool framesUsable = false;  // both frames present and addressable
    size_t framePixels = 0;     // stride x rows
    int32_t q = 0;
    int32_t alternateScan = 0;
    GatherFunction gather = nullptr;
    ScatterFunction scatter = nullptr;
    int32_t weights[kMatrixEntries] = {};
    const fast::QuantiserTables* quantiser = nullptr;  // the fast path's
    const fast::KernelTable* kernels = nullptr;        // the fast path's
    const YcPixel* input = nullptr;
    YcPixel* output = nullptr;
    CoefficientSink* transformedSink = nullptr;  // the sink, when it wants that stage
    CoefficientSink* quantisedSink = nullptr;
};

// The working state of the frame in flight.
struct CoderState {
    MacroblockBuffer& buffer;
    DcPredictors& predictors;
};

// Moves macroblocks between the buffer and host frames...
struct YcTransfer {
    const FramePlan& plan;
    void Gather(MacroblockBuffer& buffer, int32_t x, int32_t y) const {
        plan.gather(plan.input + Offset(x, y), buffer, plan.width - x, plan.height - y, plan.stride);
    }
    void Scatter(const MacroblockBuffer& buffer, int32_t x, int32_t y) const {
        plan.scatter(buffer, plan.output + Offset(x, y), plan.width - x, plan.height - y, plan.stride);
    }
    ptrdiff_t Offset(int32_t x, int32_t y) const { return ptrdiff_t{y} * plan.stride + x; }
};

// ... or 8-bit planes.
struct PlanarTransfer {
    int32_t width, height;
    fast::PlanarGatherFunction gather;
    fast::PlanarScatterFunction scatter;
    PlanarInput input;
    PlanarOutput output;
    void Gather(MacroblockBuffer& buffer, int32_t x, int32_t y) const {
        gather(input.At(y, x), buffer, width - x, height - y);
    }
    void Scatter(const MacroblockBuffer& buffer, int32_t x, int32_t y) const {
        scatter(buffer, output.At(y, x), width - x, height - y);
    }
};

}  // namespace

// The pixel count is compared before it is scaled to bytes, so that no
// product can wrap around and pass for a small frame.
bool FramesUsable(const YcPixel* input, const YcPixel* output, const FrameGeometry& geometry) {
    const uint64_t pixels = uint64_t{static_cast<uint32_t>(std::max(geometry.stride, 0))} *
                            static_cast<uint32_t>(std::max(geometry.rows, 0));
    return input != nullptr && output != nullptr && pixels <= std::numeric_limits<size_t>::max() / sizeof(YcPixel);
}

namespace {

int32_t NonNegative(int32_t v) { return v < 0 ? 0 : v; }

// The picture size actually processed: never beyond the frames, never
// negative, and empty when a frame is missing or too large to address.
void MakeGeometrySafe(const YcPixel* input, YcPixel* output, const FrameGeometry& geometry, FramePlan& plan) {
    if (!FramesUsable(input, output, geometry)) return;
    const int32_t stride = NonNegative(geometry.stride);
    const int32_t rows = NonNegative(geometry.rows);
    plan.framesUsable = true;
    plan.framePixels = static_cast<size_t>(stride) * static_cast<size_t>(rows);
    plan.width = std::min(NonNegative(geometry.width), stride);
    plan.height = std::min(NonNegative(geometry.height), rows);
    plan.stride = stride;
    plan.input = input;
    plan.output = output;
}

void ZeroFill(const FramePlan& plan) {
    if (plan.framesUsable) std::memset(plan.output, 0, plan.framePixels * sizeof(YcPixel));
}

// Bytes beyond what a signed 32-bit count holds (only for pictures far
// larger than any host frame) are reported as the largest count.
int32_t SaturatedBytes(int64_t bytes) {
    return static_cast<int32_t>(std::min<int64_t>(bytes, std::numeric_limits<int32_t>::max()));
}

void ConnectSink(CoefficientSink* sink, FramePlan& plan) {
    if (sink == nullptr) return;
    if (sink->Wants(CoefficientStage::kTransformed)) plan.transformedSink = sink;
    if (sink->Wants(CoefficientStage::kQuantised)) plan.quantisedSink = sink;
}

// One macroblock through the whole codec; returns its bits.
template <typename Transfer>
int32_t CodeMacroblock(const FramePlan& plan, CoderState& state, const Transfer& transfer, int32_t x, int32_t y) {
    MacroblockBuffer& buffer = state.buffer;
    std::memset(buffer.value, 0, sizeof buffer.value);
    transfer.Gather(buffer, x, y);
    for (int b = 0; b < kBlocksPerMacroblock; ++b) ForwardDct(buffer.Block(b));
    if (plan.transformedSink != nullptr) plan.transformedSink->Take(CoefficientStage::kTransformed, x, y, buffer);
    QuantiseMacroblock(buffer, plan.weights, plan.q);
    if (plan.quantisedSink != nullptr) plan.quantisedSink->Take(CoefficientStage::kQuantised, x, y, buffer);
    const int32_t bits = EstimateMacroblockBits(buffer, plan.alternateScan, state.predictors);
    DequantiseMacroblock(buffer, plan.weights, plan.q);
    for (int b = 0; b < kBlocksPerMacroblock; ++b) InverseDct(buffer.Block(b));
    transfer.Scatter(buffer, x, y);
    return bits;
}

// The same macroblock through the fast kernels. A whole macroblock's gather
// writes all 384 values, so only partial ones need the buffer cleared
// first. The quantiser's non-zero masks feed the bit count and single out
// blocks without AC levels, whose reconstruction needs neither
// dequantisation nor transform.
template <typename Transfer>
int32_t CodeMacroblockFast(const FramePlan& plan, CoderState& state, const Transfer& transfer, int32_t x, int32_t y) {
    MacroblockBuffer& buffer = state.buffer;
    if (plan.width - x < 16 || plan.height - y < 16) std::memset(buffer.value, 0, sizeof buffer.value);
    transfer.Gather(buffer, x, y);
    uint64_t nonZero[kBlocksPerMacroblock];
    const fast::KernelTable& k = *plan.kernels;
    for (int b = 0; b < kBlocksPerMacroblock; ++b) {
        k.forwardDct(buffer.Block(b));
        nonZero[b] = k.quantise(buffer.Block(b), *plan.quantiser);
    }
    if (plan.quantisedSink != nullptr) plan.quantisedSink->Take(CoefficientStage::kQuantised, x, y, buffer);
    const int32_t bits = k.macroblockBits(buffer, nonZero, plan.alternateScan, state.predictors);
    for (int b = 0; b < kBlocksPerMacroblock; ++b) {
        if ((nonZero[b] >> 1) == 0) {
            k.reconstructFlat(buffer.Block(b));
            continue;
        }
        k.dequantise(buffer.Block(b), *plan.quantiser);
        k.inverseDct(buffer.Block(b));
    }
    transfer.Scatter(buffer, x, y);
    return bits;
}

// Walks the picture in macroblock rows; each row's bits are rounded up to
// whole bytes on their own.
template <typename Transfer>
int32_t CodePicture(const FramePlan& plan, CoderState& state, int32_t* macroblockBits, const Transfer& transfer,
                    int32_t (*codeMacroblock)(const FramePlan&, CoderState&, const Transfer&, int32_t, int32_t)) {
    int64_t frameBytes = 0;
    // 64-bit positions: stepping past a height near the 32-bit limit cannot overflow.
    for (int64_t y = 0; y < plan.height; y += 16) {
        ResetDcPredictors(state.predictors);
        int64_t rowBits = 0;
        for (int64_t x = 0; x < plan.width; x += 16) {
            const int32_t bits =
                codeMacroblock(plan, state, transfer, static_cast<int32_t>(x), static_cast<int32_t>(y));
            if (macroblockBits != nullptr) *macroblockBits++ = bits;
            rowBits += bits;
        }
        frameBytes += (rowBits + 7) / 8;
    }
    return SaturatedBytes(frameBytes);
}

// The scatters write every component of every pixel inside the picture, so
// zero-filling only what lies outside it (the end of each row beyond the
// width, the rows below the height) leaves the same frame as filling all of
// it first, and writes each byte once instead of twice.
void ZeroFillOutsidePicture(const FramePlan& plan) {
    if (!plan.framesUsable) return;
    const size_t stride = static_cast<size_t>(plan.stride);
    const size_t width = static_cast<size_t>(plan.width);
    const size_t height = static_cast<size_t>(plan.height);
    if (width < stride)
        for (size_t row = 0; row < height; ++row)
            std::memset(plan.output + row * stride + width, 0, (stride - width) * sizeof(YcPixel));
    std::memset(plan.output + height * stride, 0, (plan.framePixels - height * stride) * sizeof(YcPixel));
}

// Whether the two frames share any memory. The plain order (fill the whole
// output, then read the input) then matters, and only the plain path keeps it.
bool FramesOverlap(const FramePlan& plan) {
    const uintptr_t edit = reinterpret_cast<uintptr_t>(plan.input);
    const uintptr_t temp = reinterpret_cast<uintptr_t>(plan.output);
    const uintptr_t bytes = plan.framePixels * sizeof(YcPixel);
    return edit < temp + bytes && temp < edit + bytes;
}

// The fast stages come from the kernel table and use the coder's quantiser
// tables; without a table the plain stages run.
void ChooseStages(const FilterSettings& settings, const int32_t intraMatrix[kMatrixEntries], FramePlan& plan,
                  const fast::KernelTable* kernels, fast::QuantiserTables* quantiser) {
    plan.q = QuantiserScale(settings.scaleCode, settings.nonLinearScale);
    plan.alternateScan = settings.alternateScan != 0 ? 1 : 0;
    ClampMatrix(intraMatrix, plan.weights);
    const bool interlaced = settings.interlacedDct != 0;
    if (kernels != nullptr) {
        plan.gather = kernels->gather[interlaced ? 1 : 0];
        plan.scatter = kernels->scatter[interlaced ? 1 : 0];
        fast::PrepareQuantiser(plan.weights, plan.q, *quantiser);
        plan.quantiser = quantiser;
        plan.kernels = kernels;
    } else {
        plan.gather = interlaced ? GatherMacroblockInterlaced : GatherMacroblockProgressive;
        plan.scatter = interlaced ? ScatterMacroblockInterlaced : ScatterMacroblockProgressive;
    }
}

}  // namespace

int32_t QuantiserScale(int32_t scaleCode, int32_t nonLinearScale) {
    const int32_t code = std::clamp(scaleCode, kMinScaleCode, kMaxScaleCode);
    return kQuantiserScale[(nonLinearScale != 0 ? 32 : 0) + code];
}

namespace {

template <typename Sample>
bool PlanesUsable(const Planes<Sample>& planes, int32_t width) {
    return planes.y != nullptr && planes.cb != nullptr && planes.cr != nullptr && planes.lumaStride >= width &&
           planes.chromaStride >= width / 2 + width % 2;
}

}  // namespace

int32_t MacroblockColumns(int32_t width) { return width <= 0 ? 0 : (width - 1) / 16 + 1; }
int32_t MacroblockRows(int32_t height) { return height <= 0 ? 0 : (height - 1) / 16 + 1; }

FrameCoder::FrameCoder() : FrameCoder(ActiveCpuFlags()) {}

FrameCoder::FrameCoder(uint32_t cpuFlags) : kernels_(&fast::KernelTableFor(cpuFlags)) {}

int32_t FrameCoder::CodeFrameReference(const FilterSettings& settings, const int32_t matrix[kMatrixEntries],
                                       const YcPixel* input, YcPixel* output, const FrameGeometry& geometry,
                                       const FrameOutputs& outputs) {
    FramePlan plan;
    MakeGeometrySafe(input, output, geometry, plan);
    ChooseStages(settings, matrix, plan, nullptr, nullptr);
    ConnectSink(outputs.sink, plan);
    ZeroFill(plan);
    CoderState state{buffer_, predictors_};
    return CodePicture(plan, state, outputs.macroblockBits, YcTransfer{plan}, CodeMacroblock<YcTransfer>);
}

// Frames whose sink wants the transform's coefficients keep the plain
// stages (the coefficients are only formed there); all others take the fast
// kernels.
int32_t FrameCoder::CodeFrame(const FilterSettings& settings, const int32_t matrix[kMatrixEntries],
                              const YcPixel* input, YcPixel* output, const FrameGeometry& geometry,
                              const FrameOutputs& outputs) {
    FramePlan plan;
    MakeGeometrySafe(input, output, geometry, plan);
    const bool wantsCoefficients = outputs.sink != nullptr && outputs.sink->Wants(CoefficientStage::kTransformed);
    if (wantsCoefficients || (plan.framesUsable && FramesOverlap(plan)))
        return CodeFrameReference(settings, matrix, input, output, geometry, outputs);
    ChooseStages(settings, matrix, plan, kernels_, &quantiser_);
    ConnectSink(outputs.sink, plan);
    ZeroFillOutsidePicture(plan);
    CoderState state{buffer_, predictors_};
    return CodePicture(plan, state, outputs.macroblockBits, YcTransfer{plan}, CodeMacroblockFast<YcTransfer>);
}

int32_t FrameCoder::CodePlanarFrame(const FilterSettings& settings, const int32_t matrix[kMatrixEntries],
                                    const PlanarInput& input, const PlanarOutput& output, int32_t width, int32_t height,
                                    const FrameOutputs& outputs) {
    const bool wantsCoefficients = outputs.sink != nullptr && outputs.sink->Wants(CoefficientStage::kTransformed);
    return CodePlanar(settings, matrix, input, output, width, height, outputs, wantsCoefficients ? nullptr : kernels_);
}

int32_t FrameCoder::CodePlanarFrameReference(const FilterSettings& settings, const int32_t matrix[kMatrixEntries],
                                             const PlanarInput& input, const PlanarOutput& output, int32_t width,
                                             int32_t height, const FrameOutputs& outputs) {
    return CodePlanar(settings, matrix, input, output, width, height, outputs, nullptr);
}

// Without a kernel table the plain stages run.
int32_t FrameCoder::CodePlanar(const FilterSettings& settings, const int32_t matrix[kMatrixEntries],
                               const PlanarInput& input, const PlanarOutput& output, int32_t width, int32_t height,
                               const FrameOutputs& outputs, const fast::KernelTable* kernels) {
    FramePlan plan;
    plan.width = NonNegative(width);
    plan.height = NonNegative(height);
    if (!PlanesUsable(input, plan.width) || !PlanesUsable(output, plan.width)) return 0;
    ChooseStages(settings, matrix, plan, kernels, &quantiser_);
    ConnectSink(outputs.sink, plan);
    const int dct = settings.interlacedDct != 0 ? 1 : 0;
    CoderState state{buffer_, predictors_};
    if (kernels == nullptr) {
        const PlanarTransfer transfer{plan.width,
                                      plan.height,
                                      dct != 0 ? GatherPlanarInterlaced : GatherPlanarProgressive,
                                      dct != 0 ? ScatterPlanarInterlaced : ScatterPlanarProgressive,
                                      input,
                                      output};
        return CodePicture(plan, state, outputs.macroblockBits, transfer, CodeMacroblock<PlanarTransfer>);
    }
    const PlanarTransfer transfer{plan.width, plan.height, kernels->gatherPlanar[dct], kernels->scatterPlanar[dct],
                                  input,      output};
    return CodePicture(plan, state, outputs.macroblockBits, transfer, CodeMacroblockFast<PlanarTransfer>);
}

}  // namespace vardelk
