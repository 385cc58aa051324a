// The main of every gtest program. A case that calls GTEST_SKIP (a tool or
// a file this machine lacks) would otherwise leave the program's exit status
// 0, and ctest would count the whole program as passed. Here a program whose
// cases all passed but some skipped ends as testing/skip.h says: exit 77,
// which ctest reports as skipped, or with CI=true a failure; failures still
// exit 1. Every skipped case is printed with its reason, so the missing tool
// is named either way.
#include <gtest/gtest.h>

#include <string>

#include "skip.h"

namespace {

// The reason a skipped case gave, on one line.
std::string SkipReason(const testing::TestResult& result) {
    for (int i = 0; i < result.total_part_count(); ++i) {
        const testing::TestPartResult& part = result.GetTestPartResult(i);
        if (!part.skipped()) continue;
        std::string message = part.message();
        for (char& c : message)
            if (c == '\n') c = ' ';
        return message.empty() ? "(no reason given)" : message;
    }
    return "(no reason given)";
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
    if (status != 0 || unit.skipped_test_count() == 0) return status;

    int skipStatus = 0;
    for (int s = 0; s < unit.total_test_suite_count(); ++s) {
        const testing::TestSuite& suite = *unit.GetTestSuite(s);
        for (int t = 0; t < suite.total_test_count(); ++t) {
            const testing::TestInfo& info = *suite.GetTestInfo(t);
            if (!info.result()->Skipped()) continue;
            skipStatus = vardelk::testing::ReportSkip(std::string(suite.name()) + "." + info.name() + ": " +
                                                      SkipReason(*info.result()));
        }
    }
    return skipStatus;
}
