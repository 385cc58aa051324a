#include "reference_host/host_session.h"

#include <cstdio>
#include <cstring>

namespace vardelk {

namespace {

const char kFilterClass[] = "VardelkHostFilterWindow";
const char kOwnerClass[] = "VardelkHostOwnerWindow";
const char kFilterTitle[] = "Vardelk";

bool IsForwardedInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || message == WM_MOUSEWHEEL;
}

bool RegisterClasses(HINSTANCE instance, WNDPROC filterProc, WNDPROC ownerProc) {
    WNDCLASSA filter{};
    filter.lpfnWndProc = filterProc;
    filter.hInstance = instance;
    filter.hCursor = LoadCursor(nullptr, IDC_ARROW);
    filter.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    filter.lpszClassName = kFilterClass;
    WNDCLASSA owner = filter;
    owner.lpfnWndProc = ownerProc;
    owner.lpszClassName = kOwnerClass;
    // A class that is already registered from an earlier session is fine.
    const bool filterOk = RegisterClassA(&filter) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    const bool ownerOk = RegisterClassA(&owner) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return filterOk && ownerOk;
}

// The session a window of this host serves. It comes with the creation
// arguments and stays as the window's user data; messages that arrive
// before WM_NCCREATE have none.
HostSession* SessionOf(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<HostSession*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The session of the record a host function is called with: the one its
// filter window serves, or null when that is no live filter window.
HostSession* SessionOf(const host::FilterRecord* record) {
    char className[sizeof kFilterClass + 1] = "";
    if (record == nullptr || record->windowHandle == nullptr ||
        GetClassNameA(record->windowHandle, className, sizeof className) == 0 ||
        lstrcmpA(className, kFilterClass) != 0) {
        return nullptr;
    }
    return reinterpret_cast<HostSession*>(GetWindowLongPtrA(record->windowHandle, GWLP_USERDATA));
}

}  // namespace

HWND FindSizeBox(HWND filterWindow) {
    char className[16];
    for (HWND child = GetWindow(filterWindow, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetClassNameA(child, className, sizeof className) > 0 && lstrcmpiA(className, "EDIT") == 0) {
            return child;
        }
    }
    return nullptr;
}

HostSession::HostSession() {
    functions.sizeShownNotify = &HostSession::SizeShown;
    functions.matrixChangedNotify = &HostSession::MatrixChanged;
}

HostSession::~HostSession() {
    CloseWindow();
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

bool HostSession::LoadModule(const std::string& path, std::string* error) {
    module_ = LoadLibraryA(path.c_str());
    if (module_ == nullptr) {
        *error = "cannot load module " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    auto getTable = reinterpret_cast<TableFunction>(reinterpret_cast<void*>(GetProcAddress(module_, "GetFilterTable")));
    if (getTable == nullptr) {
        *error = "module " + path + " has no GetFilterTable export";
        return false;
    }
    return Attach(getTable, error);
}

bool HostSession::Attach(TableFunction getFilterTable, std::string* error) {
    descriptor = getFilterTable();
    if (descriptor == nullptr || descriptor->processCallback == nullptr || descriptor->windowCallback == nullptr) {
        *error = "GetFilterTable returned no usable descriptor";
        return false;
    }
    std::memcpy(&record, descriptor, sizeof record);
    record.trackValues = trackValues;
    record.checkValues = checkValues;
    record.hostFunctions = &functions;
    record.instanceHandle = GetModuleHandleA(nullptr);
    return true;
}

bool HostSession::OpenWindow(bool visible, std::string* error) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterClasses(instance, &HostSession::FilterWindowProc, &HostSession::OwnerWindowProc)) {
        *error = "cannot register the host's window classes";
        return false;
    }
    ownerWindow = CreateWindowExA(0, kOwnerClass, "Vardelk reference host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, this);
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | (visible ? WS_VISIBLE : 0);
    filterWindow = CreateWindowExA(WS_EX_TOOLWINDOW, kFilterClass, kFilterTitle, style, 0, 0, record.windowWidth,
                                   record.windowHeight, ownerWindow, nullptr, instance, this);
    if (ownerWindow == nullptr || filterWindow == nullptr) {
        *error = "cannot create the filter window";
        return false;
    }
    record.windowHandle = filterWindow;
    SendInit();
    return true;
}

void HostSession::CloseWindow() {
    if (filterWindow != nullptr) {
        DestroyWindow(filterWindow);
        filterWindow = nullptr;
    }
    if (ownerWindow != nullptr) {
        DestroyWindow(ownerWindow);
        ownerWindow = nullptr;
    }
}

int32_t HostSession::SendInit() { return static_cast<int32_t>(SendMessageA(filterWindow, host::kInitMessage, 0, 0)); }

int32_t HostSession::SendCommand(WORD id, LPARAM lParam) {
    SendMessageA(filterWindow, WM_COMMAND, id, lParam);
    return events.lastCommandResult;
}

void HostSession::SetGeometry(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight) {
    const size_t pixels = static_cast<size_t>(maxWidth) * static_cast<size_t>(maxHeight);
    if (bufferA_.size() < pixels) {
        bufferA_.assign(pixels, host::YcPixel{0, 0, 0});
        bufferB_.assign(pixels, host::YcPixel{0, 0, 0});
        frame_.editFrame = bufferA_.data();
        frame_.tempFrame = bufferB_.data();
    }
    frame_.width = width;
    frame_.height = height;
    frame_.maxWidth = maxWidth;
    frame_.maxHeight = maxHeight;
}

int32_t HostSession::RunFrame() { return record.processCallback(&record, &frame_); }

void HostSession::PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int32_t HostSession::CallModule(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == host::kCmdShowSize) {
        ++events.sizeReports;
        events.lastReportedSize = static_cast<int32_t>(lParam);
    }
    ++events.callbacksEntered;
    const int32_t result = record.windowCallback(window, message, wParam, lParam, nullptr, &record);
    ++events.callbacksReturned;
    if (message == WM_COMMAND) {
        events.commandIds.push_back(LOWORD(wParam));
        events.lastCommandResult = result;
    }
    return result;
}

// The host's own part of the window above the module's controls: the
// slider and the check boxes with their captions from the descriptor.
void HostSession::PaintHostControls(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HFONT font = CreateFontA(12, 0, 0, 0, 500, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, PROOF_QUALITY, FF_MODERN,
                             "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E");  // ＭＳ Ｐゴシック
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    char line[128];
    std::snprintf(line, sizeof line, "%s  %d", record.trackNames[0], trackValues[0]);
    TextOutA(dc, 12, 8, line, lstrlenA(line));
    for (int i = 0; i < record.checkCount && i < kHostCheckCount; ++i) {
        std::snprintf(line, sizeof line, "[%c] %s", checkValues[i] != 0 ? 'x' : ' ', record.checkNames[i]);
        TextOutA(dc, 12, 32 + 20 * i, line, lstrlenA(line));
    }
    SelectObject(dc, old);
    DeleteObject(font);
    EndPaint(window, &paint);
}

LRESULT CALLBACK HostSession::FilterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HostSession* session = SessionOf(window, message, lParam);
    if (session == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    const int32_t result = session->CallModule(window, message, wParam, lParam);
    switch (message) {
        case WM_PAINT:
            session->PaintHostControls(window);
            return 0;
        case WM_COMMAND:
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_MOUSEWHEEL:
        case host::kInitMessage:
            return result;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK HostSession::OwnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HostSession* session = SessionOf(window, message, lParam);
    if (session != nullptr && IsForwardedInput(message)) {
        session->events.ownerMessages.push_back({message, wParam, lParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int32_t HostSession::SizeShown(host::FilterRecord* record) {
    HostSession* session = SessionOf(record);
    if (session == nullptr) {
        return 0;
    }
    ++session->events.sizeShownCalls;
    session->events.lastNotifyRecord = record;
    char text[64] = "";
    GetWindowTextA(FindSizeBox(session->filterWindow), text, sizeof text);
    session->events.sizeTextAtNotify = text;
    return 1;
}

int32_t HostSession::MatrixChanged(host::FilterRecord* record) {
    HostSession* session = SessionOf(record);
    if (session == nullptr) {
        return 0;
    }
    ++session->events.matrixChangedCalls;
    session->events.lastNotifyRecord = record;
    return session->matrixChangedAnswer;
}

}  // namespace vardelk
