// The matrix history when memory runs out, and its lifecycle under
// LeakSanitizer: a repeated descriptor request, the window's destroy and a
// window opened again must neither leak nor leave a dangling current node.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/types.h"
#include "matrix/current_matrix.h"

#if defined(__SANITIZE_ADDRESS__)
#define VARDELK_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARDELK_LEAK_CHECK 1
#endif
#endif
#ifdef VARDELK_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace vardelk {
namespace {

// Fails exactly one allocation, the one with the given number (from 0).
struct FailOne {
    size_t allocationCount = 0;
    size_t failingAllocation = SIZE_MAX;

    SnapshotAllocator Allocator() { return {&Allocate, this}; }
    static void* Allocate(void* context, size_t bytes) {
        auto& self = *static_cast<FailOne*>(context);
        return self.allocationCount++ == self.failingAllocation ? nullptr : std::malloc(bytes);
    }
};

// Every link mutual, both ends right, the current node one of the list's.
void ExpectSoundHistory(const CurrentMatrix& matrix) {
    const SnapshotList* history = matrix.History();
    if (history == nullptr) {
        EXPECT_EQ(matrix.CurrentSnapshot(), nullptr);
        return;
    }
    const SnapshotNode* previous = nullptr;
    bool currentFound = matrix.CurrentSnapshot() == nullptr;
    for (const SnapshotNode* node = history->first; node != nullptr; node = node->next) {
        EXPECT_EQ(node->prev, previous);
        EXPECT_EQ(node->owner, history);
        currentFound = currentFound || node == matrix.CurrentSnapshot();
        previous = node;
    }
    EXPECT_EQ(history->last, previous);
    EXPECT_TRUE(currentFound) << "the current node is not in the history";
}

void ExpectNoLeak() {
#ifdef VARDELK_LEAK_CHECK
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer found unreachable memory";
#endif
}

class HistoryFaults : public ::testing::Test {
protected:
    void TearDown() override {
        matrix_.SetAllocator(SnapshotAllocator{});
        matrix_.EndHistory();
        ExpectNoLeak();
    }

    // What the editor does on Apply with a changed matrix: a snapshot right
    // after the current one, which becomes current when it could be made.
    void Apply(int32_t firstEntry) {
        matrix_.Entries()[0] = firstEntry;
        matrix_.Commit();
    }
    void ResetEntries() { std::memcpy(matrix_.Entries(), kDefaultIntraMatrix, kMatrixBytes); }

    FailOne failOne_;
    CurrentMatrix matrix_;
};

// A session of seeding and three applies with each of its allocations
// failing in turn: every failure loses exactly the snapshot being made and
// nothing else, and the session goes on.
TEST_F(HistoryFaults, EachFailedAllocationLosesOnlyItsOwnSnapshot) {
    // Seed: list, node, block; each apply: node, block.
    constexpr size_t kAllocations = 3 + 3 * 2;
    for (size_t failing = 0; failing < kAllocations; ++failing) {
        SCOPED_TRACE(failing);
        ResetEntries();
        failOne_ = FailOne{0, failing};
        matrix_.SetAllocator(failOne_.Allocator());
        matrix_.StartHistory();
        ExpectSoundHistory(matrix_);
        const bool seeded = matrix_.CurrentSnapshot() != nullptr;
        EXPECT_EQ(seeded, failing >= 3);
        for (int32_t entry : {100, 200, 300}) {
            Apply(entry);
            ExpectSoundHistory(matrix_);
        }
        // Without a list nothing else is tried; without a first node the
        // applies have nothing to follow and allocate nothing.
        const size_t expectedAllocations = seeded ? kAllocations : failing == 0 ? 1 : 3;
        EXPECT_EQ(failOne_.allocationCount, expectedAllocations) << "an allocation was skipped or repeated";
        // Applies without a current snapshot record nothing; otherwise only
        // the failed one is missing.
        EXPECT_EQ(matrix_.SnapshotCount(), seeded ? 3 : 0);
        if (seeded) {
            std::vector<int32_t> firstEntries;
            for (const SnapshotNode* node = matrix_.History()->first; node != nullptr; node = node->next) {
                int32_t entry;
                std::memcpy(&entry, node->data, sizeof entry);
                firstEntries.push_back(entry);
            }
            const size_t lostApply = (failing - 3) / 2;
            std::vector<int32_t> expectedEntries = {kDefaultIntraMatrix[0], 100, 200, 300};
            expectedEntries.erase(expectedEntries.begin() + static_cast<ptrdiff_t>(lostApply) + 1);
            EXPECT_EQ(firstEntries, expectedEntries);
            EXPECT_EQ(matrix_.CurrentSnapshot(), matrix_.History()->last);
        }
        matrix_.SetAllocator(SnapshotAllocator{});
        matrix_.EndHistory();
        ExpectNoLeak();
    }
}

// With no memory at all nothing is recorded, nothing crashes, and memory
// coming back makes the history work again.
TEST_F(HistoryFaults, NoMemoryAtAllThenRecovery) {
    matrix_.SetAllocator({[](void*, size_t) -> void* { return nullptr; }, nullptr});
    matrix_.StartHistory();
    EXPECT_EQ(matrix_.History(), nullptr);
    EXPECT_EQ(matrix_.CurrentSnapshot(), nullptr);
    Apply(5);
    matrix_.EndHistory();
    EXPECT_EQ(matrix_.History(), nullptr);

    matrix_.SetAllocator(SnapshotAllocator{});
    matrix_.StartHistory();
    Apply(6);
    EXPECT_EQ(matrix_.SnapshotCount(), 2);
    ExpectSoundHistory(matrix_);
}

// Descriptor requested twice, the window destroyed, opened again (a new
// seed) and destroyed again: nothing leaks at any step and nothing dangles.
TEST_F(HistoryFaults, LifecycleLeavesNoLeak) {
    matrix_.StartHistory();  // first descriptor request
    Apply(11);
    Apply(12);
    matrix_.StartHistory();  // second request replaces it all
    EXPECT_EQ(matrix_.SnapshotCount(), 1);
    ExpectNoLeak();
    Apply(13);

    matrix_.EndHistory();  // the window is destroyed
    EXPECT_EQ(matrix_.History(), nullptr);
    EXPECT_EQ(matrix_.CurrentSnapshot(), nullptr);
    matrix_.EndHistory();  // a second destroy does nothing
    ExpectNoLeak();

    matrix_.StartHistory();  // the window is opened again
    EXPECT_EQ(matrix_.SnapshotCount(), 1);
    EXPECT_EQ(std::memcmp(matrix_.CurrentSnapshot()->data, matrix_.Entries(), kMatrixBytes), 0)
        << "seeded from the current matrix";
    Apply(14);
    matrix_.EndHistory();
    ExpectNoLeak();
}

}  // namespace
}  // namespace vardelk
