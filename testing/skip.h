// How a C++ test that cannot run here says so, the twin of testing/skip.sh.
// Outside CI it is skipped (exit 77, which ctest reports as skipped); with
// CI=true it fails, since CI installs every tool (scripts/setup.sh) and a
// test that cannot run there is a broken set-up. Either way the reason,
// naming what is missing, is printed on a line of its own.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vardelk {
namespace testing {

// The exit status ctest takes for a skip (SKIP_RETURN_CODE 77).
constexpr int kSkippedStatus = 77;

// Whether a skip fails the run: CI=true in the environment.
inline bool SkipFails() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Prints why WHAT could not run and returns the exit status that says so:
// 77, or 1 with CI=true.
inline int ReportSkip(const std::string& what) {
    const bool fails = SkipFails();
    std::printf("%s: %s\n", fails ? "FAIL (skipped while CI=true)" : "skipped", what.c_str());
    std::fflush(stdout);
    return fails ? 1 : kSkippedStatus;
}

}  // namespace testing
}  // namespace vardelk
