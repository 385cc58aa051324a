// The descriptor and the controls as an independent host reads them: raw
// words at their offsets, texts as code page 932 bytes, and every control's
// creation arguments as the window manager receives them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/module/dll_fixture.h"

namespace vardelk {
namespace {

uint32_t Word(const void* record, size_t offset) {
    uint32_t word;
    std::memcpy(&word, static_cast<const char*>(record) + offset, sizeof word);
    return word;
}
const char* TextAt(const void* record, size_t offset) { return reinterpret_cast<const char*>(Word(record, offset)); }
const uint32_t* WordsAt(const void* record, size_t offset) {
    return reinterpret_cast<const uint32_t*>(Word(record, offset));
}

const char kScale[] = "\x83\x58\x83\x50\x81\x5B\x83\x8B";  // スケール
const char* const kChecks[] = {
    "\x94\xF1\x90\xFC\x8C\x60\x83\x58\x83\x50\x81\x5B\x83\x8B",                          // 非線形スケール
    "\x83\x49\x83\x8B\x83\x5E\x83\x6C\x81\x5B\x83\x67\x83\x58\x83\x4C\x83\x83\x83\x93",  // オルタネートスキャン
    "\x83\x43\x83\x93\x83\x5E\x83\x8C\x81\x5B\x83\x58"
    "DCT",                               // インタレースDCT
    "\x83\x8D\x83\x4F\x8F\x6F\x97\xCD",  // ログ出力
};

TEST_F(DllTest, DescriptorWordsSitAtTheirOffsets) {
    const void* d = host->descriptor;
    EXPECT_EQ(Word(d, 0x00), 0x00084400u);
    EXPECT_EQ(Word(d, 0x04), 320u);
    EXPECT_EQ(Word(d, 0x08), 450u);
    EXPECT_STREQ(TextAt(d, 0x0C), "Vardelk");
    EXPECT_EQ(Word(d, 0x10), 1u);
    EXPECT_STREQ(reinterpret_cast<const char* const*>(Word(d, 0x14))[0], kScale);
    EXPECT_EQ(WordsAt(d, 0x18)[0], 1u);
    EXPECT_EQ(WordsAt(d, 0x1C)[0], 1u);
    EXPECT_EQ(WordsAt(d, 0x20)[0], 31u);
    EXPECT_EQ(Word(d, 0x24), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(reinterpret_cast<const char* const*>(Word(d, 0x28))[i], kChecks[i]);
        EXPECT_EQ(WordsAt(d, 0x2C)[i], 0u);
    }
    EXPECT_NE(Word(d, 0x30), 0u);
    EXPECT_EQ(Word(d, 0x34) | Word(d, 0x38) | Word(d, 0x3C), 0u);
    EXPECT_NE(Word(d, 0x40), 0u);
    EXPECT_EQ(Word(d, 0x44) | Word(d, 0x48), 0u);
    EXPECT_EQ(std::memcmp(WordsAt(d, 0x4C), kDefaultIntraMatrix, 256), 0);
    EXPECT_EQ(Word(d, 0x50), 256u);
    EXPECT_STREQ(TextAt(d, 0x54), "Ver 0.3.3 by Kelmora");
    for (size_t offset = 0x58; offset < 0x8C; offset += 4) {
        EXPECT_EQ(Word(d, offset), 0u) << "offset " << offset;
    }
}

TEST_F(DllTest, OneUndecoratedExportReturningTheSameDescriptor) {
    HMODULE module = host->Module();
    ASSERT_NE(module, nullptr);
    auto getTable =
        reinterpret_cast<HostSession::TableFunction>(reinterpret_cast<void*>(GetProcAddress(module, "GetFilterTable")));
    ASSERT_NE(getTable, nullptr);
    EXPECT_EQ(GetProcAddress(module, "_GetFilterTable@0"), nullptr);
    EXPECT_EQ(getTable(), host->descriptor);
    // The export table holds exactly one name.
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const DWORD exportRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + exportRva);
    EXPECT_EQ(exports->NumberOfNames, 1u);
    EXPECT_EQ(exports->NumberOfFunctions, 1u);
}

// Creation arguments of every window made while the hook is set.
struct Creation {
    std::string className, text;
    LONG style;
    DWORD exStyle;
    int x, y, width, height;
    HWND parent;
    UINT_PTR id;
    HINSTANCE instance;
};
std::vector<Creation>* creations = nullptr;

LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && creations != nullptr) {
        const CREATESTRUCTA* cs = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        char className[64] = "";
        GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className);
        // Only controls count; the system may make helper windows of its own.
        const char* const controls[] = {"Button", "Static", "Edit"};
        bool isControl = false;
        for (const char* name : controls) {
            isControl = isControl || lstrcmpiA(className, name) == 0;
        }
        if (!isControl) {
            return CallNextHookEx(nullptr, code, wParam, lParam);
        }
        creations->push_back({className, cs->lpszName ? cs->lpszName : "", cs->style, cs->dwExStyle, cs->x, cs->y,
                              cs->cx, cs->cy, cs->hwndParent, reinterpret_cast<UINT_PTR>(cs->hMenu), cs->hInstance});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct Expected {
    const char* className;
    const char* text;
    LONG style;
    DWORD exStyle;
    int x, y, width, height;
    UINT_PTR id;
};
const Expected kFrameControls[] = {
    {"Button",
     "\x83\x43\x83\x93\x83\x67\x83\x89\x83\x75\x83\x8D\x83\x62\x83\x4E\x97\x70\x97\xCA\x8E\x71\x89\xBB\x8D\x73\x97\xF1",  // イントラブロック用量子化行列
     0x50000007, 0, 7, 124, 300, 260, 0},
    {"Button", "\x93\x4B\x97\x70", 0x50000000, 0, 150, 354, 70, 22, 40001},             // 適用
    {"Button", "\x8E\xE6\x8F\xC1", 0x50000000, 0, 226, 354, 70, 22, 40002},             // 取消
    {"Button", "\x81\xA9", 0x58000000, 0, 16, 354, 26, 22, 40003},                      // ←
    {"Button", "\x81\xA8", 0x58000000, 0, 46, 354, 26, 22, 40004},                      // →
    {"Static", "\x83\x54\x83\x43\x83\x59\x81\x46", 0x50000002, 0, 16, 397, 60, 20, 0},  // サイズ：
};

