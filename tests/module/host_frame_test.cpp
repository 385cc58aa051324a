#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "plugin/host_frame.h"
#include "tests/module/host_frames.h"

namespace vardelk {
namespace {

using host::FrameProcInfo;
using testing::ModuleFrames;
using HostPixel = host::YcPixel;

// One frame the module's way, with a fresh coder.
int32_t Process(const CodingSettings& settings, const int32_t* matrix, FrameProcInfo& frame,
                const LogFileNames& logNames = LogFileNames{}, int32_t* macroblockBits = nullptr) {
    FrameCoder coder;
    return CodeHostFrame(coder, ModuleSettings{settings, false}, matrix, frame, logNames, macroblockBits);
}

bool SamePixels(const HostPixel* a, const HostPixel* b, size_t count) {
    return std::equal(a, a + count, b, [](const HostPixel& p, const HostPixel& q) {
        return p.y == q.y && p.cb == q.cb && p.cr == q.cr;
    });
}

// Runs a frame and returns the output picture (the new editFrame).
std::vector<HostPixel> Output(ModuleFrames& frames) {
    return std::vector<HostPixel>(frames.info.editFrame, frames.info.editFrame + frames.edit.size());
}

TEST(SimulateFrame, GreyMacroblockCostsEightBytesAndComesBackUnchanged) {
    ModuleFrames frames(16, 16, 16, 16);
    std::fill(frames.edit.begin(), frames.edit.end(), HostPixel{2048, 0, 0});
    const HostPixel* edit = frames.edit.data();
    EXPECT_EQ(Process(CodingSettings{}, kDefaultIntraMatrix, frames.info), 8);
    EXPECT_EQ(frames.info.editFrame, frames.temp.data()) << "the pointers are exchanged";
    EXPECT_EQ(frames.info.tempFrame, edit);
    for (const HostPixel& p : frames.temp) ASSERT_TRUE(p.y == 2048 && p.cb == 0 && p.cr == 0);
}

TEST(SimulateFrame, EmptyPictureStillZeroFillsExchangesAndReportsZero) {
    for (auto [w, h] : {std::pair{0, 16}, {16, 0}, {-5, 16}, {16, INT32_MIN}}) {
        ModuleFrames frames(w, h, 16, 16);
        std::fill(frames.temp.begin(), frames.temp.end(), HostPixel{1, 2, 3});
        EXPECT_EQ(Process(CodingSettings{}, kDefaultIntraMatrix, frames.info), 0);
        EXPECT_EQ(frames.info.editFrame, frames.temp.data());
        for (const HostPixel& p : frames.temp) ASSERT_TRUE(p.y == 0 && p.cb == 0 && p.cr == 0);
    }
}

TEST(SimulateFrame, PixelsOutsideThePictureKeepTheZeroFill) {
    testing::Random random(5);
    ModuleFrames frames(100, 100, 120, 110);
    testing::FillNatural(frames.edit, 120, random);
    std::fill(frames.temp.begin(), frames.temp.end(), HostPixel{9, 9, 9});
    Process(CodingSettings{}, kDefaultIntraMatrix, frames.info);
    for (int32_t y = 0; y < 110; ++y)
        for (int32_t x = 0; x < 120; ++x) {
            const HostPixel& p = frames.At(frames.temp, x, y);
            const bool outside = x >= 100 || y >= 100;
            ASSERT_TRUE(!outside || (p.y == 0 && p.cb == 0 && p.cr == 0)) << x << "," << y;
        }
}

// A picture of awkward size held in frames of exactly its size: the address
// sanitizer catches any access beyond them, in every mode.
TEST(SimulateFrame, AwkwardSizesInTightFramesStayInside) {
    testing::Random random(6);
    for (auto [w, h] : {std::pair{100, 100}, {1, 1}, {17, 3}, {33, 18}, {5, 31}}) {
        for (int32_t interlaced = 0; interlaced < 2; ++interlaced) {
            ModuleFrames frames(w, h, w, h);
            testing::FillExtreme(frames.edit, random);
            CodingSettings s;
            s.interlacedDct = interlaced;
            EXPECT_GT(Process(s, kDefaultIntraMatrix, frames.info), 0);
        }
    }
}

TEST(SimulateFrame, SizesBeyondTheFramesAreTakenAsTheFrameSize) {
    testing::Random random(7);
    ModuleFrames clamped(40, 24, 40, 24), oversized(5000, 999999, 40, 24);
    testing::FillNatural(clamped.edit, 40, random);
    oversized.edit = clamped.edit;
    const int32_t expected = Process(CodingSettings{}, kDefaultIntraMatrix, clamped.info);
    EXPECT_EQ(Process(CodingSettings{}, kDefaultIntraMatrix, oversized.info), expected);
    EXPECT_TRUE(SamePixels(clamped.info.editFrame, oversized.info.editFrame, clamped.edit.size()));
}

TEST(SimulateFrame, MissingFramesProcessNothing) {
    std::vector<HostPixel> frame(16 * 16, HostPixel{5, 5, 5});
    FrameProcInfo noTemp{0, frame.data(), nullptr, 16, 16, 16, 16};
    EXPECT_EQ(Process(CodingSettings{}, kDefaultIntraMatrix, noTemp), 0);
    EXPECT_EQ(noTemp.editFrame, frame.data());
    FrameProcInfo noEdit{0, nullptr, frame.data(), 16, 16, 16, 16};
    EXPECT_EQ(Process(CodingSettings{}, kDefaultIntraMatrix, noEdit), 0);
    EXPECT_EQ(noEdit.tempFrame, frame.data());
    EXPECT_EQ(frame[0].y, 5) << "nothing is written through the remaining pointer";
    FrameProcInfo negativeFrame{0, frame.data(), frame.data() + 1, 16, 16, -16, 16};
    EXPECT_EQ(Process(CodingSettings{}, kDefaultIntraMatrix, negativeFrame), 0);
}

TEST(SimulateFrame, MatrixEntriesAreReadClampedAndNeverWritten) {
    testing::Random random(8);
    int32_t wild[64], tame[64];
    for (int i = 0; i < 64; ++i) {
        wild[i] = i % 3 == 0 ? 0 : (i % 3 == 1 ? -77 : 1000000);
        tame[i] = i % 3 == 2 ? 4095 : 1;
    }
    const std::vector<int32_t> before(wild, wild + 64);
    ModuleFrames a(48, 32, 48, 32), b(48, 32, 48, 32);
    testing::FillNatural(a.edit, 48, random);
    b.edit = a.edit;
    CodingSettings s;
    s.scaleCode = 31;
    s.nonLinearScale = 1;
    EXPECT_EQ(Process(s, wild, a.info), Process(s, tame, b.info));
    EXPECT_TRUE(SamePixels(a.info.editFrame, b.info.editFrame, a.edit.size()));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), wild));
}

