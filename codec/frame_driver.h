// The per-frame walk: every macroblock of the picture through gather,
// forward DCT, quantisation, bit-cost estimate, dequantisation, inverse DCT
// and scatter, with the optional coefficient logs.
#pragma once

#include <cstdint>

#include "codec/types.h"

namespace vardelk {

constexpr int32_t kMinScaleCode = 1;
constexpr int32_t kMaxScaleCode = 31;

// Names of the two log files, relative to the current directory unless the
// caller gives other paths.
struct LogFileNames {
    const char* coefficients = "dct.txt";
    const char* levels = "qdct.txt";
};

// Quantiser scale for a scale code (clamped into 1..31) in the linear or, for
// any non-zero flag, the non-linear mapping.
int32_t QuantiserScale(int32_t scaleCode, int32_t nonLinearScale);

// Processes one frame exactly as the filter does: zero-fills tempFrame,
// reconstructs every macroblock of editFrame into it, exchanges the two
// pointers, writes the logs when asked, and returns the estimated bytes.
//
// Geometry is made safe before use: a width or height above maxWidth or
// maxHeight is taken as equal to it, a negative one as 0, and a null frame
// pointer makes the frame empty (nothing filled, nothing exchanged). The
// matrix entries are read clamped to 1..4095; the matrix is not written.
//
// When macroblockBits is not null it receives the estimated bits of every
// macroblock, row-major, MacroblockColumns(width) x MacroblockRows(height)
// entries for the picture size as made safe above.
int32_t SimulateFrame(const FilterSettings& settings,
                      const int32_t intraMatrix[kMatrixEntries],
                      FrameProcInfo& frame,
                      const LogFileNames& logNames = LogFileNames{},
                      int32_t* macroblockBits = nullptr);

// The same frame through the plain stages only, kept as the reference that
// the fast kernels are tested and timed against. SimulateFrame gives
// exactly its frame, bytes and macroblock bits.
int32_t SimulateFrameReference(const FilterSettings& settings,
                               const int32_t intraMatrix[kMatrixEntries],
                               FrameProcInfo& frame,
                               const LogFileNames& logNames = LogFileNames{},
                               int32_t* macroblockBits = nullptr);

// Macroblocks across and down a picture of the given size (0 for sizes <= 0).
int32_t MacroblockColumns(int32_t width);
int32_t MacroblockRows(int32_t height);

}  // namespace vardelk
