#include "codec/frame_driver.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>

#include "codec/bit_cost.h"
#include "codec/coefficient_log.h"
#include "codec/fast/fast_kernels.h"
#include "codec/forward_dct.h"
#include "codec/inverse_dct.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/quantise.h"

namespace vardelk {
namespace {

// quantiser_scale for q_scale_type 0 (entries 0..31) and 1 (32..63),
// indexed by non-linear flag x 32 + scale code.
constexpr int32_t kQuantiserScale[64] = {
    0, 2,  4,  6,  8,  10, 12, 14, 16, 18, 20, 22, 24, 26, 28,  30,  32,  34,  36, 38, 40, 42,
    44, 46, 48, 50, 52, 54, 56, 58, 60, 62,  //
    0, 1,  2,  3,  4,  5,  6,  7,  8,  10, 12, 14, 16, 18, 20,  22,  24,  28,  32, 36, 40, 44,
    48, 52, 56, 64, 72, 80, 88, 96, 104, 112,
};

using GatherFunction = void (*)(const YcPixel*, MacroblockBuffer&, int32_t, int32_t, int32_t);
using ScatterFunction = void (*)(const MacroblockBuffer&, YcPixel*, int32_t, int32_t, int32_t);

// Everything a frame needs, fixed for its duration.
struct FramePlan {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    bool framesUsable = false;  // both frames present and addressable
    size_t framePixels = 0;     // maxWidth x maxHeight
    int32_t q = 0;
    int32_t alternateScan = 0;
    GatherFunction gather = nullptr;
    ScatterFunction scatter = nullptr;
    int32_t weights[kMatrixEntries] = {};
    fast::QuantiserTables quantiser = {};
    fast::BlockTransform forwardDct = nullptr;
    fast::BlockTransform inverseDct = nullptr;
    fast::QuantiseFunction quantise = nullptr;
    fast::DequantiseFunction dequantise = nullptr;
    std::FILE* coefficientLog = nullptr;
    std::FILE* levelLog = nullptr;
};

// The working state of the one frame in flight: no allocation per frame.
MacroblockBuffer g_buffer;
DcPredictors g_predictors;

int32_t NonNegative(int32_t v) { return v < 0 ? 0 : v; }

// The picture size actually processed: never beyond the frames, never
// negative, and empty when a frame is missing or too large to address.
void MakeGeometrySafe(const FrameProcInfo& frame, FramePlan& plan) {
    const int32_t maxWidth = NonNegative(frame.maxWidth);
    const int32_t maxHeight = NonNegative(frame.maxHeight);
    const bool framesPresent = frame.editFrame != nullptr && frame.tempFrame != nullptr;
    const bool addressable =
        uint64_t{static_cast<uint32_t>(maxWidth)} * static_cast<uint32_t>(maxHeight) * sizeof(YcPixel) <=
        std::numeric_limits<size_t>::max();
    if (!framesPresent || !addressable) return;
    plan.framesUsable = true;
    plan.framePixels = static_cast<size_t>(maxWidth) * static_cast<size_t>(maxHeight);
    plan.width = std::min(NonNegative(frame.width), maxWidth);
    plan.height = std::min(NonNegative(frame.height), maxHeight);
    plan.stride = maxWidth;
}

void ZeroFill(const FramePlan& plan, const FrameProcInfo& frame) {
    if (plan.framesUsable) std::memset(frame.tempFrame, 0, plan.framePixels * sizeof(YcPixel));
}

// Bytes beyond what a signed 32-bit count holds (only for pictures far
// larger than any host frame) are reported as the largest count.
int32_t SaturatedBytes(int64_t bytes) {
    return static_cast<int32_t>(std::min<int64_t>(bytes, std::numeric_limits<int32_t>::max()));
}

void OpenLogs(const FilterSettings& settings, const LogFileNames& names, FramePlan& plan) {
    if (settings.logOutput == 0) return;
    plan.coefficientLog = std::fopen(names.coefficients, "w");
    plan.levelLog = std::fopen(names.levels, "w");
}

void CloseLogs(FramePlan& plan) {
    if (plan.coefficientLog != nullptr) std::fclose(plan.coefficientLog);
    if (plan.levelLog != nullptr) std::fclose(plan.levelLog);
}

// One macroblock through the whole codec; returns its bits.
int32_t CodeMacroblock(const FramePlan& plan, const YcPixel* source, YcPixel* destination, int32_t x, int32_t y) {
    const int32_t remainingWidth = plan.width - x;
    const int32_t remainingHeight = plan.height - y;
    std::memset(g_buffer.value, 0, sizeof g_buffer.value);
    plan.gather(source, g_buffer, remainingWidth, remainingHeight, plan.stride);
    for (int b = 0; b < kBlocksPerMacroblock; ++b) ForwardDct(g_buffer.Block(b));
    if (plan.coefficientLog != nullptr) WriteCoefficientLog(plan.coefficientLog, g_buffer, x, y);
    QuantiseMacroblock(g_buffer, plan.weights, plan.q);
    if (plan.levelLog != nullptr) WriteCoefficientLog(plan.levelLog, g_buffer, x, y);
    const int32_t bits = EstimateMacroblockBits(g_buffer, plan.alternateScan, g_predictors);
    DequantiseMacroblock(g_buffer, plan.weights, plan.q);
    for (int b = 0; b < kBlocksPerMacroblock; ++b) InverseDct(g_buffer.Block(b));
    plan.scatter(g_buffer, destination, remainingWidth, remainingHeight, plan.stride);
    return bits;
}

// The same macroblock through the fast kernels, without logs. A whole
// macroblock's gather writes all 384 values, so only partial ones need the
// buffer cleared first. The quantiser's non-zero masks feed the bit count
// and single out blocks without AC levels, whose reconstruction needs
// neither dequantisation nor transform.
int32_t CodeMacroblockFast(const FramePlan& plan, const YcPixel* source, YcPixel* destination, int32_t x,
                           int32_t y) {
    const int32_t remainingWidth = plan.width - x;
    const int32_t remainingHeight = plan.height - y;
    if (remainingWidth < 16 || remainingHeight < 16) std::memset(g_buffer.value, 0, sizeof g_buffer.value);
    plan.gather(source, g_buffer, remainingWidth, remainingHeight, plan.stride);
    uint64_t nonZero[kBlocksPerMacroblock];
    for (int b = 0; b < kBlocksPerMacroblock; ++b) {
        plan.forwardDct(g_buffer.Block(b));
        nonZero[b] = plan.quantise(g_buffer.Block(b), plan.quantiser);
    }
    const int32_t bits = fast::EstimateMacroblockBits(g_buffer, nonZero, plan.alternateScan, g_predictors);
    for (int b = 0; b < kBlocksPerMacroblock; ++b) {
        if ((nonZero[b] >> 1) == 0) {
            fast::ReconstructFlatBlock(g_buffer.Block(b));
            continue;
        }
        plan.dequantise(g_buffer.Block(b), plan.quantiser);
        plan.inverseDct(g_buffer.Block(b));
    }
    plan.scatter(g_buffer, destination, remainingWidth, remainingHeight, plan.stride);
    return bits;
}

using MacroblockCoder = int32_t (*)(const FramePlan&, const YcPixel*, YcPixel*, int32_t, int32_t);

// Walks the picture in macroblock rows; each row's bits are rounded up to
// whole bytes on their own.
int32_t CodePicture(const FramePlan& plan, const FrameProcInfo& frame, int32_t* macroblockBits,
                    MacroblockCoder codeMacroblock) {
    int64_t frameBytes = 0;
    // 64-bit positions: stepping past a height near the 32-bit limit cannot overflow.
    for (int64_t y = 0; y < plan.height; y += 16) {
        ResetDcPredictors(g_predictors);
        int64_t rowBits = 0;
        for (int64_t x = 0; x < plan.width; x += 16) {
            const ptrdiff_t offset = static_cast<ptrdiff_t>(y * plan.stride + x);
            const int32_t bits = codeMacroblock(plan, frame.editFrame + offset, frame.tempFrame + offset,
                                                static_cast<int32_t>(x), static_cast<int32_t>(y));
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
void ZeroFillOutsidePicture(const FramePlan& plan, const FrameProcInfo& frame) {
    if (!plan.framesUsable) return;
    const size_t stride = static_cast<size_t>(plan.stride);
    const size_t width = static_cast<size_t>(plan.width);
    const size_t height = static_cast<size_t>(plan.height);
    if (width < stride)
        for (size_t row = 0; row < height; ++row)
            std::memset(frame.tempFrame + row * stride + width, 0, (stride - width) * sizeof(YcPixel));
    std::memset(frame.tempFrame + height * stride, 0, (plan.framePixels - height * stride) * sizeof(YcPixel));
}

// Whether the two frames share any memory. The plain order (fill the whole
// output, then read the input) then matters, and only the plain path keeps it.
bool FramesOverlap(const FramePlan& plan, const FrameProcInfo& frame) {
    const uintptr_t edit = reinterpret_cast<uintptr_t>(frame.editFrame);
    const uintptr_t temp = reinterpret_cast<uintptr_t>(frame.tempFrame);
    const uintptr_t bytes = plan.framePixels * sizeof(YcPixel);
    return edit < temp + bytes && temp < edit + bytes;
}

void ChooseStages(const FilterSettings& settings, const int32_t intraMatrix[kMatrixEntries], FramePlan& plan,
                  bool fastStages) {
    plan.q = QuantiserScale(settings.scaleCode, settings.nonLinearScale);
    plan.alternateScan = settings.alternateScan != 0 ? 1 : 0;
    ClampMatrix(intraMatrix, plan.weights);
    const bool interlaced = settings.interlacedDct != 0;
    if (fastStages) {
        plan.gather = interlaced ? fast::GatherMacroblockInterlaced : fast::GatherMacroblockProgressive;
        plan.scatter = interlaced ? fast::ScatterMacroblockInterlaced : fast::ScatterMacroblockProgressive;
        fast::PrepareQuantiser(plan.weights, plan.q, plan.quantiser);
        plan.forwardDct = fast::ForwardDctFunction();
        plan.inverseDct = fast::InverseDctFunction();
        plan.quantise = fast::QuantiseBlockFunction();
        plan.dequantise = fast::DequantiseBlockFunction();
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

int32_t MacroblockColumns(int32_t width) { return width <= 0 ? 0 : (width - 1) / 16 + 1; }
int32_t MacroblockRows(int32_t height) { return height <= 0 ? 0 : (height - 1) / 16 + 1; }

int32_t SimulateFrameReference(const FilterSettings& settings, const int32_t intraMatrix[kMatrixEntries],
                               FrameProcInfo& frame, const LogFileNames& logNames, int32_t* macroblockBits) {
    FramePlan plan;
    MakeGeometrySafe(frame, plan);
    ChooseStages(settings, intraMatrix, plan, false);
    OpenLogs(settings, logNames, plan);
    ZeroFill(plan, frame);
    const int32_t frameBytes = CodePicture(plan, frame, macroblockBits, CodeMacroblock);
    if (plan.framesUsable) std::swap(frame.editFrame, frame.tempFrame);
    CloseLogs(plan);
    return frameBytes;
}

// Frames with logs keep the plain stages (the logs need every intermediate
// and the file output dominates anyway); all others take the fast kernels.
int32_t SimulateFrame(const FilterSettings& settings, const int32_t intraMatrix[kMatrixEntries],
                      FrameProcInfo& frame, const LogFileNames& logNames, int32_t* macroblockBits) {
    FramePlan plan;
    MakeGeometrySafe(frame, plan);
    if (settings.logOutput != 0 || (plan.framesUsable && FramesOverlap(plan, frame)))
        return SimulateFrameReference(settings, intraMatrix, frame, logNames, macroblockBits);
    ChooseStages(settings, intraMatrix, plan, true);
    ZeroFillOutsidePicture(plan, frame);
    const int32_t frameBytes = CodePicture(plan, frame, macroblockBits, CodeMacroblockFast);
    if (plan.framesUsable) std::swap(frame.editFrame, frame.tempFrame);
    return frameBytes;
}

}  // namespace vardelk
