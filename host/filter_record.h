// What the module and the host editor exchange: the filter descriptor and
// the host's per-filter record of the same layout, the host's function
// table, the callbacks' types, and the ids of the messages and commands of
// the filter window. In the 32-bit module every field is one 4-byte word
// with no gaps; the assertions below pin the offsets the host relies on.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "host/frame_record.h"

namespace vardelk::host {

struct FilterRecord;

// Per-frame callback: settings and window from the record, frames from the
// frame record. Always returns 1.
using ProcessCallback = int32_t (*)(FilterRecord* record, FrameProcInfo* frame);

// Window callback: the filter window's messages with the record; the fifth
// argument is a host value the module does not read.
using WindowCallback = int32_t (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void* hostValue,
                                   FilterRecord* record);

// A host function called back with the record.
using NotifyCallback = int32_t (*)(FilterRecord* record);

// The host's table of functions. The module calls only entries 21 and 25.
struct FunctionTable {
    void* entries0To20[21];
    NotifyCallback sizeShownNotify;  // entry 21: after the size read-out changed
    void* entries22To24[3];
    NotifyCallback matrixChangedNotify;  // entry 25: after the matrix changed
};

// The descriptor as the module stores it and the record the host passes to
// both callbacks. The host fills trackValues, checkValues, hostFunctions,
// windowHandle and instanceHandle; the module only reads those five.
struct FilterRecord {
    uint32_t optionFlags;
    int32_t windowWidth;
    int32_t windowHeight;
    const char* displayName;
    int32_t trackCount;
    const char* const* trackNames;
    const int32_t* trackDefaults;
    const int32_t* trackMinimums;
    const int32_t* trackMaximums;
    int32_t checkCount;
    const char* const* checkNames;
    const int32_t* checkDefaults;
    ProcessCallback processCallback;
    void* auxCallback1;
    void* auxCallback2;
    void* auxCallback3;
    WindowCallback windowCallback;
    int32_t* trackValues;
    int32_t* checkValues;
    void* extraData;
    int32_t extraDataSize;
    const char* infoText;
    uint32_t unused58[2];
    FunctionTable* hostFunctions;
    HWND windowHandle;
    HINSTANCE instanceHandle;
    uint32_t unused6C[8];
};
using FilterDescriptor = FilterRecord;

// Message the host sends once the filter window exists; the editor builds
// its controls then.
constexpr UINT kInitMessage = 0x467;

// Commands of the filter window (low 16 bits of WM_COMMAND's wParam).
constexpr WORD kCmdApply = 40001;
constexpr WORD kCmdCancel = 40002;
constexpr WORD kCmdBack = 40003;
constexpr WORD kCmdForward = 40004;
constexpr WORD kCmdShowSize = 40005;

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(FilterRecord) == 140, "descriptor is 35 words");
static_assert(offsetof(FilterRecord, windowWidth) == 0x04, "layout");
static_assert(offsetof(FilterRecord, displayName) == 0x0C, "layout");
static_assert(offsetof(FilterRecord, trackNames) == 0x14, "layout");
static_assert(offsetof(FilterRecord, trackMaximums) == 0x20, "layout");
static_assert(offsetof(FilterRecord, checkCount) == 0x24, "layout");
static_assert(offsetof(FilterRecord, checkDefaults) == 0x2C, "layout");
static_assert(offsetof(FilterRecord, processCallback) == 0x30, "layout");
static_assert(offsetof(FilterRecord, windowCallback) == 0x40, "layout");
static_assert(offsetof(FilterRecord, trackValues) == 0x44, "layout");
static_assert(offsetof(FilterRecord, checkValues) == 0x48, "layout");
static_assert(offsetof(FilterRecord, extraData) == 0x4C, "layout");
static_assert(offsetof(FilterRecord, extraDataSize) == 0x50, "layout");
static_assert(offsetof(FilterRecord, infoText) == 0x54, "layout");
static_assert(offsetof(FilterRecord, hostFunctions) == 0x60, "layout");
static_assert(offsetof(FilterRecord, windowHandle) == 0x64, "layout");
static_assert(offsetof(FilterRecord, instanceHandle) == 0x68, "layout");
static_assert(offsetof(FilterRecord, unused6C) == 0x6C, "layout");
static_assert(offsetof(FunctionTable, sizeShownNotify) == 0x54, "entry 21");
static_assert(offsetof(FunctionTable, matrixChangedNotify) == 0x64, "entry 25");
#endif

}  // namespace vardelk::host
