// The per-frame walk: every macroblock of the picture through gather,
// forward DCT, quantisation, bit-cost estimate, dequantisation, inverse DCT
// and scatter, with the coefficients handed to the caller's sink.
#include "codec/frame_coder.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#include "codec/cpu.h"
#include "codec/kernels/kernel_table.h"
#include "codec/macroblock_edges.h"
#include "codec/planar.h"

namespace vardelk {
namespace {

using GatherFunction = void (*)(const Pixel*, MacroblockBuffer&, int32_t, int32_t, int32_t);
using ScatterFunction = void (*)(const MacroblockBuffer&, Pixel*, int32_t, int32_t, int32_t);

// Everything a frame needs, fixed for its duration.
struct FramePlan {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    bool framesUsable = false;  // both frames present and addressable
    size_t framePixels = 0;     // stride x rows
    GatherFunction gather = nullptr;
    ScatterFunction scatter = nullptr;
    bool fieldDct = false;
    bool extendEdges = false;  // partial macroblocks repeat the picture's edge (CodingModel::ExtendsEdges)
    const Pixel* input = nullptr;
    Pixel* output = nullptr;
    CoefficientSink* transformedSink = nullptr;  // the sink, when it wants that stage
    CoefficientSink* quantisedSink = nullptr;
};

// The working state of the frame in flight.
struct CoderState {
    MacroblockBuffer& buffer;
    MacroblockPipeline& pipeline;
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
    kernels::PlanarGatherFunction gather;
    kernels::PlanarScatterFunction scatter;
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
bool FramesUsable(const Pixel* input, const Pixel* output, const FrameGeometry& geometry) {
    const uint64_t pixels = uint64_t{static_cast<uint32_t>(std::max(geometry.stride, 0))} *
                            static_cast<uint32_t>(std::max(geometry.rows, 0));
    return input != nullptr && output != nullptr && pixels <= std::numeric_limits<size_t>::max() / sizeof(Pixel);
}

namespace {

int32_t NonNegative(int32_t v) { return v < 0 ? 0 : v; }

// The picture size actually processed: never beyond the frames, never
// negative, and empty when a frame is missing or too large to address.
void MakeGeometrySafe(const Pixel* input, Pixel* output, const FrameGeometry& geometry, FramePlan& plan) {
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
    if (plan.framesUsable) std::memset(plan.output, 0, plan.framePixels * sizeof(Pixel));
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

// The chroma samples the gathers fill: whole 2x2 squares in progressive
// layout; in field layout every column with a pixel inside and the rows of
// every field line group begun.
void ExtendEdges(const FramePlan& plan, MacroblockBuffer& buffer, int32_t x, int32_t y) {
    const int32_t w = std::min(plan.width - x, int32_t{16}), h = std::min(plan.height - y, int32_t{16});
    const int32_t chromaWidth = plan.fieldDct ? (w + 1) / 2 : w / 2;
    const int32_t chromaHeight = plan.fieldDct ? std::min(int32_t{8}, 2 * ((h + 3) / 4)) : h / 2;
    ExtendPartialMacroblock(buffer, w, h, plan.fieldDct, chromaWidth, chromaHeight);
}

// One macroblock through the whole codec; returns its bits. A whole
// macroblock's gather writes all 384 values, so only partial ones need the
// buffer cleared first.
template <typename Transfer>
int32_t CodeMacroblock(const FramePlan& plan, CoderState& state, const Transfer& transfer, int32_t x, int32_t y) {
    MacroblockBuffer& buffer = state.buffer;
    const bool partial = plan.width - x < 16 || plan.height - y < 16;
    if (partial) std::memset(buffer.value, 0, sizeof buffer.value);
    transfer.Gather(buffer, x, y);
    if (partial && plan.extendEdges) ExtendEdges(plan, buffer, x, y);
    state.pipeline.Transform(buffer);
    if (plan.transformedSink != nullptr) plan.transformedSink->Take(CoefficientStage::kTransformed, x, y, buffer);
    const int32_t bits = state.pipeline.Code(buffer, plan.quantisedSink, x, y);
    transfer.Scatter(buffer, x, y);
    return bits;
}

// Walks the picture in macroblock rows; each row's bits are rounded up to
// whole bytes on their own.
template <typename Transfer>
int32_t CodePicture(const FramePlan& plan, CoderState& state, int32_t* macroblockBits, const Transfer& transfer) {
    int64_t frameBytes = 0;
    // 64-bit positions: stepping past a height near the 32-bit limit cannot overflow.
    for (int64_t y = 0; y < plan.height; y += 16) {
        state.pipeline.StartRow();
        int64_t rowBits = 0;
        for (int64_t x = 0; x < plan.width; x += 16) {
            const int32_t bits =
                CodeMacroblock(plan, state, transfer, static_cast<int32_t>(x), static_cast<int32_t>(y));
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
            std::memset(plan.output + row * stride + width, 0, (stride - width) * sizeof(Pixel));
    std::memset(plan.output + height * stride, 0, (plan.framePixels - height * stride) * sizeof(Pixel));
}

// Whether the two frames share any memory. The plain order (fill the whole
// output, then read the input) then matters, and only the plain path keeps it.
bool FramesOverlap(const FramePlan& plan) {
    const uintptr_t edit = reinterpret_cast<uintptr_t>(plan.input);
    const uintptr_t temp = reinterpret_cast<uintptr_t>(plan.output);
    const uintptr_t bytes = plan.framePixels * sizeof(Pixel);
    return edit < temp + bytes && temp < edit + bytes;
}

// The frame's kernels, its pipeline and the gather and scatter of its DCT layout.
void ChooseStages(const CodingSettings& settings, const int32_t intraMatrix[kMatrixEntries], FramePlan& plan,
                  const kernels::KernelTable& kernels, MacroblockPipeline& pipeline) {
    const int dct = settings.interlacedDct != 0 ? 1 : 0;
    plan.gather = kernels.gather[dct];
    plan.scatter = kernels.scatter[dct];
    plan.fieldDct = dct != 0;
    pipeline.Prepare(settings, intraMatrix, kernels);
    plan.extendEdges = pipeline.Model().ExtendsEdges();
}

}  // namespace

namespace {

template <typename Sample>
bool PlanesUsable(const Planes<Sample>& planes, int32_t width) {
    return planes.y != nullptr && planes.cb != nullptr && planes.cr != nullptr && planes.lumaStride >= width &&
           planes.chromaStride >= width / 2 + width % 2;
}

}  // namespace

int32_t MacroblockColumns(int32_t width) { return width <= 0 ? 0 : (width - 1) / 16 + 1; }
int32_t MacroblockRows(int32_t height) { return height <= 0 ? 0 : (height - 1) / 16 + 1; }

FrameCoder::FrameCoder() : FrameCoder(DetectedCpuFlags()) {}

FrameCoder::FrameCoder(uint32_t cpuFlags) : kernels_(&kernels::KernelTableFor(cpuFlags)) {}

namespace {

const kernels::KernelTable& PlainKernels() { return kernels::KernelTableFor(0); }

}  // namespace

// The plain order: the whole output is zero-filled before the input is read,
// which is what frames that share memory need.
int32_t FrameCoder::CodeFrameReference(const CodingSettings& settings, const int32_t matrix[kMatrixEntries],
                                       const Pixel* input, Pixel* output, const FrameGeometry& geometry,
                                       const FrameOutputs& outputs) {
    FramePlan plan;
    MakeGeometrySafe(input, output, geometry, plan);
    ChooseStages(settings, matrix, plan, PlainKernels(), pipeline_);
    ConnectSink(outputs.sink, plan);
    ZeroFill(plan);
    CoderState state{buffer_, pipeline_};
    return CodePicture(plan, state, outputs.macroblockBits, YcTransfer{plan});
}

int32_t FrameCoder::CodeFrame(const CodingSettings& settings, const int32_t matrix[kMatrixEntries], const Pixel* input,
                              Pixel* output, const FrameGeometry& geometry, const FrameOutputs& outputs) {
    FramePlan plan;
    MakeGeometrySafe(input, output, geometry, plan);
    ChooseStages(settings, matrix, plan, *kernels_, pipeline_);
    ConnectSink(outputs.sink, plan);
    if (plan.framesUsable && FramesOverlap(plan))
        ZeroFill(plan);
    else
        ZeroFillOutsidePicture(plan);
    CoderState state{buffer_, pipeline_};
    return CodePicture(plan, state, outputs.macroblockBits, YcTransfer{plan});
}

int32_t FrameCoder::CodePlanarFrame(const CodingSettings& settings, const int32_t matrix[kMatrixEntries],
                                    const PlanarInput& input, const PlanarOutput& output, int32_t width, int32_t height,
                                    const FrameOutputs& outputs) {
    return CodePlanar(settings, matrix, input, output, width, height, outputs, *kernels_);
}

int32_t FrameCoder::CodePlanarFrameReference(const CodingSettings& settings, const int32_t matrix[kMatrixEntries],
                                             const PlanarInput& input, const PlanarOutput& output, int32_t width,
                                             int32_t height, const FrameOutputs& outputs) {
    return CodePlanar(settings, matrix, input, output, width, height, outputs, PlainKernels());
}

int32_t FrameCoder::CodePlanar(const CodingSettings& settings, const int32_t matrix[kMatrixEntries],
                               const PlanarInput& input, const PlanarOutput& output, int32_t width, int32_t height,
                               const FrameOutputs& outputs, const kernels::KernelTable& kernels) {
    FramePlan plan;
    plan.width = NonNegative(width);
    plan.height = NonNegative(height);
    if (!PlanesUsable(input, plan.width) || !PlanesUsable(output, plan.width)) return 0;
    ChooseStages(settings, matrix, plan, kernels, pipeline_);
    ConnectSink(outputs.sink, plan);
    const int dct = settings.interlacedDct != 0 ? 1 : 0;
    CoderState state{buffer_, pipeline_};
    const PlanarTransfer transfer{plan.width, plan.height, kernels.gatherPlanar[dct], kernels.scatterPlanar[dct],
                                  input,      output};
    return CodePicture(plan, state, outputs.macroblockBits, transfer);
}

}  // namespace vardelk
