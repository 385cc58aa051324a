// Controls, commands and lifetime of the matrix editor.
#include "editor/editor_window.h"

#include <cstdio>

#include "matrix/box_value.h"

namespace vardelk {

namespace {

constexpr int kGridSize = 8;

// Geometry and look of one control.
struct ControlLayout {
    const char* className;
    const char* text;
    DWORD style;
    DWORD exStyle;
    int x;
    int y;
    int width;
    int height;
    WORD id;
};

constexpr DWORD kGroupStyle = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD kHistoryButtonStyle = WS_CHILD | WS_VISIBLE | WS_DISABLED;
constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_RIGHT;
constexpr DWORD kBoxStyle = WS_CHILD | WS_VISIBLE | ES_NUMBER | ES_AUTOHSCROLL | ES_RIGHT;
constexpr DWORD kSizeBoxStyle = WS_CHILD | WS_VISIBLE | ES_NUMBER | ES_READONLY | ES_RIGHT;

// The six controls placed directly on the filter window before the grid,
// in creation order.
const ControlLayout kFrameControls[] = {
    // イントラブロック用量子化行列
    {"BUTTON",
     "\x83\x43\x83\x93\x83\x67\x83\x89\x83\x75\x83\x8D\x83\x62\x83\x4E\x97\x70\x97\xCA\x8E\x71"
     "\x89\xBB\x8D\x73\x97\xF1",
     kGroupStyle, 0, 7, 124, 300, 260, 0},
    {"BUTTON", "\x93\x4B\x97\x70", kButtonStyle, 0, 150, 354, 70, 22, host::kCmdApply},   // 適用
    {"BUTTON", "\x8E\xE6\x8F\xC1", kButtonStyle, 0, 226, 354, 70, 22, host::kCmdCancel},  // 取消
    {"BUTTON", "\x81\xA9", kHistoryButtonStyle, 0, 16, 354, 26, 22, host::kCmdBack},      // ←
    {"BUTTON", "\x81\xA8", kHistoryButtonStyle, 0, 46, 354, 26, 22, host::kCmdForward},   // →
    {"STATIC", "\x83\x54\x83\x43\x83\x59\x81\x46", kLabelStyle, 0, 16, 397, 60, 20, 0},   // サイズ：
};
const ControlLayout kSizeBoxLayout = {"EDIT", "0", kSizeBoxStyle, WS_EX_CLIENTEDGE, 84, 394, 220, 20, 0};

const char kFontFace[] = "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ Ｐゴシック
constexpr int kLabelFontHeight = 12;
constexpr int kBoxFontHeight = 14;
constexpr int kFontWeight = 500;
constexpr DWORD kFontPitchAndFamily = FF_MODERN | DEFAULT_PITCH;
constexpr int kBoxTextLimit = 4;

HWND CreateControl(const ControlLayout& layout, const char* text, HWND parent, HINSTANCE instance) {
    return CreateWindowExA(layout.exStyle, layout.className, text, layout.style, layout.x, layout.y, layout.width,
                           layout.height, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(layout.id)), instance,
                           nullptr);
}

HFONT CreateEditorFont(int height) {
    return CreateFontA(height, 0, 0, 0, kFontWeight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, PROOF_QUALITY, kFontPitchAndFamily, kFontFace);
}

void SetFont(HWND control, HFONT font) { SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0); }

void NotifySizeShown(host::FilterRecord* record) {
    if (record != nullptr && record->hostFunctions != nullptr && record->hostFunctions->sizeShownNotify != nullptr) {
        record->hostFunctions->sizeShownNotify(record);
    }
}

int32_t NotifyMatrixChanged(host::FilterRecord* record) {
    if (record == nullptr || record->hostFunctions == nullptr ||
        record->hostFunctions->matrixChangedNotify == nullptr) {
        return 0;
    }
    return record->hostFunctions->matrixChangedNotify(record);
}

void ForwardToOwner(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessageA(GetWindow(window, GW_OWNER), message, wParam, lParam);
}

}  // namespace

void EditorWindow::FormatNumber(int32_t value) { std::snprintf(text_, sizeof text_, "%d", static_cast<int>(value)); }

void EditorWindow::RefreshMatrixBoxes() {
    for (int i = 0; i < kMatrixEntries; ++i) {
        FormatNumber(matrix_.Entries()[i]);
        SetWindowTextA(controls_.matrixBoxes[i], text_);
    }
}

void EditorWindow::UpdateHistoryButtons() {
    EnableWindow(controls_.backButton, matrix_.CanStepBack());
    EnableWindow(controls_.forwardButton, matrix_.CanStepForward());
}

