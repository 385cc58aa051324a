// Drives the filter module through the reference host's session: real
// windows, real messages, buttons pressed with BM_CLICK.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "codec/types.h"
#include "reference_host/host_session.h"

namespace vardelk {

class ModuleFixture : public ::testing::Test {
protected:
    // Subclasses fetch the descriptor, either from the module file or from
    // the module's code linked into the test.
    virtual bool Start(HostSession& session, std::string* error) = 0;

    void SetUp() override {
        host = std::make_unique<HostSession>();
        std::string error;
        ASSERT_TRUE(Start(*host, &error)) << error;
    }
    void TearDown() override {
        if (host) {
            host->CloseWindow();
            EXPECT_EQ(host->events.callbacksEntered, host->events.callbacksReturned)
                << "a window callback never returned";
        }
        host.reset();
    }

    void Open() {
        std::string error;
        ASSERT_TRUE(host->OpenWindow(false, &error)) << error;
    }

    HWND Filter() const { return host->filterWindow; }
    HWND Control(WORD id) const { return GetDlgItem(host->filterWindow, id); }
    HWND Group() const { return GetWindow(host->filterWindow, GW_CHILD); }
    HWND Box(int index) const {
        HWND box = GetWindow(Group(), GW_CHILD);
        for (int i = 0; i < index && box != nullptr; ++i) {
            box = GetWindow(box, GW_HWNDNEXT);
        }
        return box;
    }
    HWND SizeBox() const { return FindSizeBox(host->filterWindow); }
    int32_t* Matrix() const { return static_cast<int32_t*>(host->record.extraData); }

    static std::string Text(HWND window) {
        char text[300] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
    void Type(int index, const char* text) { SetWindowTextA(Box(index), text); }

    // Presses a button the way a user would, so that its own notification
    // travels through the host's window to the module, and returns the
    // module's answer.
    int32_t Click(WORD id) {
        const size_t before = host->events.commandIds.size();
        SendMessageA(Control(id), BM_CLICK, 0, 0);
        EXPECT_EQ(host->events.commandIds.size(), before + 1) << "no command for " << id;
        EXPECT_EQ(host->events.callbacksEntered, host->events.callbacksReturned);
        return host->events.lastCommandResult;
    }

    bool BackEnabled() const { return IsWindowEnabled(Control(40003)) != 0; }
    bool ForwardEnabled() const { return IsWindowEnabled(Control(40004)) != 0; }

    // The 64 box texts equal the matrix.
    void ExpectBoxesShowMatrix() const {
        for (int i = 0; i < kMatrixEntries; ++i) {
            EXPECT_EQ(Text(Box(i)), std::to_string(Matrix()[i])) << "box " << i;
        }
    }

    std::unique_ptr<HostSession> host;
};

}  // namespace vardelk
