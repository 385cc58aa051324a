// Controls, commands and lifetime of the matrix editor. All state is
// module-wide: the host shows one filter window at a time.
#include "editor/editor_window.h"

#include <cstdio>
#include <cstring>

#include "codec/types.h"
#include "editor/box_value.h"
#include "editor/current_matrix.h"
#include "editor/matrix_history.h"
#include "host/filter_record.h"

namespace vardelk {

namespace {

constexpr int kGridSize = 8;

struct EditorControls {
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

EditorControls controls;
char textScratch[256];

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
    {"BUTTON", "\x93\x4B\x97\x70", kButtonStyle, 0, 150, 354, 70, 22, kCmdApply},        // 適用
    {"BUTTON", "\x8E\xE6\x8F\xC1", kButtonStyle, 0, 226, 354, 70, 22, kCmdCancel},       // 取消
    {"BUTTON", "\x81\xA9", kHistoryButtonStyle, 0, 16, 354, 26, 22, kCmdBack},           // ←
    {"BUTTON", "\x81\xA8", kHistoryButtonStyle, 0, 46, 354, 26, 22, kCmdForward},        // →
    {"STATIC", "\x83\x54\x83\x43\x83\x59\x81\x46", kLabelStyle, 0, 16, 397, 60, 20, 0},  // サイズ：
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

void FormatNumber(int32_t value) { std::snprintf(textScratch, sizeof textScratch, "%d", static_cast<int>(value)); }

bool SameAsSnapshot(const HistoryNode* node) {
    return node != nullptr && std::memcmp(IntraMatrix, node->data, kMatrixBytes) == 0;
}

void RefreshMatrixBoxes() {
    for (int i = 0; i < kMatrixEntries; ++i) {
        FormatNumber(IntraMatrix[i]);
        SetWindowTextA(controls.matrixBoxes[i], textScratch);
    }
}

// Back is possible unless the current snapshot is the first, forward unless
// it is the last. Without a current snapshot neither is.
void UpdateHistoryButtons() {
    const bool hasCurrent = History != nullptr && CurrentNode != nullptr;
    EnableWindow(controls.backButton, hasCurrent && CurrentNode != History->first);
    EnableWindow(controls.forwardButton, hasCurrent && CurrentNode != History->last);
}

// Records the matrix right after the current snapshot and makes it current.
// When memory runs out nothing is recorded and the current snapshot stays.
void RecordSnapshot() {
    HistoryNode* added = HistoryInsertAfter(CurrentNode, IntraMatrix, kMatrixBytes);
    if (added != nullptr) {
        CurrentNode = added;
    }
}

int32_t NotifyMatrixChanged(FilterRecord* record) {
    if (record == nullptr || record->hostFunctions == nullptr ||
        record->hostFunctions->matrixChangedNotify == nullptr) {
        return 0;
    }
    return record->hostFunctions->matrixChangedNotify(record);
}

void NotifySizeShown(FilterRecord* record) {
    if (record != nullptr && record->hostFunctions != nullptr && record->hostFunctions->sizeShownNotify != nullptr) {
        record->hostFunctions->sizeShownNotify(record);
    }
}

void CreateMatrixBoxes(HINSTANCE instance) {
    for (int i = 0; i < kGridSize; ++i) {
        for (int j = 0; j < kGridSize; ++j) {
            const int index = i * kGridSize + j;
            const ControlLayout layout = {"EDIT", nullptr, kBoxStyle, WS_EX_CLIENTEDGE, 8 + 36 * j, 20 + 26 * i,
                                          30,     20,      0};
            std::snprintf(textScratch, sizeof textScratch, "QuantizerMatrix%d%d", i, j);
            HWND box = CreateControl(layout, textScratch, controls.matrixGroupBox, instance);
            controls.matrixBoxes[index] = box;
            FormatNumber(IntraMatrix[index]);
            SetFont(box, controls.boxFont);
            SendMessageA(box, EM_LIMITTEXT, kBoxTextLimit, 0);
            SetWindowTextA(box, textScratch);
        }
    }
}

void CreateFrameControls(HWND window, HINSTANCE instance) {
    HWND* handles[] = {&controls.matrixGroupBox, &controls.applyButton,   &controls.cancelButton,
                       &controls.backButton,     &controls.forwardButton, &controls.sizeLabel};
    for (size_t k = 0; k < sizeof handles / sizeof handles[0]; ++k) {
        *handles[k] = CreateControl(kFrameControls[k], kFrameControls[k].text, window, instance);
    }
    controls.labelFont = CreateEditorFont(kLabelFontHeight);
    for (HWND* handle : handles) {
        SetFont(*handle, controls.labelFont);
    }
}

// Builds every control and takes a matrix the host wrote meanwhile into the
// history. A window that already has its controls is left alone; a window
// opened again after WM_DESTROY starts a fresh history.
int32_t Init(HWND window, FilterRecord* record) {
    if (controls.built) {
        return 0;
    }
    if (History == nullptr) {
        HistorySeed(IntraMatrix, kMatrixBytes);
    }
    HINSTANCE instance = record != nullptr ? record->instanceHandle : nullptr;
    CreateFrameControls(window, instance);
    controls.boxFont = CreateEditorFont(kBoxFontHeight);
    CreateMatrixBoxes(instance);
    controls.sizeBox = CreateControl(kSizeBoxLayout, kSizeBoxLayout.text, window, instance);
    SetFont(controls.sizeBox, controls.boxFont);
    controls.built = true;
    if (!SameAsSnapshot(CurrentNode)) {
        RecordSnapshot();
        UpdateHistoryButtons();
    }
    return 0;
}

// Reads box i, corrects its text when the value had to be clamped, and
// returns the value in 1..4095.
int32_t ReadMatrixBox(int i) {
    GetWindowTextA(controls.matrixBoxes[i], textScratch, sizeof textScratch - 1);
    const int32_t typed = ParseBoxText(textScratch);
    const int32_t value = ClampMatrixEntry(typed);
    if (value != typed) {
        FormatNumber(value);
        SetWindowTextA(controls.matrixBoxes[i], textScratch);
    }
    return value;
}

int32_t Apply(FilterRecord* record) {
    for (int i = 0; i < kMatrixEntries; ++i) {
        IntraMatrix[i] = ReadMatrixBox(i);
    }
    if (SameAsSnapshot(CurrentNode)) {
        return 0;
    }
    RecordSnapshot();
    UpdateHistoryButtons();
    return NotifyMatrixChanged(record);
}

// Steps to a neighbouring snapshot and makes it the matrix. There is no step
// past either end.
int32_t Step(HistoryNode* target, FilterRecord* record) {
    if (target == nullptr) {
        return 0;
    }
    CurrentNode = target;
    std::memcpy(IntraMatrix, CurrentNode->data, kMatrixBytes);
    RefreshMatrixBoxes();
    UpdateHistoryButtons();
    return NotifyMatrixChanged(record);
}

int32_t ShowSize(LPARAM bytes, FilterRecord* record) {
    FormatNumber(static_cast<int32_t>(bytes));
    SetWindowTextA(controls.sizeBox, textScratch);
    NotifySizeShown(record);
    return 0;
}

int32_t Command(WPARAM wParam, LPARAM lParam, FilterRecord* record) {
    if (!controls.built) {
        return 0;
    }
    switch (LOWORD(wParam)) {
        case kCmdApply:
            return Apply(record);
        case kCmdCancel:
            RefreshMatrixBoxes();
            return 0;
        case kCmdBack:
            return Step(CurrentNode != nullptr ? CurrentNode->prev : nullptr, record);
        case kCmdForward:
            return Step(CurrentNode != nullptr ? CurrentNode->next : nullptr, record);
        case kCmdShowSize:
            return ShowSize(lParam, record);
        default:
            return 0;
    }
}

// Frees the history and both fonts. The controls go with the window.
int32_t Destroy() {
    HistoryRelease();
    if (controls.built) {
        DeleteObject(controls.labelFont);
        DeleteObject(controls.boxFont);
    }
    controls = EditorControls{};
    return 0;
}

void ForwardToOwner(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessageA(GetWindow(window, GW_OWNER), message, wParam, lParam);
}

}  // namespace

int32_t EditorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void* /*hostValue*/,
                         FilterRecord* record) {
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
        case kHostInitMessage:
            return Init(window, record);
        default:
            return 0;
    }
}

}  // namespace vardelk
