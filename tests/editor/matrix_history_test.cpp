#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "matrix/current_matrix.h"
#include "matrix/snapshot_list.h"

namespace vardelk {
namespace {

// Memory that runs out after a chosen number of allocations, to reach the
// out-of-memory paths; every test has its own.
struct LimitedMemory {
    int allocationsLeft = -1;  // negative: no limit

    SnapshotAllocator Allocator() { return {&Allocate, this}; }
    static void* Allocate(void* context, size_t bytes) {
        int& left = static_cast<LimitedMemory*>(context)->allocationsLeft;
        if (left == 0) {
            return nullptr;
        }
        if (left > 0) {
            --left;
        }
        return std::malloc(bytes);
    }
};

class SnapshotListTest : public ::testing::Test {
protected:
    void SetUp() override {
        list = SnapshotListCreate(memory.Allocator());
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override { SnapshotListDestroy(list); }

    // Values of the nodes front to back, checking every link on the way.
    std::vector<int> Walk() const {
        std::vector<int> values;
        const SnapshotNode* prev = nullptr;
        for (const SnapshotNode* n = list->first; n != nullptr; n = n->next) {
            EXPECT_EQ(n->prev, prev);
            EXPECT_EQ(n->owner, list);
            int value;
            std::memcpy(&value, n->data, sizeof value);
            values.push_back(value);
            prev = n;
        }
        EXPECT_EQ(list->last, prev);
        return values;
    }

    SnapshotNode* Insert(SnapshotNode* after, int value) {
        return SnapshotListInsertAfter(after, &value, sizeof value);
    }
    void Push(int value) { SnapshotListPushFront(list, &value, sizeof value); }

    LimitedMemory memory;
    SnapshotList* list = nullptr;
};

TEST_F(SnapshotListTest, PushFrontBuildsTheListFromTheFront) {
    EXPECT_EQ(SnapshotListPushFront(list, "x", 1), list);
    EXPECT_EQ(list->first, list->last);
    SnapshotListPopFront(list);
    Push(3);
    Push(2);
    Push(1);
    EXPECT_EQ(Walk(), (std::vector<int>{1, 2, 3}));
}

TEST_F(SnapshotListTest, InsertAfterKeepsTheFollowingNodesBehindTheNewOne) {
    Push(1);
    SnapshotNode* last = Insert(list->first, 3);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(list->last, last);
    SnapshotNode* middle = Insert(list->first, 2);
    EXPECT_EQ(list->last, last);
    EXPECT_EQ(middle->next, last);
    Insert(last, 4);
    EXPECT_EQ(Walk(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(SnapshotListTest, SnapshotsAreIndependentCopies) {
    int matrix[64] = {7};
    SnapshotListPushFront(list, matrix, sizeof matrix);
    matrix[0] = 9;
    Insert(list->first, 5);
    matrix[0] = 11;
    EXPECT_EQ(Walk(), (std::vector<int>{7, 5}));
}

TEST_F(SnapshotListTest, NullArgumentsAreIgnored) {
    int value = 1;
    EXPECT_EQ(SnapshotListInsertAfter(nullptr, &value, sizeof value), nullptr);
    Push(1);
    EXPECT_EQ(SnapshotListInsertAfter(list->first, nullptr, sizeof value), nullptr);
    SnapshotListRemove(nullptr);
    SnapshotListPopFront(nullptr);
    SnapshotListClear(nullptr);
    SnapshotListDestroy(nullptr);
    EXPECT_EQ(Walk(), (std::vector<int>{1}));
}

TEST_F(SnapshotListTest, RemovalRelinksBothNeighboursAndEnds) {
    Push(1);
    SnapshotNode* two = Insert(list->first, 2);
    SnapshotNode* three = Insert(two, 3);
    Insert(three, 4);
    SnapshotListRemove(two);
    EXPECT_EQ(Walk(), (std::vector<int>{1, 3, 4}));
    SnapshotListRemove(list->last);
    EXPECT_EQ(Walk(), (std::vector<int>{1, 3}));
    SnapshotListPopFront(list);
    SnapshotListPopFront(list);
    EXPECT_EQ(list->first, nullptr);
    EXPECT_EQ(list->last, nullptr);
    SnapshotListPopFront(list);  // empty: nothing to do
    SnapshotListClear(list);
    EXPECT_TRUE(Walk().empty());
}

TEST_F(SnapshotListTest, ClearFreesEveryNode) {
    Push(1);
    for (int i = 2; i < 100; ++i) {
        Insert(list->last, i);
    }
    SnapshotListClear(list);
    EXPECT_EQ(list->first, nullptr);
    EXPECT_EQ(list->last, nullptr);
    // The leak checker of the sanitizer build proves the nodes are gone.
}

TEST_F(SnapshotListTest, FailedAllocationLeavesTheListIntact) {
    Push(1);
    Insert(list->first, 2);
    for (int failAt = 0; failAt < 2; ++failAt) {
        memory.allocationsLeft = failAt;  // fail the node or the data block
        EXPECT_EQ(Insert(list->first, 9), nullptr);
        Push(8);
        EXPECT_EQ(Walk(), (std::vector<int>{1, 2}));
    }
    memory.allocationsLeft = 0;
    EXPECT_EQ(SnapshotListCreate(memory.Allocator()), nullptr);
    memory.allocationsLeft = -1;
    EXPECT_NE(Insert(list->first, 3), nullptr);
    EXPECT_EQ(Walk(), (std::vector<int>{1, 3, 2}));
}

// Every list has its own allocator: one failing leaves the others alone.
TEST_F(SnapshotListTest, EachListAllocatesThroughItsOwnAllocator) {
    SnapshotList* plain = SnapshotListCreate(SnapshotAllocator{});
    ASSERT_NE(plain, nullptr);
    memory.allocationsLeft = 0;
    Push(1);
    int value = 2;
    SnapshotListPushFront(plain, &value, sizeof value);
    EXPECT_TRUE(Walk().empty());
    ASSERT_NE(plain->first, nullptr);
    EXPECT_EQ(plain->first->owner, plain);
    SnapshotListDestroy(plain);
}

// The matrix in effect and its history, as the editors use them.
class CurrentMatrixTest : public ::testing::Test {
protected:
    // Sets entry 0 and commits; returns Commit's answer.
    bool Apply(int32_t entry) {
        matrix.Entries()[0] = entry;
        return matrix.Commit();
    }
    // Entry 0 of every snapshot, front to back, checking the links.
    std::vector<int32_t> Snapshots() const {
        std::vector<int32_t> entries;
        const SnapshotList* history = matrix.History();
        const SnapshotNode* prev = nullptr;
        for (const SnapshotNode* n = history != nullptr ? history->first : nullptr; n != nullptr; n = n->next) {
            EXPECT_EQ(n->prev, prev);
            int32_t entry;
            std::memcpy(&entry, n->data, sizeof entry);
            entries.push_back(entry);
            prev = n;
        }
        if (history != nullptr) {
            EXPECT_EQ(history->last, prev);
        }
        return entries;
    }

    LimitedMemory memory;
    CurrentMatrix matrix{memory.Allocator()};
};

TEST_F(CurrentMatrixTest, StartsAsTheDefaultMatrixWithoutAHistory) {
    EXPECT_EQ(std::memcmp(matrix.Entries(), kDefaultIntraMatrix, kMatrixBytes), 0);
    EXPECT_FALSE(matrix.HasHistory());
    EXPECT_EQ(matrix.Position(), 0);
    EXPECT_FALSE(matrix.StepBack());
    EXPECT_TRUE(Apply(5)) << "a change, though there is no history to record it";
    EXPECT_TRUE(Snapshots().empty());
}

TEST_F(CurrentMatrixTest, StartHistoryKeepsOneCurrentSnapshotAndFreesTheOldHistory) {
    matrix.Entries()[0] = 5;
    matrix.StartHistory();
    ASSERT_TRUE(matrix.HasHistory());
    EXPECT_TRUE(Apply(7));
    matrix.StartHistory();  // the old list must not leak
    EXPECT_EQ(Snapshots(), (std::vector<int32_t>{7}));
    EXPECT_EQ(matrix.CurrentSnapshot(), matrix.History()->first);
    EXPECT_EQ(matrix.Position(), 1);
    EXPECT_EQ(matrix.SnapshotCount(), 1);
    matrix.EndHistory();
    EXPECT_FALSE(matrix.HasHistory());
    EXPECT_EQ(matrix.CurrentSnapshot(), nullptr);
    EXPECT_EQ(matrix.SnapshotCount(), 0);
}

TEST_F(CurrentMatrixTest, CommitRecordsOnlyChangesRightAfterTheCurrentSnapshot) {
    matrix.StartHistory();
    const int32_t first = matrix.Entries()[0];
    EXPECT_FALSE(matrix.Commit()) << "the seed already holds the matrix";
    EXPECT_TRUE(Apply(100));
    EXPECT_TRUE(Apply(200));
    EXPECT_FALSE(Apply(200));
    EXPECT_TRUE(matrix.StepBack());
    EXPECT_EQ(matrix.Entries()[0], 100);
    EXPECT_TRUE(matrix.StepBack());
    EXPECT_EQ(matrix.Entries()[0], first);
    EXPECT_FALSE(matrix.CanStepBack());
    EXPECT_FALSE(matrix.StepBack()) << "no step past the first snapshot";
    EXPECT_EQ(matrix.Entries()[0], first);
    EXPECT_TRUE(Apply(300));  // goes between the seed and 100
    EXPECT_EQ(Snapshots(), (std::vector<int32_t>{first, 300, 100, 200}));
    EXPECT_EQ(matrix.Position(), 2);
    EXPECT_TRUE(matrix.CanStepBack());
    EXPECT_TRUE(matrix.CanStepForward());
    EXPECT_TRUE(matrix.StepForward());
    EXPECT_TRUE(matrix.StepForward());
    EXPECT_EQ(matrix.Entries()[0], 200);
    EXPECT_FALSE(matrix.StepForward()) << "no step past the last snapshot";
    EXPECT_EQ(matrix.Position(), 4);
}

TEST_F(CurrentMatrixTest, StartWithoutMemoryLeavesNoCurrentSnapshot) {
    matrix.StartHistory();
    for (int failAt = 0; failAt < 3; ++failAt) {
        memory.allocationsLeft = failAt;
        matrix.StartHistory();
        EXPECT_EQ(matrix.CurrentSnapshot(), nullptr);
        EXPECT_TRUE(Snapshots().empty());
        EXPECT_TRUE(Apply(failAt + 10)) << "the change is still reported";
        EXPECT_FALSE(matrix.CanStepBack());
    }
}

TEST_F(CurrentMatrixTest, CommitWithoutMemoryKeepsTheCurrentSnapshot) {
    matrix.StartHistory();
    memory.allocationsLeft = 1;  // the node, not its block
    EXPECT_TRUE(Apply(9));
    EXPECT_EQ(matrix.Position(), 1);
    EXPECT_EQ(matrix.SnapshotCount(), 1);
    matrix.SetAllocator(SnapshotAllocator{});  // malloc comes back, for the live history too
    EXPECT_TRUE(matrix.Commit());
    EXPECT_EQ(Snapshots(), (std::vector<int32_t>{kDefaultIntraMatrix[0], 9}));
}

}  // namespace
}  // namespace vardelk