void EditorWindow::CreateMatrixBoxes(HINSTANCE instance) {
    for (int i = 0; i < kGridSize; ++i) {
        for (int j = 0; j < kGridSize; ++j) {
            const int index = i * kGridSize + j;
            const ControlLayout layout = {"EDIT", nullptr, kBoxStyle, WS_EX_CLIENTEDGE, 8 + 36 * j, 20 + 26 * i,
                                          30,     20,      0};
            std::snprintf(text_, sizeof text_, "QuantizerMatrix%d%d", i, j);
            HWND box = CreateControl(layout, text_, controls_.matrixGroupBox, instance);
            controls_.matrixBoxes[index] = box;
            FormatNumber(matrix_.Entries()[index]);
            SetFont(box, controls_.boxFont);
            SendMessageA(box, EM_LIMITTEXT, kBoxTextLimit, 0);
            SetWindowTextA(box, text_);
        }
    }
}

void EditorWindow::CreateFrameControls(HWND window, HINSTANCE instance) {
    HWND* handles[] = {&controls_.matrixGroupBox, &controls_.applyButton,   &controls_.cancelButton,
                       &controls_.backButton,     &controls_.forwardButton, &controls_.sizeLabel};
    for (size_t k = 0; k < sizeof handles / sizeof handles[0]; ++k) {
        *handles[k] = CreateControl(kFrameControls[k], kFrameControls[k].text, window, instance);
    }
    controls_.labelFont = CreateEditorFont(kLabelFontHeight);
    for (HWND* handle : handles) {
        SetFont(*handle, controls_.labelFont);
    }
}

// Builds every control and takes a matrix the host wrote meanwhile into the
// history. A window that already has its controls is left alone; a window
// opened again after WM_DESTROY starts a fresh history.
int32_t EditorWindow::Init(HWND window, host::FilterRecord* record) {
    if (controls_.built) {
        return 0;
    }
    if (!matrix_.HasHistory()) {
        matrix_.StartHistory();
    }
    HINSTANCE instance = record != nullptr ? record->instanceHandle : nullptr;
    CreateFrameControls(window, instance);
    controls_.boxFont = CreateEditorFont(kBoxFontHeight);
    CreateMatrixBoxes(instance);
    controls_.sizeBox = CreateControl(kSizeBoxLayout, kSizeBoxLayout.text, window, instance);
    SetFont(controls_.sizeBox, controls_.boxFont);
    controls_.built = true;
    if (matrix_.Commit()) {
        UpdateHistoryButtons();
    }
    return 0;
}

// Reads box i, corrects its text when the value had to be clamped, and
// returns the value in 1..4095.
int32_t EditorWindow::ReadMatrixBox(int i) {
    GetWindowTextA(controls_.matrixBoxes[i], text_, sizeof text_ - 1);
    const int32_t typed = ParseBoxText(text_);
    const int32_t value = ClampMatrixEntry(typed);
    if (value != typed) {
        FormatNumber(value);
        SetWindowTextA(controls_.matrixBoxes[i], text_);
    }
    return value;
}

int32_t EditorWindow::Apply(host::FilterRecord* record) {
    for (int i = 0; i < kMatrixEntries; ++i) {
        matrix_.Entries()[i] = ReadMatrixBox(i);
    }
    if (!matrix_.Commit()) {
        return 0;
    }
    UpdateHistoryButtons();
    return NotifyMatrixChanged(record);
}

// After a step to a neighbouring snapshot, which is now the matrix. There is
// no step past either end.
int32_t EditorWindow::AfterStep(bool stepped, host::FilterRecord* record) {
    if (!stepped) {
        return 0;
    }
    RefreshMatrixBoxes();
    UpdateHistoryButtons();
    return NotifyMatrixChanged(record);
}

int32_t EditorWindow::ShowSize(LPARAM bytes, host::FilterRecord* record) {
    FormatNumber(static_cast<int32_t>(bytes));
    SetWindowTextA(controls_.sizeBox, text_);
    NotifySizeShown(record);
    return 0;
}

int32_t EditorWindow::Command(WPARAM wParam, LPARAM lParam, host::FilterRecord* record) {
    if (!controls_.built) {
        return 0;
    }
    switch (LOWORD(wParam)) {
        case host::kCmdApply:
            return Apply(record);
        case host::kCmdCancel:
            RefreshMatrixBoxes();
            return 0;
        case host::kCmdBack:
            return AfterStep(matrix_.StepBack(), record);
        case host::kCmdForward:
            return AfterStep(matrix_.StepForward(), record);
        case host::kCmdShowSize:
            return ShowSize(lParam, record);
        default:
            return 0;
    }
}

// Frees the history and both fonts. The controls go with the window.
int32_t EditorWindow::Destroy() {
    matrix_.EndHistory();
    if (controls_.built) {
        DeleteObject(controls_.labelFont);
        DeleteObject(controls_.boxFont);
    }
    controls_ = Controls{};
    return 0;
}

int32_t EditorWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    host::FilterRecord* record) {
    switch (message) {
        case WM_DESTROY:
            return Destroy();
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_MOUSEWHEEL:
            ForwardToOwner(window, message, wParam, lParam);
            return 0;
        case WM_COMMAND:
            return Command(wParam, lParam, record);
        case host::kInitMessage:
            return Init(window, record);
        default:
            return 0;
    }
}

}  // namespace vardelk
