#include "plugin/host_frame.h"

#include <cstddef>
#include <optional>
#include <type_traits>
#include <utility>

#include "media/coefficient_log_files.h"

namespace vardelk {

// The host's frames go to the coder without a copy, so its pixel must be the
// codec's pixel in all but name: the same three 16-bit fields at the same
// offsets, nothing else, plain data on both sides.
static_assert(sizeof(host::YcPixel) == sizeof(YcPixel), "pixel size");
static_assert(alignof(host::YcPixel) == alignof(YcPixel), "pixel alignment");
static_assert(std::is_standard_layout_v<host::YcPixel> && std::is_standard_layout_v<YcPixel>, "plain layouts");
static_assert(std::is_trivially_copyable_v<host::YcPixel> && std::is_trivially_copyable_v<YcPixel>, "plain data");
static_assert(std::is_same_v<decltype(host::YcPixel::y), decltype(YcPixel::y)> &&
                  std::is_same_v<decltype(host::YcPixel::cb), decltype(YcPixel::cb)> &&
                  std::is_same_v<decltype(host::YcPixel::cr), decltype(YcPixel::cr)>,
              "field types");
static_assert(offsetof(host::YcPixel, y) == offsetof(YcPixel, y) &&
                  offsetof(host::YcPixel, cb) == offsetof(YcPixel, cb) &&
                  offsetof(host::YcPixel, cr) == offsetof(YcPixel, cr),
              "field offsets");

FilterSettings SettingsFromHost(const int32_t* trackValues, const int32_t* checkValues) {
    FilterSettings settings;
    if (trackValues != nullptr) {
        settings.scaleCode = trackValues[0];
    }
    if (checkValues != nullptr) {
        settings.nonLinearScale = checkValues[0];
        settings.alternateScan = checkValues[1];
        settings.interlacedDct = checkValues[2];
        settings.logOutput = checkValues[3];
    }
    return settings;
}

namespace {

// The host's frame as the coder's, in the same memory (proven identical above).
YcPixel* CodecPixels(host::YcPixel* pixels) { return reinterpret_cast<YcPixel*>(pixels); }

FrameGeometry GeometryOf(const host::FrameProcInfo& frame) {
    return FrameGeometry{frame.width, frame.height, frame.maxWidth, frame.maxHeight};
}

int32_t Code(FrameCoder& coder, const FilterSettings& settings, const int32_t matrix[kMatrixEntries],
             host::FrameProcInfo& frame, const LogFileNames& logNames, int32_t* macroblockBits) {
    const FrameGeometry geometry = GeometryOf(frame);
    const YcPixel* input = CodecPixels(frame.editFrame);
    YcPixel* output = CodecPixels(frame.tempFrame);
    const bool usable = FramesUsable(input, output, geometry);
    FrameOutputs outputs;
    outputs.macroblockBits = macroblockBits;
    // The files live for this one frame: opened (and so emptied) before the
    // first macroblock, closed after the pointers are exchanged.
    std::optional<CoefficientLogFiles> logs;
    if (settings.logOutput != 0) outputs.sink = &logs.emplace(logNames.coefficients, logNames.levels);
    const int32_t bytes = coder.CodeFrame(settings, matrix, input, output, geometry, outputs);
    if (usable) std::swap(frame.editFrame, frame.tempFrame);
    return bytes;
}

}  // namespace

int32_t CodeHostFrame(FrameCoder& coder, const FilterSettings& settings, const int32_t matrix[kMatrixEntries],
                      host::FrameProcInfo& frame, const LogFileNames& logNames, int32_t* macroblockBits) {
    return Code(coder, settings, matrix, frame, logNames, macroblockBits);
}

}  // namespace vardelk
