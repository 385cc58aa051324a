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
static_assert(sizeof(host::YcPixel) == sizeof(Pixel), "pixel size");
static_assert(alignof(host::YcPixel) == alignof(Pixel), "pixel alignment");
static_assert(std::is_standard_layout_v<host::YcPixel> && std::is_standard_layout_v<Pixel>, "plain layouts");
static_assert(std::is_trivially_copyable_v<host::YcPixel> && std::is_trivially_copyable_v<Pixel>, "plain data");
static_assert(std::is_same_v<decltype(host::YcPixel::y), decltype(Pixel::y)> &&
                  std::is_same_v<decltype(host::YcPixel::cb), decltype(Pixel::cb)> &&
                  std::is_same_v<decltype(host::YcPixel::cr), decltype(Pixel::cr)>,
              "field types");
static_assert(offsetof(host::YcPixel, y) == offsetof(Pixel, y) && offsetof(host::YcPixel, cb) == offsetof(Pixel, cb) &&
                  offsetof(host::YcPixel, cr) == offsetof(Pixel, cr),
              "field offsets");

ModuleSettings SettingsFromHost(const int32_t* trackValues, const int32_t* checkValues) {
    ModuleSettings settings;
    if (trackValues != nullptr) {
        settings.coding.scaleCode = trackValues[0];
    }
    if (checkValues != nullptr) {
        settings.coding.nonLinearScale = checkValues[0] != 0;
        settings.coding.alternateScan = checkValues[1] != 0;
        settings.coding.interlacedDct = checkValues[2] != 0;
        settings.logOutput = checkValues[3] != 0;
    }
    return settings;
}

namespace {

// The host's frame as the coder's, in the same memory (proven identical above).
Pixel* CodecPixels(host::YcPixel* pixels) { return reinterpret_cast<Pixel*>(pixels); }

FrameGeometry GeometryOf(const host::FrameProcInfo& frame) {
    return FrameGeometry{frame.width, frame.height, frame.maxWidth, frame.maxHeight};
}

int32_t Code(FrameCoder& coder, const ModuleSettings& settings, const int32_t matrix[kMatrixEntries],
             host::FrameProcInfo& frame, const LogFileNames& logNames, int32_t* macroblockBits) {
    const FrameGeometry geometry = GeometryOf(frame);
    const Pixel* input = CodecPixels(frame.editFrame);
    Pixel* output = CodecPixels(frame.tempFrame);
    const bool usable = FramesUsable(input, output, geometry);
    FrameOutputs outputs;
    outputs.macroblockBits = macroblockBits;
    // The files live for this one frame: opened (and so emptied) before the
    // first macroblock, closed after the pointers are exchanged.
    std::optional<CoefficientLogFiles> logs;
    if (settings.logOutput) outputs.sink = &logs.emplace(logNames.coefficients, logNames.levels);
    const int32_t bytes = coder.CodeFrame(settings.coding, matrix, input, output, geometry, outputs);
    if (usable) std::swap(frame.editFrame, frame.tempFrame);
    return bytes;
}

}  // namespace

int32_t CodeHostFrame(FrameCoder& coder, const ModuleSettings& settings, const int32_t matrix[kMatrixEntries],
                      host::FrameProcInfo& frame, const LogFileNames& logNames, int32_t* macroblockBits) {
    return Code(coder, settings, matrix, frame, logNames, macroblockBits);
}

}  // namespace vardelk
