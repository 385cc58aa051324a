#include "plugin/host_frame.h"

#include <optional>
#include <utility>

#include "media/coefficient_log_files.h"

namespace vardelk {
namespace {

FrameGeometry GeometryOf(const FrameProcInfo& frame) {
    return FrameGeometry{frame.width, frame.height, frame.maxWidth, frame.maxHeight};
}

int32_t Code(FrameCoder& coder, const FilterSettings& settings, const int32_t matrix[kMatrixEntries],
             FrameProcInfo& frame, const LogFileNames& logNames, int32_t* macroblockBits, bool reference) {
    const FrameGeometry geometry = GeometryOf(frame);
    const bool usable = FramesUsable(frame.editFrame, frame.tempFrame, geometry);
    FrameOutputs outputs;
    outputs.macroblockBits = macroblockBits;
    // The files live for this one frame: opened (and so emptied) before the
    // first macroblock, closed after the pointers are exchanged.
    std::optional<CoefficientLogFiles> logs;
    if (settings.logOutput != 0) outputs.sink = &logs.emplace(logNames.coefficients, logNames.levels);
    const int32_t bytes =
        reference ? coder.CodeFrameReference(settings, matrix, frame.editFrame, frame.tempFrame, geometry, outputs)
                  : coder.CodeFrame(settings, matrix, frame.editFrame, frame.tempFrame, geometry, outputs);
    if (usable) std::swap(frame.editFrame, frame.tempFrame);
    return bytes;
}

}  // namespace

int32_t CodeHostFrame(FrameCoder& coder, const FilterSettings& settings, const int32_t matrix[kMatrixEntries],
                      FrameProcInfo& frame, const LogFileNames& logNames, int32_t* macroblockBits) {
    return Code(coder, settings, matrix, frame, logNames, macroblockBits, false);
}

int32_t CodeHostFrameReference(FrameCoder& coder, const FilterSettings& settings, const int32_t matrix[kMatrixEntries],
                               FrameProcInfo& frame, const LogFileNames& logNames, int32_t* macroblockBits) {
    return Code(coder, settings, matrix, frame, logNames, macroblockBits, true);
}

}  // namespace vardelk
