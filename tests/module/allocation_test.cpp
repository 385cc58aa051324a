// The module's code linked into the test, so that the history's memory can
// be made to run out in the middle of the editor's work.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "plugin/filter_descriptor.h"
#include "plugin/module_instance.h"
#include "tests/module/module_fixture.h"

namespace vardelk {
namespace {

class AllocationTest : public ModuleFixture {
protected:
    bool Start(HostSession& session, std::string* error) override {
        std::memcpy(Module().Entries(), kDefaultIntraMatrix, kMatrixBytes);
        Module().SetAllocator({&FailingAllocate, &outOfMemory});
        session.matrixChangedAnswer = 3;
        return session.Attach(&GetFilterTable, error);
    }
    void TearDown() override {
        ModuleFixture::TearDown();
        Module().SetAllocator(SnapshotAllocator{});  // the module outlives this test's flag
        EXPECT_FALSE(Module().HasHistory());
    }
    // The module's matrix and history, linked into this test.
    static CurrentMatrix& Module() { return TheModule().matrix; }

    // The history's memory runs out while the flag is set.
    static void* FailingAllocate(void* outOfMemoryFlag, size_t bytes) {
        return *static_cast<bool*>(outOfMemoryFlag) ? nullptr : std::malloc(bytes);
    }
    bool outOfMemory = false;
};

TEST_F(AllocationTest, ApplyWithoutMemoryStillAppliesAndNotifies) {
    Open();
    outOfMemory = true;
    Type(0, "123");
    EXPECT_EQ(Click(40001), 3);
    EXPECT_EQ(Module().Entries()[0], 123);
    EXPECT_EQ(host->events.matrixChangedCalls, 1);
    ASSERT_NE(Module().History(), nullptr);
    EXPECT_EQ(Module().History()->first, Module().History()->last);  // the list is intact
    EXPECT_EQ(Module().CurrentSnapshot(), Module().History()->first);
    EXPECT_FALSE(BackEnabled());
    outOfMemory = false;
    Type(1, "7");
    EXPECT_EQ(Click(40001), 3);  // the editor keeps working
    EXPECT_TRUE(BackEnabled());
    EXPECT_EQ(Click(40003), 3);
    EXPECT_EQ(Module().Entries()[0], kDefaultIntraMatrix[0]);
}

TEST_F(AllocationTest, InitWithoutMemoryKeepsTheHostsMatrix) {
    Module().Entries()[5] = 44;
    outOfMemory = true;
    Open();
    EXPECT_EQ(Text(Box(5)), "44");
    EXPECT_FALSE(BackEnabled());
    EXPECT_EQ(host->SendCommand(40003), 0);
    EXPECT_EQ(Module().Entries()[5], 44);
}

TEST_F(AllocationTest, ReopenWithoutMemoryLeavesNoHistoryButAWorkingEditor) {
    Open();
    host->CloseWindow();
    outOfMemory = true;
    Open();  // the fresh history cannot be made
    EXPECT_EQ(Module().CurrentSnapshot(), nullptr);
    EXPECT_EQ(host->SendCommand(40003), 0);
    EXPECT_EQ(host->SendCommand(40004), 0);
    Type(2, "9");
    EXPECT_EQ(Click(40001), 3);
    EXPECT_EQ(Module().Entries()[2], 9);
    EXPECT_FALSE(BackEnabled());
    EXPECT_FALSE(ForwardEnabled());
}

}  // namespace
}  // namespace vardelk
