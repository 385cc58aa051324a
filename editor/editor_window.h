// The matrix editor in the lower part of the filter window: an 8x8 grid of
// number boxes for the intra matrix, Apply and Cancel, back and forward
// through the applied matrices, and the estimated size of the last frame.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/filter_record.h"

namespace vardelk {

// The window callback registered in the descriptor. Builds the controls on
// the host's init message, runs the commands, forwards key and wheel
// messages to the owner window and frees everything on WM_DESTROY. Returns
// 0 except where the host's matrix-changed function answers.
int32_t EditorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void* hostValue,
                         FilterRecord* record);

}  // namespace vardelk
