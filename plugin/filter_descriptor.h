// The module's side of the host interface: the descriptor it hands out,
// its slider and check boxes, and the two callbacks. The records themselves
// are the host's (host/filter_record.h).
#pragma once

#include <cstdint>

#include "host/filter_record.h"

namespace vardelk {

constexpr int32_t kTrackCount = 1;
constexpr int32_t kCheckCount = 4;
constexpr int32_t kFilterWindowWidth = 320;
constexpr int32_t kFilterWindowHeight = 450;

// The descriptor with the module's constants, its two callbacks and the
// given matrix as the extra data.
host::FilterDescriptor MakeFilterDescriptor(int32_t* matrix);

// The per-frame callback registered in the descriptor.
int32_t ProcessFrame(host::FilterRecord* record, host::FrameProcInfo* frame);

// The window callback registered in the descriptor: the module's editor.
int32_t FilterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void* hostValue,
                         host::FilterRecord* record);

}  // namespace vardelk

// The module's one export: the descriptor, after starting the matrix history.
extern "C" __declspec(dllexport) vardelk::host::FilterDescriptor* __stdcall GetFilterTable(void);
