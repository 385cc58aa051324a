// The host editor's side of the module contract, reduced to what a filter
// sees: load the module, keep the filter record and the host's function
// table, own the filter window and its owner, pass the window's messages to
// the module, and run frames through the processing callback. Used by the
// reference_host program and by the tests that drive the module.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/filter_record.h"
#include "host/frame_record.h"

namespace vardelk {

// The values the host keeps for the filter's controls: one slider (the
// scale code) and four check boxes, as many as the module declares.
constexpr int32_t kHostTrackCount = 1;
constexpr int32_t kHostCheckCount = 4;

// A message that reached the owner window.
struct OwnerMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// What the host saw of the module, for the reference program's output and
// for tests.
struct HostEvents {
    int sizeShownCalls = 0;
    int matrixChangedCalls = 0;
    const host::FilterRecord* lastNotifyRecord = nullptr;
    std::string sizeTextAtNotify;  // the size read-out when entry 21 ran
    int sizeReports = 0;           // CmdShowSize messages the window received
    int32_t lastReportedSize = 0;
    int32_t lastCommandResult = 0;            // the module's answer to the last WM_COMMAND
    std::vector<WORD> commandIds;             // low words of every WM_COMMAND the window got
    int callbacksEntered = 0;                 // window-callback calls begun ...
    int callbacksReturned = 0;                // ... and finished
    std::vector<OwnerMessage> ownerMessages;  // key and wheel messages only
};

class HostSession {
public:
    using TableFunction = host::FilterDescriptor*(__stdcall*)();

    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Loads a module file and fetches its descriptor.
    bool LoadModule(const std::string& path, std::string* error);
    // Uses a descriptor function linked into the program instead of a file.
    bool Attach(TableFunction getFilterTable, std::string* error);

    // Creates the owner window and the filter window owned by it, then sends
    // the init message. The filter window sits at the screen's top left.
    bool OpenWindow(bool visible, std::string* error);
    // Destroys the filter window (the module sees WM_DESTROY) and the owner.
    void CloseWindow();
    // Sends the init message to the filter window's callback again.
    int32_t SendInit();
    // Delivers WM_COMMAND with a command id as the buttons would.
    int32_t SendCommand(WORD id, LPARAM lParam = 0);

    // Sizes the two frame buffers; allocates only when the size grows.
    void SetGeometry(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight);
    // The picture to fill before RunFrame and, after it, the result.
    host::YcPixel* Picture() { return frame_.editFrame; }
    host::FrameProcInfo& Frame() { return frame_; }
    // Calls the processing callback once; returns its result.
    int32_t RunFrame();

    // The loaded module file; null after Attach.
    HMODULE Module() const { return module_; }

    // Delivers the message loop's pending messages.
    void PumpMessages();

    host::FilterDescriptor* descriptor = nullptr;  // as the module returned it
    host::FilterRecord record{};                   // the host's copy handed to callbacks
    host::FunctionTable functions{};
    int32_t trackValues[kHostTrackCount] = {1};
    int32_t checkValues[kHostCheckCount] = {0, 0, 0, 0};
    int32_t matrixChangedAnswer = 1;  // what entry 25 returns
    HostEvents events;
    HWND ownerWindow = nullptr;
    HWND filterWindow = nullptr;

private:
    // The window procedures and the host functions are plain functions:
    // each finds its session through the window it serves (the session is
    // the window's user data, from its creation on).
    static LRESULT CALLBACK FilterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK OwnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static int32_t SizeShown(host::FilterRecord* record);
    static int32_t MatrixChanged(host::FilterRecord* record);
    int32_t CallModule(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void PaintHostControls(HWND window);

    HMODULE module_ = nullptr;
    std::vector<host::YcPixel> bufferA_;
    std::vector<host::YcPixel> bufferB_;
    host::FrameProcInfo frame_{};
};

// The direct child of the filter window that is an edit box: the size
// read-out. Null before the controls exist.
HWND FindSizeBox(HWND filterWindow);

}  // namespace vardelk
