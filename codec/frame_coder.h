// The frame coder: one frame at a time through the simulated intra codec,
// every macroblock gathered from the frame, through the macroblock pipeline
// (codec/macroblock_pipeline.h) with the settings' coding model, and
// scattered back. All working state of a frame in flight (macroblock
// buffer, DC predictors, prepared quantiser tables, the chosen kernels)
// lives in the coder, so any number of coders may run at once, one per
// thread.
#pragma once

#include <cstdint>

#include "codec/macroblock_pipeline.h"
#include "codec/planar.h"
#include "codec/types.h"

namespace vardelk {

namespace kernels {
struct KernelTable;
}  // namespace kernels

// Where a frame's pixels lie. The picture is the top-left width x height of
// two frames (input and output) whose rows are `stride` pixels apart; the
// output frame has `rows` rows, all of which the coder writes: the
// reconstruction inside the picture, zero everywhere else.
//
// Macroblock rows are independent (the DC predictors reset and the bits are
// rounded to bytes at the start of each row), so a band of whole macroblock
// rows coded as a picture of its own gives exactly that band's pixels,
// bytes and macroblock bits.
struct FrameGeometry {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    int32_t rows = 0;
};

// Optional results beside the reconstruction and the byte count.
struct FrameOutputs {
    // Estimated bits of every macroblock, row-major,
    // MacroblockColumns(width) x MacroblockRows(height) entries.
    int32_t* macroblockBits = nullptr;
    CoefficientSink* sink = nullptr;
};

// Macroblocks across and down a picture of the given size (0 for sizes <= 0).
int32_t MacroblockColumns(int32_t width);
int32_t MacroblockRows(int32_t height);

// Whether CodeFrame works on these frames at all: both present and small
// enough to address. When not, the frame is empty: nothing is written.
bool FramesUsable(const Pixel* input, const Pixel* output, const FrameGeometry& geometry);

constexpr int32_t kMinScaleCode = 1;
constexpr int32_t kMaxScaleCode = 31;

class FrameCoder {
public:
    // The kernels of every build this CPU runs.
    FrameCoder();
    // The kernels of the given CpuFlag bits (those the CPU lacks must not be
    // given): for a face that caps the builds, and for the tests and
    // benchmarks that compare them.
    explicit FrameCoder(uint32_t cpuFlags);
    FrameCoder(const FrameCoder&) = delete;
    FrameCoder& operator=(const FrameCoder&) = delete;

    // Codes the picture of `input` into `output` and returns the estimated
    // bytes. Settings: the scale code is clamped into 1..31 and the coding
    // model is made safe (SafeModel). The matrix entries are
    // read clamped to 1..4095.
    //
    // Geometry is made safe before use: negative sizes count as 0, a width
    // above the stride or a height above the rows is taken as equal to it,
    // and a null frame makes the frame empty (nothing written, 0 bytes).
    // Input and output may be the same or overlapping memory; the result is
    // then that of zero-filling the output first and reading the input after.
    int32_t CodeFrame(const CodingSettings& settings, const int32_t matrix[kMatrixEntries], const Pixel* input,
                      Pixel* output, const FrameGeometry& geometry, const FrameOutputs& outputs = {});

    // The same frame through the plain kernel table: the reference the
    // others are proven against. Gives exactly CodeFrame's pixels and bytes.
    int32_t CodeFrameReference(const CodingSettings& settings, const int32_t matrix[kMatrixEntries], const Pixel* input,
                               Pixel* output, const FrameGeometry& geometry, const FrameOutputs& outputs = {});

    // The same coding for a width x height picture given as 8-bit 4:2:0
    // planes (codec/planar.h), written to 8-bit planes: the bytes, the
    // macroblock bits and the sink's buffers of CodeFrame, and exactly the
    // planes YcToY4m makes of CodeFrame's output frame when the input frame
    // was made from the input planes. Only the picture is written.
    //
    // Negative sizes count as 0. Missing planes, or pitches below the
    // planes' widths (width, and half of it rounded up for chroma), make the
    // frame empty: nothing written, 0 bytes. The output planes may be the
    // input planes themselves (coding in place: every macroblock reads its
    // pixels before it writes them); otherwise they must not overlap them.
    int32_t CodePlanarFrame(const CodingSettings& settings, const int32_t matrix[kMatrixEntries],
                            const PlanarInput& input, const PlanarOutput& output, int32_t width, int32_t height,
                            const FrameOutputs& outputs = {});
    // The same through the plain kernels only.
    int32_t CodePlanarFrameReference(const CodingSettings& settings, const int32_t matrix[kMatrixEntries],
                                     const PlanarInput& input, const PlanarOutput& output, int32_t width,
                                     int32_t height, const FrameOutputs& outputs = {});

private:
    int32_t CodePlanar(const CodingSettings& settings, const int32_t matrix[kMatrixEntries], const PlanarInput& input,
                       const PlanarOutput& output, int32_t width, int32_t height, const FrameOutputs& outputs,
                       const kernels::KernelTable& kernels);

    MacroblockBuffer buffer_;
    MacroblockPipeline pipeline_;  // prepared per frame
    const kernels::KernelTable* kernels_;
};

}  // namespace vardelk
