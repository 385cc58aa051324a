// The filter descriptor, the export that hands it to the host, and the two
// callbacks: the per-frame one runs a frame through the codec, the window's
// goes to the editor.
#include "plugin/filter_descriptor.h"

#include "codec/cpu.h"
#include "plugin/host_frame.h"
#include "plugin/module_instance.h"

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

}  // namespace

host::FilterDescriptor MakeFilterDescriptor(int32_t* matrix) {
    return host::FilterDescriptor{
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
        FilterWindowProc,
        nullptr,  // trackValues: the host's
        nullptr,  // checkValues: the host's
        matrix,
        static_cast<int32_t>(kMatrixBytes),
        kInfoText,
        {0, 0},
        nullptr,  // hostFunctions
        nullptr,  // windowHandle
        nullptr,  // instanceHandle
        {0, 0, 0, 0, 0, 0, 0, 0},
    };
}

int32_t ProcessFrame(host::FilterRecord* record, host::FrameProcInfo* frame) {
    if (record == nullptr || frame == nullptr) {
        return 1;
    }
    ModuleInstance& module = TheModule();
    // The module takes every kernel build the CPU runs: it reads no
    // environment variable.
    if (!module.coder) {
        module.coder.emplace(DetectedCpuFlags());
    }
    const ModuleSettings settings = SettingsFromHost(record->trackValues, record->checkValues);
    const int32_t bytes = CodeHostFrame(*module.coder, settings, module.matrix.Entries(), *frame);
    SendMessageA(record->windowHandle, WM_COMMAND, host::kCmdShowSize, bytes);
    return 1;
}

int32_t FilterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void* /*hostValue*/,
                         host::FilterRecord* record) {
    return TheModule().editor.HandleMessage(window, message, wParam, lParam, record);
}

}  // namespace vardelk

vardelk::host::FilterDescriptor* __stdcall GetFilterTable(void) {
    vardelk::ModuleInstance& module = vardelk::TheModule();
    module.matrix.StartHistory();
    return &module.descriptor;
}
