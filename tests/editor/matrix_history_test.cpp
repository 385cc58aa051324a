#include "editor/matrix_history.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace vardelk {
namespace {

// Allocator that fails from a chosen call on, to reach the out-of-memory
// paths; the count restarts for every test.
int allocationsLeft = -1;
void* LimitedAllocate(size_t bytes) {
    if (allocationsLeft == 0) {
        return nullptr;
    }
    if (allocationsLeft > 0) {
        --allocationsLeft;
    }
    return std::malloc(bytes);
}

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        allocationsLeft = -1;
        SetHistoryAllocator(LimitedAllocate);
        list = HistoryCreate();
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override {
        HistoryDestroy(list);
        HistoryRelease();
        SetHistoryAllocator(nullptr);
    }

    // Values of the nodes front to back, checking every link on the way.
    std::vector<int> Walk() const {
        std::vector<int> values;
        const HistoryNode* prev = nullptr;
        for (const HistoryNode* n = list->first; n != nullptr; n = n->next) {
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

    HistoryNode* Insert(HistoryNode* after, int value) { return HistoryInsertAfter(after, &value, sizeof value); }
    void Push(int value) { HistoryPushFront(list, &value, sizeof value); }

    MatrixHistory* list = nullptr;
};

TEST_F(HistoryTest, PushFrontBuildsTheListFromTheFront) {
    EXPECT_EQ(HistoryPushFront(list, "x", 1), list);
    EXPECT_EQ(list->first, list->last);
    HistoryPopFront(list);
    Push(3);
    Push(2);
    Push(1);
    EXPECT_EQ(Walk(), (std::vector<int>{1, 2, 3}));
}

TEST_F(HistoryTest, InsertAfterKeepsTheFollowingNodesBehindTheNewOne) {
    Push(1);
    HistoryNode* last = Insert(list->first, 3);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(list->last, last);
    HistoryNode* middle = Insert(list->first, 2);
    EXPECT_EQ(list->last, last);
    EXPECT_EQ(middle->next, last);
    Insert(last, 4);
    EXPECT_EQ(Walk(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(HistoryTest, SnapshotsAreIndependentCopies) {
    int matrix[64] = {7};
    HistoryPushFront(list, matrix, sizeof matrix);
    matrix[0] = 9;
    Insert(list->first, 5);
    matrix[0] = 11;
    EXPECT_EQ(Walk(), (std::vector<int>{7, 5}));
}

TEST_F(HistoryTest, NullArgumentsAreIgnored) {
    int value = 1;
    EXPECT_EQ(HistoryInsertAfter(nullptr, &value, sizeof value), nullptr);
    Push(1);
    EXPECT_EQ(HistoryInsertAfter(list->first, nullptr, sizeof value), nullptr);
    HistoryRemove(nullptr);
    HistoryPopFront(nullptr);
    HistoryClear(nullptr);
    HistoryDestroy(nullptr);
    EXPECT_EQ(Walk(), (std::vector<int>{1}));
}

TEST_F(HistoryTest, RemovalRelinksBothNeighboursAndEnds) {
    Push(1);
    HistoryNode* two = Insert(list->first, 2);
    HistoryNode* three = Insert(two, 3);
    Insert(three, 4);
    HistoryRemove(two);
    EXPECT_EQ(Walk(), (std::vector<int>{1, 3, 4}));
    HistoryRemove(list->last);
    EXPECT_EQ(Walk(), (std::vector<int>{1, 3}));
    HistoryPopFront(list);
    HistoryPopFront(list);
    EXPECT_EQ(list->first, nullptr);
    EXPECT_EQ(list->last, nullptr);
    HistoryPopFront(list);  // empty: nothing to do
    HistoryClear(list);
    EXPECT_TRUE(Walk().empty());
}

TEST_F(HistoryTest, ClearFreesEveryNode) {
    Push(1);
    for (int i = 2; i < 100; ++i) {
        Insert(list->last, i);
    }
    HistoryClear(list);
    EXPECT_EQ(list->first, nullptr);
    EXPECT_EQ(list->last, nullptr);
    // The leak checker of the sanitizer build proves the nodes are gone.
}

TEST_F(HistoryTest, FailedAllocationLeavesTheListIntact) {
    Push(1);
    Insert(list->first, 2);
    for (int failAt = 0; failAt < 2; ++failAt) {
        allocationsLeft = failAt;  // fail the node or the data block
        EXPECT_EQ(Insert(list->first, 9), nullptr);
        Push(8);
        EXPECT_EQ(Walk(), (std::vector<int>{1, 2}));
    }
    allocationsLeft = 0;
    EXPECT_EQ(HistoryCreate(), nullptr);
    allocationsLeft = -1;
    EXPECT_NE(Insert(list->first, 3), nullptr);
    EXPECT_EQ(Walk(), (std::vector<int>{1, 3, 2}));
}

TEST_F(HistoryTest, SeedStartsOneCurrentSnapshotAndFreesTheOldHistory) {
    int matrix = 5;
    HistorySeed(&matrix, sizeof matrix);
    ASSERT_NE(History, nullptr);
    HistoryInsertAfter(CurrentNode, &matrix, sizeof matrix);
    matrix = 6;
    HistorySeed(&matrix, sizeof matrix);  // the old list must not leak
    ASSERT_NE(History, nullptr);
    EXPECT_EQ(CurrentNode, History->first);
    EXPECT_EQ(CurrentNode, History->last);
    EXPECT_EQ(std::memcmp(CurrentNode->data, &matrix, sizeof matrix), 0);
    HistoryRelease();
    EXPECT_EQ(History, nullptr);
    EXPECT_EQ(CurrentNode, nullptr);
}

TEST_F(HistoryTest, SeedWithoutMemoryLeavesNoCurrentSnapshot) {
    int matrix = 5;
    HistorySeed(&matrix, sizeof matrix);
    for (int failAt = 0; failAt < 3; ++failAt) {
        allocationsLeft = failAt;
        HistorySeed(&matrix, sizeof matrix);
        EXPECT_EQ(CurrentNode, nullptr);
        EXPECT_TRUE(History == nullptr || History->first == nullptr);
    }
}

}  // namespace
}  // namespace vardelk
