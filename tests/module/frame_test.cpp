// Frames through the module's processing callback compared with the
// pipeline linked into the test, and the size report that goes with them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "plugin/host_frame.h"
#include "tests/module/dll_fixture.h"

namespace vardelk {
namespace {

class FrameTest : public DllTest {
protected:
    static constexpr int32_t kWidth = 37, kHeight = 21, kMaxWidth = 48, kMaxHeight = 32;

    void SetUp() override {
        DllTest::SetUp();
        Open();
        std::mt19937 random(7);
        std::uniform_int_distribution<int> sample(-4096, 4095);
        input.resize(kMaxWidth * kMaxHeight);
        for (host::YcPixel& p : input) {
            p = {static_cast<int16_t>(sample(random) & ~15), static_cast<int16_t>(sample(random)),
                 static_cast<int16_t>(sample(random))};
        }
        host->SetGeometry(kWidth, kHeight, kMaxWidth, kMaxHeight);
    }

    // Runs the input through the module and the same settings and matrix
    // through the linked pipeline; both results must agree in full.
    void ExpectSameAsPipeline(const CodingSettings& settings) {
        std::memcpy(host->Picture(), input.data(), input.size() * sizeof(host::YcPixel));
        std::vector<host::YcPixel> dirty(input.size(), host::YcPixel{1, 2, 3});
        std::memcpy(host->Frame().tempFrame, dirty.data(), dirty.size() * sizeof(host::YcPixel));
        host::YcPixel* edit = host->Frame().editFrame;
        host::YcPixel* temp = host->Frame().tempFrame;
        const int reports = host->events.sizeReports;
        ASSERT_EQ(host->RunFrame(), 1);
        EXPECT_EQ(host->Frame().editFrame, temp);
        EXPECT_EQ(host->Frame().tempFrame, edit);

        std::vector<host::YcPixel> a = input, b(input.size());
        host::FrameProcInfo frame{0, a.data(), b.data(), kWidth, kHeight, kMaxWidth, kMaxHeight};
        FrameCoder coder;
        const int32_t bytes = CodeHostFrame(coder, ModuleSettings{settings, false}, Matrix(), frame);
        EXPECT_EQ(std::memcmp(host->Picture(), frame.editFrame, input.size() * sizeof(host::YcPixel)), 0);
        EXPECT_EQ(host->events.sizeReports, reports + 1);
        EXPECT_EQ(host->events.lastReportedSize, bytes);
        EXPECT_EQ(Text(SizeBox()), std::to_string(bytes));
        EXPECT_EQ(host->events.sizeTextAtNotify, std::to_string(bytes));
    }

    std::vector<host::YcPixel> input;
};

TEST_F(FrameTest, DefaultsMatchThePipeline) {
    ExpectSameAsPipeline(CodingSettings{});
    EXPECT_EQ(host->events.sizeShownCalls, 1);
    EXPECT_EQ(host->events.matrixChangedCalls, 0);
}

TEST_F(FrameTest, EverySettingIsReadFromTheHostsArrays) {
    host->trackValues[0] = 25;
    const int32_t checks[4] = {1, 1, 1, 0};
    std::memcpy(host->checkValues, checks, sizeof checks);
    CodingSettings settings;
    settings.scaleCode = 25;
    settings.nonLinearScale = settings.alternateScan = settings.interlacedDct = 1;
    ExpectSameAsPipeline(settings);
    host->trackValues[0] = 31;
    host->checkValues[0] = 0;
    settings.scaleCode = 31;
    settings.nonLinearScale = 0;
    ExpectSameAsPipeline(settings);
}

TEST_F(FrameTest, AnAppliedMatrixReachesTheNextFrame) {
    Type(0, "1");
    Type(9, "200");
    Click(40001);
    ASSERT_EQ(Matrix()[9], 200);
    ExpectSameAsPipeline(CodingSettings{});
}

TEST_F(FrameTest, MissingValueArraysFallBackToDefaults) {
    host->record.trackValues = nullptr;
    host->record.checkValues = nullptr;
    ExpectSameAsPipeline(CodingSettings{});
}

TEST_F(FrameTest, EmptyPictureStillSwapsAndReportsZero) {
    host->SetGeometry(0, 0, kMaxWidth, kMaxHeight);
    host::YcPixel* temp = host->Frame().tempFrame;
    ASSERT_EQ(host->RunFrame(), 1);
    EXPECT_EQ(host->Frame().editFrame, temp);
    EXPECT_EQ(host->events.lastReportedSize, 0);
    EXPECT_EQ(Text(SizeBox()), "0");
    EXPECT_EQ(host->events.sizeShownCalls, 1);
}

}  // namespace
}  // namespace vardelk
