// The module's side of the host interface: the descriptor it hands out,
// its slider and check boxes, and the per-frame callback. The records
// themselves are the host's (host/filter_record.h).
#pragma once

#include <cstdint>

#include "host/filter_record.h"

namespace vardelk {

constexpr int32_t kTrackCount = 1;
constexpr int32_t kCheckCount = 4;
constexpr int32_t kFilterWindowWidth = 320;
constexpr int32_t kFilterWindowHeight = 450;

// The per-frame callback registered in the descriptor.
int32_t ProcessFrame(FilterRecord* record, FrameProcInfo* frame);

}  // namespace vardelk

// The module's one export: the descriptor, after seeding the matrix history.
extern "C" __declspec(dllexport) vardelk::FilterDescriptor* __stdcall GetFilterTable(void);
