// Coefficient logs that cannot be opened: a read-only file or a folder in
// the way. The blocked log is left as it was, the other is written exactly
// as in an unobstructed run, the frame comes out the same, and the next
// frame tries the blocked file again.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codec/types.h"
#include "plugin/host_frame.h"
#include "tests/robustness/fault_support.h"

namespace vardelk {
namespace {

using testing::ReadWholeFile;
using testing::ScratchFolder;
using testing::WithoutRoot;
using testing::WriteWholeFile;
namespace fs = std::filesystem;

constexpr int32_t kWidth = 40;   // partial macroblocks at the right
constexpr int32_t kHeight = 24;  // and at the bottom
constexpr int32_t kMaxWidth = 48;
constexpr int32_t kMaxHeight = 32;

struct FrameRun {
    int32_t bytes = 0;
    std::vector<host::YcPixel> output;
};

std::vector<host::YcPixel> TestPicture() {
    std::vector<host::YcPixel> pixels(size_t{kMaxWidth} * kMaxHeight);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const auto x = static_cast<int32_t>(i % kMaxWidth);
        const auto y = static_cast<int32_t>(i / kMaxWidth);
        pixels[i] = host::YcPixel{static_cast<int16_t>((x * 97 + y * 41) % 4096), static_cast<int16_t>(x * 30 - 700),
                                  static_cast<int16_t>(900 - y * 55)};
    }
    return pixels;
}

FrameRun ProcessWithLogs(const fs::path& coefficients, const fs::path& levels) {
    std::vector<host::YcPixel> edit = TestPicture();
    std::vector<host::YcPixel> temp(edit.size());
    host::FrameProcInfo frame{0, edit.data(), temp.data(), kWidth, kHeight, kMaxWidth, kMaxHeight};
    ModuleSettings settings;
    settings.coding.scaleCode = 6;
    settings.logOutput = true;
    const std::string coefficientName = coefficients.string();
    const std::string levelName = levels.string();
    FrameRun run;
    FrameCoder coder;
    run.bytes = CodeHostFrame(coder, settings, kDefaultIntraMatrix, frame,
                              LogFileNames{coefficientName.c_str(), levelName.c_str()});
    run.output.assign(frame.editFrame, frame.editFrame + edit.size());
    return run;
}

bool SameFrame(const FrameRun& a, const FrameRun& b) {
    if (a.bytes != b.bytes || a.output.size() != b.output.size()) return false;
    for (size_t i = 0; i < a.output.size(); ++i) {
        const host::YcPixel& p = a.output[i];
        const host::YcPixel& q = b.output[i];
        if (p.y != q.y || p.cb != q.cb || p.cr != q.cr) return false;
    }
    return true;
}

enum class Blocked { kCoefficients, kLevels };
enum class Obstacle { kReadOnlyFile, kFolder };

struct Case {
    Blocked blocked;
    Obstacle obstacle;
};

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return std::string(info.param.blocked == Blocked::kCoefficients ? "Coefficients" : "Levels") +
           (info.param.obstacle == Obstacle::kReadOnlyFile ? "ReadOnlyFile" : "Folder");
}

class BlockedLog : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        reference_ = ProcessWithLogs(clear_ / "dct.txt", clear_ / "qdct.txt");
        referenceLogs_[0] = ReadWholeFile(clear_ / "dct.txt");
        referenceLogs_[1] = ReadWholeFile(clear_ / "qdct.txt");
        ASSERT_FALSE(referenceLogs_[0].empty());
        ASSERT_FALSE(referenceLogs_[1].empty());
    }

    ScratchFolder clear_;
    ScratchFolder blockedFolder_;
    FrameRun reference_;
    std::string referenceLogs_[2];
};

TEST_P(BlockedLog, IsSkippedWhileTheOtherLogAndTheFrameComeOutAsUsual) {
    const Case c = GetParam();
    const int blockedIndex = c.blocked == Blocked::kCoefficients ? 0 : 1;
    const fs::path logs[2] = {blockedFolder_ / "dct.txt", blockedFolder_ / "qdct.txt"};
    const fs::path& blockedPath = logs[blockedIndex];
    const fs::path& openPath = logs[1 - blockedIndex];

    const std::string previous = "left from an earlier session\n";
    if (c.obstacle == Obstacle::kReadOnlyFile) {
        WriteWholeFile(blockedPath, previous);
        fs::permissions(blockedPath, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    } else {
        fs::create_directory(blockedPath);
    }

    FrameRun run;
    {
        WithoutRoot asUser;
        if (testing::Writable(blockedPath)) GTEST_SKIP() << "this user can write " << blockedPath;
        run = ProcessWithLogs(logs[0], logs[1]);
    }

    EXPECT_TRUE(SameFrame(run, reference_)) << "a missing log changed the frame or its size";
    EXPECT_EQ(ReadWholeFile(openPath), referenceLogs_[1 - blockedIndex]) << "the other log is not complete";
    if (c.obstacle == Obstacle::kReadOnlyFile) {
        EXPECT_EQ(ReadWholeFile(blockedPath), previous) << "the read-only log was changed";
    } else {
        EXPECT_TRUE(fs::is_directory(blockedPath));
        EXPECT_TRUE(fs::is_empty(blockedPath));
    }

    // Once the obstacle is gone, the next frame writes the log again.
    if (c.obstacle == Obstacle::kReadOnlyFile) {
        fs::permissions(blockedPath, fs::perms::all);
    } else {
        fs::remove(blockedPath);
    }
    {
        WithoutRoot asUser;
        run = ProcessWithLogs(logs[0], logs[1]);
    }
    EXPECT_TRUE(SameFrame(run, reference_));
    EXPECT_EQ(ReadWholeFile(blockedPath), referenceLogs_[blockedIndex]);
    EXPECT_EQ(ReadWholeFile(openPath), referenceLogs_[1 - blockedIndex]);
}

INSTANTIATE_TEST_SUITE_P(EitherLog, BlockedLog,
                         ::testing::Values(Case{Blocked::kCoefficients, Obstacle::kReadOnlyFile},
                                           Case{Blocked::kCoefficients, Obstacle::kFolder},
                                           Case{Blocked::kLevels, Obstacle::kReadOnlyFile},
                                           Case{Blocked::kLevels, Obstacle::kFolder}),
                         CaseName);

TEST(BothLogsBlocked, TheFrameIsStillProcessed) {
    ScratchFolder clear;
    const FrameRun reference = ProcessWithLogs(clear / "dct.txt", clear / "qdct.txt");
    ScratchFolder blocked;
    fs::create_directory(blocked / "dct.txt");
    fs::create_directory(blocked / "qdct.txt");
    EXPECT_TRUE(SameFrame(ProcessWithLogs(blocked / "dct.txt", blocked / "qdct.txt"), reference));
    // A folder that does not exist blocks both as well.
    EXPECT_TRUE(SameFrame(ProcessWithLogs(blocked / "gone" / "dct.txt", blocked / "gone" / "qdct.txt"), reference));
}

}  // namespace
}  // namespace vardelk
