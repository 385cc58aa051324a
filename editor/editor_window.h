// The matrix editor in the lower part of the filter window: an 8x8 grid of
// number boxes for the intra matrix, Apply and Cancel, back and forward
// through the applied matrices, and the estimated size of the last frame.
#pragma once

#include <windows.h>

#include <cstdint>

#include "codec/types.h"
#include "host/filter_record.h"
#include "matrix/current_matrix.h"

namespace vardelk {

// The host shows one filter window at a time; one editor serves it, over
// the matrix it is given.
class EditorWindow {
public:
    explicit EditorWindow(CurrentMatrix& matrix) : matrix_(matrix) {}
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // One message of the filter window, as the window callback receives it.
    // Builds the controls on the host's init message, runs the commands,
    // forwards key and wheel messages to the owner window and frees
    // everything on WM_DESTROY. Returns 0 except where the host's
    // matrix-changed function answers.
    int32_t HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, host::FilterRecord* record);

private:
    struct Controls {
        HWND matrixGroupBox;
        HWND applyButton;
        HWND cancelButton;
        HWND backButton;
        HWND forwardButton;
        HWND sizeLabel;
        HWND sizeBox;
        HWND matrixBoxes[kMatrixEntries];
        HFONT labelFont;
        HFONT boxFont;
        bool built;  // between Init and WM_DESTROY
    };

    int32_t Init(HWND window, host::FilterRecord* record);
    void CreateFrameControls(HWND window, HINSTANCE instance);
    void CreateMatrixBoxes(HINSTANCE instance);
    int32_t Command(WPARAM wParam, LPARAM lParam, host::FilterRecord* record);
    int32_t Apply(host::FilterRecord* record);
    int32_t AfterStep(bool stepped, host::FilterRecord* record);
    int32_t ShowSize(LPARAM bytes, host::FilterRecord* record);
    int32_t Destroy();
    int32_t ReadMatrixBox(int i);
    void RefreshMatrixBoxes();
    void UpdateHistoryButtons();
    void FormatNumber(int32_t value);

    CurrentMatrix& matrix_;
    Controls controls_{};
    char text_[256] = {};  // a box's text on its way in or out
};

}  // namespace vardelk
