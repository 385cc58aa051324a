// Writes the frame coder's quantised levels as intra pictures of a video
// elementary stream, and accounts for every bit by which a picture differs
// from the coder's size estimate.
//
// The writer is a coefficient sink: it takes only the quantised levels, so
// the coder keeps its fast kernels. After the coder has finished a frame,
// FinishFrame() appends the frame's headers and slices to the stream bytes;
// FinishStream() appends the end code.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/frame_coder.h"
#include "stream/stream_headers.h"

namespace vardelk {

// One frame's bytes in the stream against the coder's estimate. The terms,
// in bits, add up exactly to 8 x (streamBytes - estimatedBytes):
struct FrameAccounting {
    int64_t estimatedBytes = 0;
    int64_t streamBytes = 0;
    int64_t headerBits = 0;       // sequence header and extension, group, picture header and extension, end code
    int64_t sliceHeaderBits = 0;  // start code, scale code and extra bit of every slice
    int64_t macroblockBits = 0;   // address increment, macroblock type and DCT type of every macroblock
    int64_t endOfBlockBits = 0;   // end-of-block codes the estimate leaves out (blocks ending in a non-zero level)
    int64_t dcResetBits = 0;      // filter DC: first luma DC of each slice against 1024 instead of the estimate's 0
    int64_t paddingRowBits = 0;   // slices of macroblock rows below the picture that an interlaced height needs
    int64_t clippingBits = 0;     // DC codes changed by clipping a DC level into the stream's range
    int64_t alignmentBits = 0;    // stuffing before each start code less the estimate's rounding of each row to bytes
    int64_t clippedLevels = 0;    // levels the stream could not carry (not a bit term)

    int64_t TermBits() const {
        return headerBits + sliceHeaderBits + macroblockBits + endOfBlockBits + dcResetBits + paddingRowBits +
               clippingBits + alignmentBits;
    }
};

class StreamWriter final : public CoefficientSink {
public:
    // Throws StreamError before anything is written when the matrix or the
    // size cannot be carried.
    StreamWriter(const StreamFormat& format, const CodingSettings& settings, const int32_t matrix[kMatrixEntries]);

    bool Wants(CoefficientStage stage) const override { return stage == CoefficientStage::kQuantised; }
    void Take(CoefficientStage stage, int32_t x, int32_t y, const MacroblockBuffer& buffer) override;

    // Appends the frame whose levels were taken since the last call.
    // estimatedBytes is what the coder returned for it; a frame with
    // macroblocks missing, or an estimate that does not match the levels,
    // throws std::logic_error (Take() throws std::invalid_argument for a
    // macroblock outside the picture).
    FrameAccounting FinishFrame(int32_t estimatedBytes, std::vector<uint8_t>& out);
    // Appends the sequence end code; its bits are the row's headerBits.
    FrameAccounting FinishStream(std::vector<uint8_t>& out);

private:
    StreamLayout layout_;
    std::vector<int32_t> levels_;  // macroblocks row-major, kMacroblockValues each
    std::vector<uint8_t> taken_;   // per macroblock: levels arrived for this frame
    int64_t frames_ = 0;
};

}  // namespace vardelk
