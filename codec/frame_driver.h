// The per-frame walk: every macroblock of the picture through gather,
// forward DCT, quantisation, bit-cost estimate, dequantisation, inverse DCT
// and scatter, with the optional coefficient logs.
#pragma once

#include <cstdint>

#include "codec/frame_coder.h"
#include "codec/types.h"

namespace vardelk {

// Names of the two log files, relative to the current directory unless the
// caller gives other paths.
struct LogFileNames {
    const char* coefficients = "dct.txt";
    const char* levels = "qdct.txt";
};

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

}  // namespace vardelk
