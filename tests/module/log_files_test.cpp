#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "media/coefficient_log_files.h"
#include "plugin/host_frame.h"
#include "tests/module/host_frames.h"

namespace vardelk {
namespace {

namespace fs = std::filesystem;
using host::FrameProcInfo;
using HostPixel = host::YcPixel;

long ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<long>(getpid());
#endif
}

// One frame the module's way, with a fresh coder.
int32_t Process(const ModuleSettings& settings, const int32_t* matrix, FrameProcInfo& frame,
                const LogFileNames& logNames = LogFileNames{}, int32_t* macroblockBits = nullptr) {
    FrameCoder coder;
    return CodeHostFrame(coder, settings, matrix, frame, logNames, macroblockBits);
}

// A path in the test temp folder that no other test, and no other process
// running this one, uses at the same time.
fs::path UniqueTempPath(const std::string& stem) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(test->test_suite_name()) + "_" + test->name();
    return fs::path(::testing::TempDir()) / (stem + "_" + name + "_" + std::to_string(ProcessId()));
}

std::vector<std::string> Lines(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

class LogFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = UniqueTempPath("vardelk_logs");
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        coefficients_ = (dir_ / "dct.txt").string();
        levels_ = (dir_ / "qdct.txt").string();
        names_ = LogFileNames{coefficients_.c_str(), levels_.c_str()};
    }
    void TearDown() override { fs::remove_all(dir_); }

    int32_t Run(int32_t width, int32_t height, int32_t logOutput, const std::vector<HostPixel>* input = nullptr) {
        testing::ModuleFrames frames(width, height, std::max(width, 1), std::max(height, 1));
        if (input != nullptr) frames.edit = *input;
        const int32_t boxes[4] = {0, 0, 0, logOutput};
        const int32_t bytes = Process(SettingsFromHost(nullptr, boxes), kDefaultIntraMatrix, frames.info, names_);
        output_.assign(frames.info.editFrame, frames.info.editFrame + frames.edit.size());
        return bytes;
    }

    fs::path dir_;
    std::string coefficients_, levels_;
    LogFileNames names_;
    std::vector<HostPixel> output_;
};

TEST_F(LogFiles, OneMacroblockWritesSixLabelledLinesOfSixtyFourFields) {
    std::vector<HostPixel> grey(256, HostPixel{2048, -16, 16});
    Run(16, 16, 1, &grey);
    const auto dct = Lines(coefficients_), qdct = Lines(levels_);
    ASSERT_EQ(dct.size(), 6u);
    ASSERT_EQ(qdct.size(), 6u);
    const char* labels[6] = {"Y[1]", "Y[2]", "Y[3]", "Y[4]", "Cb  ", "Cr  "};
    for (int b = 0; b < 6; ++b) {
        EXPECT_EQ(dct[b].substr(0, 13), std::string("  0,  0,") + labels[b] + ",");
        EXPECT_EQ(dct[b].size(), 397u);
        EXPECT_EQ(dct[b].back(), ',');
    }
    EXPECT_EQ(dct[0].substr(13, 12), " 1024,    0,");
    EXPECT_EQ(dct[4].substr(13, 6), "   -8,");
    EXPECT_EQ(dct[5].substr(13, 6), "    8,");
    EXPECT_EQ(qdct[0].substr(13, 12), " 1024,    0,") << "the DC is logged unscaled among the levels";
}

TEST_F(LogFiles, MacroblocksAppearInRowOrderWithTheirCoordinates) {
    Run(40, 20, 1);
    const auto dct = Lines(coefficients_);
    ASSERT_EQ(dct.size(), 6u * 6u);
    const char* expected[6] = {"  0,  0,", " 16,  0,", " 32,  0,", "  0, 16,", " 16, 16,", " 32, 16,"};
    for (int m = 0; m < 6; ++m)
        for (int b = 0; b < 6; ++b) EXPECT_EQ(dct[m * 6 + b].substr(0, 8), expected[m]) << m;
}

TEST(WriteCoefficientLog, FieldsWidenForLargeAndNegativeValues) {
    MacroblockBuffer buffer{};
    buffer.value[0] = -7;
    buffer.value[1] = -12345;
    buffer.value[2] = 123456;
    const fs::path path = UniqueTempPath("vardelk_fields");
    std::FILE* file = std::fopen(path.string().c_str(), "w");
    ASSERT_NE(file, nullptr);
    WriteCoefficientLog(file, buffer, 1008, 2000);
    std::fclose(file);
    const auto lines = Lines(path);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].substr(0, 41), "1008,2000,Y[1],   -7,-12345,123456,    0,");
    fs::remove(path);
}

// Empty pictures and missing frames still rewrite both files, empty.
TEST_F(LogFiles, EmptyPictureOrMissingFrameLeavesBothFilesEmpty) {
    std::ofstream(coefficients_) << "old";
    Run(0, 0, 1);
    EXPECT_EQ(fs::file_size(coefficients_), 0u);
    EXPECT_EQ(fs::file_size(levels_), 0u);

    std::ofstream(levels_) << "old";
    std::vector<HostPixel> frame(256);
    FrameProcInfo noTemp{0, frame.data(), nullptr, 16, 16, 16, 16};
    EXPECT_EQ(Process(ModuleSettings{{}, true}, kDefaultIntraMatrix, noTemp, names_), 0);
    EXPECT_EQ(noTemp.editFrame, frame.data());
    EXPECT_EQ(fs::file_size(levels_), 0u);
}

TEST_F(LogFiles, LoggingOffTouchesNoFile) {
    std::ofstream(coefficients_) << "earlier frame";
    Run(16, 16, 0);
    EXPECT_EQ(Lines(coefficients_), std::vector<std::string>{"earlier frame"});
    EXPECT_FALSE(fs::exists(levels_));
}

TEST_F(LogFiles, LoggingNeverChangesThePictureOrTheSize) {
    testing::Random random(13);
    testing::ModuleFrames frames(37, 29, 37, 29);
    testing::FillNatural(frames.edit, 37, random);
    const int32_t quiet = Run(37, 29, 0, &frames.edit);
    const std::vector<HostPixel> quietOutput = output_;
    EXPECT_EQ(Run(37, 29, 5, &frames.edit), quiet) << "any non-zero value turns logging on";
    EXPECT_EQ(Lines(levels_).size(), 6u * 3u * 2u);
    for (size_t i = 0; i < output_.size(); ++i) ASSERT_EQ(output_[i].y, quietOutput[i].y);
}

// A log that cannot be created is skipped; the other one is still written
// in full and the frame is processed as usual.
TEST_F(LogFiles, AnUnopenableLogIsSkippedAndTheOtherIsWritten) {
    fs::create_directory(coefficients_);
    std::vector<HostPixel> grey(32 * 16, HostPixel{2048, 0, 0});
    EXPECT_EQ(Run(32, 16, 1, &grey), (57 + 40 + 7) / 8);
    EXPECT_EQ(Lines(levels_).size(), 12u);
    EXPECT_TRUE(fs::is_directory(coefficients_));
}

}  // namespace
}  // namespace vardelk