void ExpectCreation(const Creation& got, const Expected& want, HWND parent, HINSTANCE instance) {
    EXPECT_EQ(lstrcmpiA(got.className.c_str(), want.className), 0) << got.className;
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.style, want.style) << want.text;
    EXPECT_EQ(got.exStyle, want.exStyle) << want.text;
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.parent, parent);
    EXPECT_EQ(got.instance, instance);
}

TEST_F(DllTest, ControlsAreCreatedInOrderWithTheirClassesStylesAndPlaces) {
    std::vector<Creation> made;
    creations = &made;
    HHOOK hook = SetWindowsHookExA(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId());
    Open();
    UnhookWindowsHookEx(hook);
    creations = nullptr;
    ASSERT_EQ(made.size(), 6u + 64u + 1u);
    const HINSTANCE instance = host->record.instanceHandle;
    for (int k = 0; k < 6; ++k) {
        ExpectCreation(made[k], kFrameControls[k], Filter(), instance);
    }
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
            const std::string text = "QuantizerMatrix" + std::to_string(i) + std::to_string(j);
            const Expected box = {"Edit", text.c_str(), 0x50002082, 0x200, 8 + 36 * j, 20 + 26 * i, 30, 20, 0};
            ExpectCreation(made[6 + i * 8 + j], box, Group(), instance);
        }
    }
    ExpectCreation(made[70], {"Edit", "0", 0x50002802, 0x200, 84, 394, 220, 20, 0}, Filter(), instance);
}

void ExpectFont(HWND control, int height) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    LOGFONTA f{};
    ASSERT_EQ(GetObjectA(font, sizeof f, &f), static_cast<int>(sizeof f));
    EXPECT_EQ(f.lfHeight, height);
    EXPECT_EQ(f.lfWidth, 0);
    EXPECT_EQ(f.lfEscapement | f.lfOrientation, 0);
    EXPECT_EQ(f.lfWeight, 500);
    EXPECT_EQ(f.lfItalic | f.lfUnderline | f.lfStrikeOut, 0);
    EXPECT_EQ(f.lfCharSet, 128);
    EXPECT_EQ(f.lfOutPrecision | f.lfClipPrecision, 0);
    EXPECT_EQ(f.lfQuality, 2);
    EXPECT_EQ(f.lfPitchAndFamily, 48);
    EXPECT_STREQ(f.lfFaceName, "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E");  // ＭＳ Ｐゴシック
}

TEST_F(DllTest, InitShowsTheMatrixWithFontsLimitsAndDisabledHistoryButtons) {
    Open();
    for (HWND c = GetWindow(Filter(), GW_CHILD); c != SizeBox(); c = GetWindow(c, GW_HWNDNEXT)) {
        ExpectFont(c, 12);
    }
    ExpectFont(SizeBox(), 14);
    for (int i = 0; i < kMatrixEntries; ++i) {
        ExpectFont(Box(i), 14);
        EXPECT_EQ(SendMessageA(Box(i), EM_GETLIMITTEXT, 0, 0), 4);
    }
    ExpectBoxesShowMatrix();
    EXPECT_EQ(Text(SizeBox()), "0");
    EXPECT_FALSE(BackEnabled());
    EXPECT_FALSE(ForwardEnabled());
    EXPECT_EQ(host->events.matrixChangedCalls, 0);
    EXPECT_EQ(host->events.sizeShownCalls, 0);
}

}  // namespace
}  // namespace vardelk
