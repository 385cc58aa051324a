// The snapshot history when memory runs out, and its lifecycle under
// LeakSanitizer: a repeated descriptor request, the window's destroy and a
// window opened again must neither leak nor leave a dangling current node.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/types.h"
#include "editor/matrix_history.h"

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
size_t g_allocationCount = 0;
size_t g_failingAllocation = SIZE_MAX;

void* FailOne(size_t bytes) { return g_allocationCount++ == g_failingAllocation ? nullptr : std::malloc(bytes); }

size_t CountNodes() {
    size_t count = 0;
    for (const HistoryNode* node = History != nullptr ? History->first : nullptr; node != nullptr; node = node->next) {
        ++count;
    }
    return count;
}

// Every link mutual, both ends right, the current node one of the list's.
void ExpectSoundHistory() {
    if (History == nullptr) {
        EXPECT_EQ(CurrentNode, nullptr);
        return;
    }
    const HistoryNode* previous = nullptr;
    bool currentFound = CurrentNode == nullptr;
    for (const HistoryNode* node = History->first; node != nullptr; node = node->next) {
        EXPECT_EQ(node->prev, previous);
        EXPECT_EQ(node->owner, History);
        currentFound = currentFound || node == CurrentNode;
        previous = node;
    }
    EXPECT_EQ(History->last, previous);
    EXPECT_TRUE(currentFound) << "the current node is not in the history";
}

void ExpectNoLeak() {
#ifdef VARDELK_LEAK_CHECK
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer found unreachable memory";
#endif
}

class HistoryFaults : public ::testing::Test {
protected:
    void SetUp() override { std::memcpy(matrix_, kDefaultIntraMatrix, sizeof matrix_); }
    void TearDown() override {
        SetHistoryAllocator(nullptr);
        HistoryRelease();
        ExpectNoLeak();
    }

    // What the editor does on Apply with a changed matrix: a snapshot right
    // after the current one, which becomes current when it could be made.
    void Apply(int32_t firstEntry) {
        matrix_[0] = firstEntry;
        HistoryNode* added = HistoryInsertAfter(CurrentNode, matrix_, kMatrixBytes);
        if (added != nullptr) CurrentNode = added;
    }

    int32_t matrix_[kMatrixEntries];
};

// A session of seeding and three applies with each of its allocations
// failing in turn: every failure loses exactly the snapshot being made and
// nothing else, and the session goes on.
TEST_F(HistoryFaults, EachFailedAllocationLosesOnlyItsOwnSnapshot) {
    // Seed: list, node, block; each apply: node, block.
    constexpr size_t kAllocations = 3 + 3 * 2;
    for (size_t failing = 0; failing < kAllocations; ++failing) {
        SCOPED_TRACE(failing);
        std::memcpy(matrix_, kDefaultIntraMatrix, sizeof matrix_);
        g_allocationCount = 0;
        g_failingAllocation = failing;
        SetHistoryAllocator(FailOne);
        HistorySeed(matrix_, kMatrixBytes);
        ExpectSoundHistory();
        const bool seeded = CurrentNode != nullptr;
        EXPECT_EQ(seeded, failing >= 3);
        for (int32_t entry : {100, 200, 300}) {
            Apply(entry);
            ExpectSoundHistory();
        }
        // Without a list nothing else is tried; without a first node the
        // applies have nothing to follow and allocate nothing.
        const size_t expectedAllocations = seeded ? kAllocations : failing == 0 ? 1 : 3;
        EXPECT_EQ(g_allocationCount, expectedAllocations) << "an allocation was skipped or repeated";
        // Applies without a current snapshot record nothing; otherwise only
        // the failed one is missing.
        const size_t expected = seeded ? 3 : 0;
        EXPECT_EQ(CountNodes(), expected);
        if (seeded) {
            std::vector<int32_t> firstEntries;
            for (const HistoryNode* node = History->first; node != nullptr; node = node->next) {
                int32_t entry;
                std::memcpy(&entry, node->data, sizeof entry);
                firstEntries.push_back(entry);
            }
            const size_t lostApply = (failing - 3) / 2;
            std::vector<int32_t> expectedEntries = {kDefaultIntraMatrix[0], 100, 200, 300};
            expectedEntries.erase(expectedEntries.begin() + static_cast<ptrdiff_t>(lostApply) + 1);
            EXPECT_EQ(firstEntries, expectedEntries);
            EXPECT_EQ(CurrentNode, History->last);
        }
        SetHistoryAllocator(nullptr);
        HistoryRelease();
        ExpectNoLeak();
    }
}

// With no memory at all nothing is recorded, nothing crashes, and memory
// coming back makes the history work again.
TEST_F(HistoryFaults, NoMemoryAtAllThenRecovery) {
    SetHistoryAllocator([](size_t) -> void* { return nullptr; });
    HistorySeed(matrix_, kMatrixBytes);
    EXPECT_EQ(History, nullptr);
    EXPECT_EQ(CurrentNode, nullptr);
    Apply(5);
    HistoryRelease();
    EXPECT_EQ(History, nullptr);

    SetHistoryAllocator(nullptr);
    HistorySeed(matrix_, kMatrixBytes);
    Apply(6);
    EXPECT_EQ(CountNodes(), 2u);
    ExpectSoundHistory();
}

// Descriptor requested twice, the window destroyed, opened again (a new
// seed) and destroyed again: nothing leaks at any step and nothing dangles.
TEST_F(HistoryFaults, LifecycleLeavesNoLeak) {
    HistorySeed(matrix_, kMatrixBytes);  // first descriptor request
    Apply(11);
    Apply(12);
    HistorySeed(matrix_, kMatrixBytes);  // second request replaces it all
    EXPECT_EQ(CountNodes(), 1u);
    ExpectNoLeak();
    Apply(13);

    HistoryRelease();  // the window is destroyed
    EXPECT_EQ(History, nullptr);
    EXPECT_EQ(CurrentNode, nullptr);
    HistoryRelease();  // a second destroy does nothing
    ExpectNoLeak();

    HistorySeed(matrix_, kMatrixBytes);  // the window is opened again
    EXPECT_EQ(CountNodes(), 1u);
    EXPECT_EQ(std::memcmp(CurrentNode->data, matrix_, kMatrixBytes), 0) << "seeded from the current matrix";
    Apply(14);
    HistoryRelease();
    ExpectNoLeak();
}

}  // namespace
}  // namespace vardelk
