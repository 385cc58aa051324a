// The run as one call, as a face other than the command line fills it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "clip/clip_job.h"

namespace vardelk {
namespace {

// A face that follows no frames and stops nothing leaves every callback
// empty; the job runs all the same and writes what it was asked to.
TEST(ClipJob, RunsWithoutCallbacks) {
    ClipJob job;
    job.input = "builtin:demo:48x32";
    job.maxFrames = 2;
    job.stats = ::testing::TempDir() + "clip_job_test.csv";
    std::remove(job.stats.c_str());
    const ClipReport report = RunClipJob(job);
    EXPECT_EQ(report.frames.size(), 2u);
    EXPECT_EQ(report.summary.frames, 2);
    std::FILE* stats = std::fopen(job.stats.c_str(), "r");
    EXPECT_NE(stats, nullptr);
    if (stats != nullptr) std::fclose(stats);
    std::remove(job.stats.c_str());
}

}  // namespace
}  // namespace vardelk
