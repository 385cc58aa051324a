// The matrix editor's commands on its portable parts: the current matrix
// with its history and the box-text reader. The window itself needs USER32,
// so this target drives the same steps that the window performs for each
// command (init, Apply with arbitrary box texts, Cancel, back, forward,
// destroy, a repeated descriptor request, the host overwriting the matrix),
// with allocations failing where the input says, and checks after every
// command that the history is sound, that the current snapshot belongs to
// it, that steps and commits do what they say and that Apply leaves a
// matrix in 1..4095.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/types.h"
#include "fuzz/fuzz_support.h"
#include "matrix/box_value.h"
#include "matrix/current_matrix.h"

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

bool SameAsSnapshot(const CurrentMatrix& matrix, const SnapshotNode* node) {
    return node != nullptr && std::memcmp(matrix.Entries(), node->data, kMatrixBytes) == 0;
}

void RefreshBoxes(const CurrentMatrix& matrix, Editor& editor) {
    for (int i = 0; i < kMatrixEntries; ++i) editor.boxes[i] = std::to_string(matrix.Entries()[i]);
}

// No history and no current snapshot, or a well-linked history that holds
// the current snapshot at the position it reports.
void CheckHistory(const CurrentMatrix& matrix) {
    const SnapshotList* history = matrix.History();
    const SnapshotNode* current = matrix.CurrentSnapshot();
    FUZZ_CHECK((matrix.Position() == 0) == (current == nullptr));
    if (history == nullptr) {
        FUZZ_CHECK(current == nullptr && matrix.SnapshotCount() == 0);
        return;
    }
    FUZZ_CHECK((history->first == nullptr) == (history->last == nullptr));
    int32_t currentAt = current == nullptr ? 0 : -1;
    const SnapshotNode* previous = nullptr;
    int32_t count = 0;
    for (const SnapshotNode* node = history->first; node != nullptr; node = node->next) {
        FUZZ_CHECK(node->owner == history && node->prev == previous && node->data != nullptr);
        ++count;
        if (node == current) currentAt = count;
        previous = node;
        FUZZ_CHECK(count <= 1 << 20);
    }
    FUZZ_CHECK(previous == history->last);
    FUZZ_CHECK(currentAt == matrix.Position());
    FUZZ_CHECK(count == matrix.SnapshotCount());
    FUZZ_CHECK(matrix.CanStepBack() == (current != nullptr && current != history->first));
    FUZZ_CHECK(matrix.CanStepForward() == (current != nullptr && current != history->last));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider provider(input, size);
    vardelk::fuzz::FlakyAllocator flaky;
    CurrentMatrix matrix({&vardelk::fuzz::FlakyAllocator::Allocate, &flaky});

    Editor editor;
    matrix.StartHistory();  // the host asks for the descriptor
    int steps = 0;
    while (provider.remaining_bytes() > 0 && steps++ < 200) {
        const int command = provider.ConsumeIntegralInRange<int>(0, 9);
        switch (command) {
            case 0:
                flaky.failurePattern = provider.ConsumeIntegral<uint64_t>();
                break;
            case 1:  // a repeated descriptor request replaces the history
                matrix.StartHistory();
                break;
            case 2:  // the host's init message
                if (editor.built) break;
                if (!matrix.HasHistory()) matrix.StartHistory();
                editor.built = true;
                RefreshBoxes(matrix, editor);
                matrix.Commit();
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
                    matrix.Entries()[i] = value;
                    if (value != typed) editor.boxes[i] = std::to_string(value);
                }
                const SnapshotNode* before = matrix.CurrentSnapshot();
                const bool unchanged = SameAsSnapshot(matrix, before);
                FUZZ_CHECK(matrix.Commit() == !unchanged);
                // Either recorded right after the old current snapshot, or nothing changed.
                if (matrix.CurrentSnapshot() != before) {
                    FUZZ_CHECK(matrix.CurrentSnapshot()->prev == before);
                    FUZZ_CHECK(SameAsSnapshot(matrix, matrix.CurrentSnapshot()));
                }
                break;
            }
            case 5:  // Cancel
                if (editor.built) RefreshBoxes(matrix, editor);
                break;
            case 6:    // back
            case 7: {  // forward
                if (!editor.built) break;
                const SnapshotNode* current = matrix.CurrentSnapshot();
                const SnapshotNode* target = nullptr;
                if (current != nullptr) target = command == 6 ? current->prev : current->next;
                const bool stepped = command == 6 ? matrix.StepBack() : matrix.StepForward();
                FUZZ_CHECK(stepped == (target != nullptr));  // nothing past either end
                FUZZ_CHECK(matrix.CurrentSnapshot() == (stepped ? target : current));
                if (stepped) {
                    FUZZ_CHECK(SameAsSnapshot(matrix, target));
                    RefreshBoxes(matrix, editor);
                }
                break;
            }
            case 8:  // the window is destroyed
                matrix.EndHistory();
                editor = Editor{};
                FUZZ_CHECK(!matrix.HasHistory() && matrix.CurrentSnapshot() == nullptr);
                break;
            default: {  // the host restores extra data of its own
                for (int i = 0; i < kMatrixEntries; ++i) matrix.Entries()[i] = provider.ConsumeIntegral<int32_t>();
                break;
            }
        }
        CheckHistory(matrix);
    }
    return 0;
}
