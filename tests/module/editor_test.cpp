// The matrix editor's commands, history and lifetime, driven through the
// host's window with real messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/module/dll_fixture.h"

namespace vardelk {
namespace {

constexpr WORD kApply = 40001, kCancel = 40002, kBack = 40003, kForward = 40004, kShowSize = 40005;

class EditorTest : public DllTest {
protected:
    void SetUp() override {
        DllTest::SetUp();
        host->matrixChangedAnswer = 7;
        Open();
    }
    // Applies the current matrix with one entry changed; returns the result.
    int32_t ApplyEntry(int index, int value) {
        Type(index, std::to_string(value).c_str());
        return Click(kApply);
    }
    std::vector<int32_t> CurrentMatrix() const { return {Matrix(), Matrix() + kMatrixEntries}; }
};

TEST_F(EditorTest, ApplyClampsAndCorrectsOnlyOutOfRangeBoxes) {
    const char* typed[] = {"0", "", "5000", "99999999999999999999", "08", "-3", " 42abc", "x"};
    const char* shown[] = {"1", "1", "4095", "4095", "08", "1", " 42abc", "1"};
    const int32_t values[] = {1, 1, 4095, 4095, 8, 1, 42, 1};
    for (int i = 0; i < 8; ++i) {
        Type(i, typed[i]);  // WM_SETTEXT passes the 4-character typing limit
    }
    EXPECT_EQ(Click(kApply), 7);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(Text(Box(i)), shown[i]) << i;
        EXPECT_EQ(Matrix()[i], values[i]) << i;
    }
    EXPECT_EQ(std::memcmp(Matrix() + 8, kDefaultIntraMatrix + 8, 56 * 4), 0);
    EXPECT_EQ(host->events.matrixChangedCalls, 1);
    EXPECT_EQ(host->events.lastNotifyRecord, &host->record);
    EXPECT_TRUE(BackEnabled());
    EXPECT_FALSE(ForwardEnabled());
}

TEST_F(EditorTest, ApplyWithoutChangeRecordsNothingEvenAfterCorrections) {
    EXPECT_EQ(Click(kApply), 0);
    EXPECT_EQ(ApplyEntry(0, 1), 7);
    Type(0, "0");  // corrected to 1, which the current snapshot already holds
    EXPECT_EQ(Click(kApply), 0);
    EXPECT_EQ(Text(Box(0)), "1");
    EXPECT_EQ(host->events.matrixChangedCalls, 1);
    EXPECT_EQ(Click(kBack), 7);  // one step reaches the seed: nothing was added
    EXPECT_FALSE(BackEnabled());
}

TEST_F(EditorTest, BackForwardAndInsertionKeepTheHistoryOrder) {
    const auto s1 = CurrentMatrix();
    ApplyEntry(0, 100);
    const auto s2 = CurrentMatrix();
    ApplyEntry(0, 200);
    const auto s3 = CurrentMatrix();
    EXPECT_EQ(Click(kBack), 7);
    EXPECT_EQ(Click(kBack), 7);
    EXPECT_EQ(CurrentMatrix(), s1);
    ExpectBoxesShowMatrix();
    EXPECT_FALSE(BackEnabled());
    EXPECT_TRUE(ForwardEnabled());
    ApplyEntry(5, 300);  // S4 goes between S1 and S2
    const auto s4 = CurrentMatrix();
    EXPECT_TRUE(BackEnabled());
    EXPECT_TRUE(ForwardEnabled());
    Click(kForward);
    EXPECT_EQ(CurrentMatrix(), s2);
    ExpectBoxesShowMatrix();
    Click(kForward);
    EXPECT_EQ(CurrentMatrix(), s3);
    EXPECT_FALSE(ForwardEnabled());
    Click(kBack);
    Click(kBack);
    EXPECT_EQ(CurrentMatrix(), s4);
    Click(kBack);
    EXPECT_EQ(CurrentMatrix(), s1);
    EXPECT_EQ(host->events.matrixChangedCalls, 3 + 7);
}

TEST_F(EditorTest, NoStepPastEitherEnd) {
    EXPECT_EQ(host->SendCommand(kBack), 0);
    EXPECT_EQ(host->SendCommand(kForward), 0);
    ApplyEntry(0, 100);
    const auto applied = CurrentMatrix();
    EXPECT_EQ(host->SendCommand(kForward), 0);
    Click(kBack);
    EXPECT_EQ(host->SendCommand(kBack), 0);
    EXPECT_EQ(CurrentMatrix(), std::vector<int32_t>(kDefaultIntraMatrix, kDefaultIntraMatrix + 64));
    EXPECT_EQ(host->events.matrixChangedCalls, 2);
    Click(kForward);
    EXPECT_EQ(CurrentMatrix(), applied);
}

TEST_F(EditorTest, CancelRestoresEveryBoxAndTouchesNothingElse) {
    for (int i = 0; i < kMatrixEntries; i += 9) {
        Type(i, "77");
    }
    EXPECT_EQ(Click(kCancel), 0);
    ExpectBoxesShowMatrix();
    EXPECT_EQ(CurrentMatrix(), std::vector<int32_t>(kDefaultIntraMatrix, kDefaultIntraMatrix + 64));
    EXPECT_EQ(host->events.matrixChangedCalls, 0);
    EXPECT_FALSE(BackEnabled());
}

TEST_F(EditorTest, SizeReportIsShownBeforeTheHostIsTold) {
    EXPECT_EQ(host->SendCommand(kShowSize, 12345), 0);
    EXPECT_EQ(Text(SizeBox()), "12345");
    EXPECT_EQ(host->events.sizeShownCalls, 1);
    EXPECT_EQ(host->events.sizeTextAtNotify, "12345");
    host->SendCommand(kShowSize, -42);
    EXPECT_EQ(Text(SizeBox()), "-42");
    EXPECT_EQ(host->events.matrixChangedCalls, 0);
}

TEST_F(EditorTest, ControlNotificationsAreIgnored) {
    host->events.commandIds.clear();
    Type(3, "55");  // the boxes notify the group box, not the filter window
    EXPECT_TRUE(host->events.commandIds.empty());
    host->SendCommand(kShowSize, 9);  // the size box's own change notices carry id 0
    for (WORD id : host->events.commandIds) {
        EXPECT_TRUE(id == kShowSize || id == 0) << id;
    }
    EXPECT_EQ(host->SendCommand(40006), 0);
    EXPECT_EQ(host->SendCommand(0), 0);
    // Apply with a high word set still applies.
    Type(0, "9");
    SendMessageA(Filter(), WM_COMMAND, MAKEWPARAM(kApply, BN_CLICKED), 0);
    EXPECT_EQ(Matrix()[0], 9);
    EXPECT_EQ(host->events.matrixChangedCalls, 1);
}

TEST_F(EditorTest, KeyAndWheelMessagesReachTheOwnerUnchanged) {
    SendMessageA(Filter(), WM_KEYDOWN, VK_SPACE, 0x00390001);
    SendMessageA(Filter(), WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
    SendMessageA(Filter(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(10, 20));
    SendMessageA(Filter(), WM_CHAR, 'a', 1);
    const auto& got = host->events.ownerMessages;
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(got[0].wParam, static_cast<WPARAM>(VK_SPACE));
    EXPECT_EQ(got[0].lParam, 0x00390001);
    EXPECT_EQ(got[1].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(got[1].lParam, static_cast<LPARAM>(0xC0390001u));
    EXPECT_EQ(got[2].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(got[2].wParam, MAKEWPARAM(0, static_cast<WORD>(-120)));
    EXPECT_EQ(got[2].lParam, MAKELPARAM(10, 20));
}

TEST_F(EditorTest, SecondInitChangesNothing) {
    ApplyEntry(0, 100);
    int children = 0;
    for (HWND c = GetWindow(Filter(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++children;
    EXPECT_EQ(host->SendInit(), 0);
    int after = 0;
    for (HWND c = GetWindow(Filter(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++after;
    EXPECT_EQ(after, children);
    EXPECT_TRUE(BackEnabled());
    EXPECT_EQ(host->events.matrixChangedCalls, 1);
}

TEST_F(EditorTest, AfterDestroyCommandsDoNothingAndAReopenStartsAFreshHistory) {
    ApplyEntry(0, 100);
    const auto applied = CurrentMatrix();
    HWND old = Filter();
    host->CloseWindow();
    // The host may still deliver stray messages to the callback.
    const WORD commands[] = {kApply, kCancel, kBack, kForward, kShowSize};
    for (WORD id : commands) {
        EXPECT_EQ(host->record.windowCallback(old, WM_COMMAND, id, 5, nullptr, &host->record), 0);
    }
    EXPECT_EQ(host->record.windowCallback(old, WM_DESTROY, 0, 0, nullptr, &host->record), 0);
    EXPECT_EQ(CurrentMatrix(), applied);
    EXPECT_EQ(host->events.matrixChangedCalls, 1);
    EXPECT_EQ(host->events.sizeShownCalls, 0);
    Open();
    ExpectBoxesShowMatrix();
    EXPECT_FALSE(BackEnabled());  // the new history holds only the applied matrix
    EXPECT_FALSE(ForwardEnabled());
    EXPECT_EQ(ApplyEntry(1, 3), 7);
    EXPECT_EQ(Click(kBack), 7);
    EXPECT_EQ(CurrentMatrix(), applied);
}

class HostWroteMatrixTest : public DllTest {};

TEST_F(HostWroteMatrixTest, InitRecordsTheHostsMatrixAsSecondSnapshot) {
    Matrix()[63] = 99;  // the host restores saved extra data before the window
    host->matrixChangedAnswer = 5;
    Open();
    EXPECT_EQ(Text(Box(63)), "99");
    EXPECT_TRUE(BackEnabled());
    EXPECT_FALSE(ForwardEnabled());
    EXPECT_EQ(host->events.matrixChangedCalls, 0);
    EXPECT_EQ(Click(kBack), 5);
    EXPECT_EQ(Matrix()[63], kDefaultIntraMatrix[63]);
}

TEST_F(HostWroteMatrixTest, RepeatedTableCallStartsOneSnapshotOfTheCurrentMatrix) {
    Matrix()[0] = 50;
    auto getTable = reinterpret_cast<HostSession::TableFunction>(
        reinterpret_cast<void*>(GetProcAddress(host->Module(), "GetFilterTable")));
    EXPECT_EQ(getTable(), host->descriptor);
    Open();
    EXPECT_FALSE(BackEnabled());  // the seed already holds the written matrix
    EXPECT_EQ(host->SendCommand(kBack), 0);
}

}  // namespace
}  // namespace vardelk