TEST(SimulateFrame, SettingsOutsideTheirRangesActAsTheNearestValid) {
    testing::Random random(10);
    ModuleFrames reference(32, 32, 32, 32);
    testing::FillNatural(reference.edit, 32, random);
    const std::vector<HostPixel> input = reference.edit;

    // The host's slider and boxes as the module reads them.
    auto run = [&](int32_t scaleCode, std::array<int32_t, 4> boxes) {
        ModuleFrames f(32, 32, 32, 32);
        f.edit = input;
        FrameCoder coder;
        const int32_t bytes =
            CodeHostFrame(coder, SettingsFromHost(&scaleCode, boxes.data()), kDefaultIntraMatrix, f.info);
        return std::pair{bytes, Output(f)};
    };
    const auto a = run(-3, {}), b = run(1, {}), c = run(99, {}), d = run(31, {});
    const auto e = run(9, {-1, 2, 7, 0}), f = run(9, {1, 1, 1, 0});
    EXPECT_EQ(a.first, b.first);
    EXPECT_TRUE(SamePixels(a.second.data(), b.second.data(), input.size()));
    EXPECT_EQ(c.first, d.first);
    EXPECT_TRUE(SamePixels(c.second.data(), d.second.data(), input.size()));
    EXPECT_EQ(e.first, f.first);
    EXPECT_TRUE(SamePixels(e.second.data(), f.second.data(), input.size()));
    EXPECT_NE(b.first, d.first);
}

TEST(SimulateFrame, EachMacroblockRowIsRoundedUpToBytesOnItsOwn) {
    testing::Random random(11);
    ModuleFrames frames(50, 40, 50, 40);  // 4 x 3 macroblocks, partial at both edges
    testing::FillNatural(frames.edit, 50, random);
    std::array<int32_t, 12> bits{};
    const int32_t bytes = Process(CodingSettings{}, kDefaultIntraMatrix, frames.info, LogFileNames{}, bits.data());
    int32_t expected = 0;
    bool someRowUneven = false;
    for (int row = 0; row < 3; ++row) {
        int32_t rowBits = 0;
        for (int column = 0; column < 4; ++column) rowBits += bits[row * 4 + column];
        expected += (rowBits + 7) / 8;
        someRowUneven |= rowBits % 8 != 0;
    }
    EXPECT_EQ(bytes, expected);
    EXPECT_TRUE(someRowUneven) << "the frame should exercise the rounding";
    EXPECT_EQ(MacroblockColumns(50), 4);
    EXPECT_EQ(MacroblockRows(48), 3);
    EXPECT_EQ(MacroblockRows(0), 0);
}

// Prediction restarts on every macroblock row: the second row of a picture
// made of two identical rows costs exactly what the first does.
TEST(SimulateFrame, DcPredictionRestartsOnEveryRow) {
    testing::Random random(12);
    ModuleFrames frames(64, 32, 64, 32);
    testing::FillNatural(frames.edit, 64, random);
    std::copy(frames.edit.begin(), frames.edit.begin() + 64 * 16, frames.edit.begin() + 64 * 16);
    std::array<int32_t, 8> bits{};
    Process(CodingSettings{}, kDefaultIntraMatrix, frames.info, LogFileNames{}, bits.data());
    for (int column = 0; column < 4; ++column) EXPECT_EQ(bits[column], bits[4 + column]) << column;
}

}  // namespace
}  // namespace vardelk
