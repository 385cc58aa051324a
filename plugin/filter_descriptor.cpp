// The filter descriptor, the export that hands it to the host, and the
// per-frame callback that runs a frame through the codec.
#include "plugin/filter_descriptor.h"

#include "codec/cpu.h"
#include "editor/current_matrix.h"
#include "editor/editor_window.h"
#include "editor/matrix_history.h"
#include "plugin/host_frame.h"

namespace vardelk {

namespace {

// Host option word: bits 10, 14 and 19.
constexpr uint32_t kOptionFlags = 0x00084400;

const char kDisplayName[] = "Vardelk";
const char kInfoText[] = "Ver 0.3.3 by Kelmora";

const char* const kTrackNames[kTrackCount] = {
    "\x83\x58\x83\x50\x81\x5B\x83\x8B",  // スケール
};
const int32_t kTrackDefaults[kTrackCount] = {kMinScaleCode};
const int32_t kTrackMinimums[kTrackCount] = {kMinScaleCode};
const int32_t kTrackMaximums[kTrackCount] = {kMaxScaleCode};

const char* const kCheckNames[kCheckCount] = {
    "\x94\xF1\x90\xFC\x8C\x60\x83\x58\x83\x50\x81\x5B\x83\x8B",                          // 非線形スケール
    "\x83\x49\x83\x8B\x83\x5E\x83\x6C\x81\x5B\x83\x67\x83\x58\x83\x4C\x83\x83\x83\x93",  // オルタネートスキャン
    "\x83\x43\x83\x93\x83\x5E\x83\x8C\x81\x5B\x83\x58"
    "DCT",                               // インタレースDCT
    "\x83\x8D\x83\x4F\x8F\x6F\x97\xCD",  // ログ出力
};
// All four boxes start unchecked; the array is never written.
const int32_t kCheckDefaults[kCheckCount] = {0, 0, 0, 0};

FilterDescriptor descriptor = {
    kOptionFlags,
    kFilterWindowWidth,
    kFilterWindowHeight,
    kDisplayName,
    kTrackCount,
    kTrackNames,
    kTrackDefaults,
    kTrackMinimums,
    kTrackMaximums,
    kCheckCount,
    kCheckNames,
    kCheckDefaults,
    ProcessFrame,
    nullptr,
    nullptr,
    nullptr,
    EditorWindowProc,
    nullptr,  // trackValues: the host's
    nullptr,  // checkValues: the host's
    IntraMatrix,
    static_cast<int32_t>(kMatrixBytes),
    kInfoText,
    {0, 0},
    nullptr,  // hostFunctions
    nullptr,  // windowHandle
    nullptr,  // instanceHandle
    {0, 0, 0, 0, 0, 0, 0, 0},
};

// The host's current settings. Missing value arrays leave the defaults.
FilterSettings ReadSettings(const FilterRecord& record) {
    FilterSettings settings;
    if (record.trackValues != nullptr) {
        settings.scaleCode = record.trackValues[0];
    }
    if (record.checkValues != nullptr) {
        settings.nonLinearScale = record.checkValues[0];
        settings.alternateScan = record.checkValues[1];
        settings.interlacedDct = record.checkValues[2];
        settings.logOutput = record.checkValues[3];
    }
    return settings;
}

}  // namespace

int32_t ProcessFrame(FilterRecord* record, FrameProcInfo* frame) {
    if (record == nullptr || frame == nullptr) {
        return 1;
    }
    // The host calls on one thread, one frame at a time: one coder serves
    // every frame, made when the first one arrives. The module takes every
    // kernel build the CPU runs: it reads no environment variable.
    static FrameCoder coder(DetectedCpuFlags());
    const int32_t bytes = CodeHostFrame(coder, ReadSettings(*record), IntraMatrix, *frame);
    SendMessageA(record->windowHandle, WM_COMMAND, kCmdShowSize, bytes);
    return 1;
}

}  // namespace vardelk

vardelk::FilterDescriptor* __stdcall GetFilterTable(void) {
    vardelk::HistorySeed(vardelk::IntraMatrix, vardelk::kMatrixBytes);
    return &vardelk::descriptor;
}
