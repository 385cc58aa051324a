// The matrix editor's commands on its portable parts: the module's one
// history, the current snapshot, the box-text reader and the matrix. The
// window itself needs USER32, so this target drives the same steps that the
// window performs for each command (init, Apply with arbitrary box texts,
// Cancel, back, forward, destroy, a repeated descriptor request, the host
// overwriting the matrix), with allocations failing where the input says,
// and checks after every command that the history is sound, that the
// current snapshot belongs to it and that Apply leaves a matrix in 1..4095.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/types.h"
#include "editor/box_value.h"
#include "editor/current_matrix.h"
#include "editor/matrix_history.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace vardelk;

// The box reader as a user would describe it: blanks, a sign, digits, and a
// value that saturates at the 32-bit limits.
int32_t ExpectedBoxValue(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) != nullptr && text[i] != '\0') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min<int64_t>(magnitude * 10 + (text[i] - '0'), int64_t{1} << 40);
    }
    const int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

struct Editor {
    bool built = false;
    std::string boxes[kMatrixEntries];
};

bool SameAsSnapshot(const HistoryNode* node) {
    return node != nullptr && std::memcmp(IntraMatrix, node->data, kMatrixBytes) == 0;
}

void RecordSnapshot() {
    HistoryNode* added = HistoryInsertAfter(CurrentNode, IntraMatrix, kMatrixBytes);
    if (added != nullptr) CurrentNode = added;
}

void RefreshBoxes(Editor& editor) {
    for (int i = 0; i < kMatrixEntries; ++i) editor.boxes[i] = std::to_string(IntraMatrix[i]);
}

// History and CurrentNode are null together, or CurrentNode is a node of a
// well-linked History.
void CheckHistory() {
    if (History == nullptr) {
        FUZZ_CHECK(CurrentNode == nullptr);
        return;
    }
    FUZZ_CHECK((History->first == nullptr) == (History->last == nullptr));
    bool currentFound = CurrentNode == nullptr;
    const HistoryNode* previous = nullptr;
    size_t count = 0;
    for (const HistoryNode* node = History->first; node != nullptr; node = node->next) {
        FUZZ_CHECK(node->owner == History && node->prev == previous && node->data != nullptr);
        currentFound = currentFound || node == CurrentNode;
        previous = node;
        FUZZ_CHECK(++count <= 1u << 20);
    }
    FUZZ_CHECK(previous == History->last);
    FUZZ_CHECK(currentFound);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider provider(input, size);
    vardelk::fuzz::ResetFlakyAllocator(0);
    SetHistoryAllocator(vardelk::fuzz::FlakyAllocate);
    std::memcpy(IntraMatrix, kDefaultIntraMatrix, kMatrixBytes);

    Editor editor;
    HistorySeed(IntraMatrix, kMatrixBytes);  // the host asks for the descriptor
    int steps = 0;
    while (provider.remaining_bytes() > 0 && steps++ < 200) {
        const int command = provider.ConsumeIntegralInRange<int>(0, 9);
        switch (command) {
            case 0:
                vardelk::fuzz::g_failurePattern = provider.ConsumeIntegral<uint64_t>();
                break;
            case 1:  // a repeated descriptor request replaces the history
                HistorySeed(IntraMatrix, kMatrixBytes);
                break;
            case 2:  // the host's init message
                if (editor.built) break;
                if (History == nullptr) HistorySeed(IntraMatrix, kMatrixBytes);
                editor.built = true;
                RefreshBoxes(editor);
                if (!SameAsSnapshot(CurrentNode)) RecordSnapshot();
                break;
            case 3: {  // the user types into a box (box texts are short)
                const size_t box = provider.ConsumeIntegralInRange<size_t>(0, kMatrixEntries - 1);
                editor.boxes[box] = provider.ConsumeRandomLengthString(64);
                break;
            }
            case 4: {  // Apply
                if (!editor.built) break;
                for (int i = 0; i < kMatrixEntries; ++i) {
                    const std::string& text = editor.boxes[i];
                    const int32_t typed = ParseBoxText(text.c_str());
                    FUZZ_CHECK(typed == ExpectedBoxValue(text.substr(0, std::strlen(text.c_str()))));
                    const int32_t value = ClampMatrixEntry(typed);
                    FUZZ_CHECK(value >= kMinMatrixEntry && value <= kMaxMatrixEntry);
                    FUZZ_CHECK(value == typed || typed < kMinMatrixEntry || typed > kMaxMatrixEntry);
                    IntraMatrix[i] = value;
                    if (value != typed) editor.boxes[i] = std::to_string(value);
                }
                if (!SameAsSnapshot(CurrentNode)) {
                    const HistoryNode* before = CurrentNode;
                    RecordSnapshot();
                    // Either recorded right after the old current snapshot, or nothing changed.
                    if (CurrentNode != before) {
                        FUZZ_CHECK(CurrentNode->prev == before);
                        FUZZ_CHECK(SameAsSnapshot(CurrentNode));
                    }
                }
                break;
            }
            case 5:  // Cancel
                if (editor.built) RefreshBoxes(editor);
                break;
            case 6:    // back
            case 7: {  // forward
                if (!editor.built || CurrentNode == nullptr) break;
                HistoryNode* target = command == 6 ? CurrentNode->prev : CurrentNode->next;
                if (target == nullptr) break;  // nothing past either end
                CurrentNode = target;
                std::memcpy(IntraMatrix, CurrentNode->data, kMatrixBytes);
                RefreshBoxes(editor);
                break;
            }
            case 8:  // the window is destroyed
                HistoryRelease();
                editor = Editor{};
                FUZZ_CHECK(History == nullptr && CurrentNode == nullptr);
                break;
            default: {  // the host restores extra data of its own
                for (int32_t& entry : IntraMatrix) entry = provider.ConsumeIntegral<int32_t>();
                break;
            }
        }
        CheckHistory();
    }
    HistoryRelease();
    SetHistoryAllocator(nullptr);
    return 0;
}
