#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "codec/bit_cost.h"
#include "codec/vlc_tables.h"

namespace vardelk {
namespace {

using Block = std::array<int32_t, 64>;

Block AcAtScanPosition(int position, int32_t level, int32_t alternate = 0) {
    Block b{};
    b[(alternate ? AlternateScan : ZigzagScan)[position]] = level;
    return b;
}

TEST(ScanOrders, ArePermutationsStartingAtTheDc) {
    for (const int32_t* scan : {ZigzagScan, AlternateScan}) {
        std::array<int32_t, 64> sorted;
        std::copy(scan, scan + 64, sorted.begin());
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < 64; ++i) ASSERT_EQ(sorted[i], i);
        EXPECT_EQ(scan[0], 0);
        EXPECT_EQ(scan[63], 63);
    }
    const int32_t zigzagStart[8] = {0, 1, 8, 16, 9, 2, 3, 10};
    const int32_t alternateStart[8] = {0, 8, 16, 24, 1, 9, 2, 10};
    const int32_t alternateEnd[8] = {38, 46, 54, 62, 39, 47, 55, 63};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(ZigzagScan[i], zigzagStart[i]);
        EXPECT_EQ(AlternateScan[i], alternateStart[i]);
        EXPECT_EQ(AlternateScan[56 + i], alternateEnd[i]);
    }
    // Zigzag walks anti-diagonals: consecutive positions are neighbours.
    for (int p = 1; p < 64; ++p) {
        const int dr = std::abs(ZigzagScan[p] / 8 - ZigzagScan[p - 1] / 8);
        const int dc = std::abs(ZigzagScan[p] % 8 - ZigzagScan[p - 1] % 8);
        ASSERT_LE(std::max(dr, dc), 1) << p;
    }
}

// Every run's code words stop at a magnitude and never resume: the
// estimate ends each row of its lengths at the first magnitude without a
// code, so a table with a gap would cost a coded pair as an escape. The
// lengths themselves are checked against the tables as written down in
// vlc_tables_test.cpp. The constants of the estimate are the code words'
// lengths: the intra table's end of block, the escape (6-bit code, 6-bit
// run, 12-bit level) and the DC size codes.
TEST(AcCodeLengths, EveryRunsCodesEndWithoutAGap) {
    for (int32_t format : {kMpegVlcTable, kIntraVlcTable}) {
        SCOPED_TRACE("intra_vlc_format " + std::to_string(format));
        for (int32_t run = 0; run < 64; ++run) {
            bool ended = false;
            for (int32_t m = 1; m < 64; ++m) {
                const bool coded = AcCode(format, run, m).length > 0;
                ASSERT_FALSE(ended && coded) << "run " << run << " magnitude " << m << " after a gap";
                ended = ended || !coded;
            }
        }
    }
    EXPECT_EQ(kEndOfBlockBits, EndOfBlockCode(kIntraVlcTable).length);
    EXPECT_EQ(kEscapeBits, kEscapeCode.length + 6 + 12);
    for (int32_t size = 0; size <= kMaxDcSize; ++size) {
        EXPECT_EQ(DcLumaCodeLengths[size], DcSizeCode(false, size).length) << size;
        EXPECT_EQ(DcChromaCodeLengths[size], DcSizeCode(true, size).length) << size;
    }
}

TEST(AcBlockBits, EndOfBlockEscapesAndRuns) {
    EXPECT_EQ(AcBlockBits(Block{}.data(), 0), 4);
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(1, 1).data(), 0), 7);
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(1, -1).data(), 0), 7);
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(63, 1).data(), 0), 24) << "run 62: escape, no end of block";
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(1, 40).data(), 0), 20);
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(1, 41).data(), 0), 28);
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(1, -41).data(), 0), 28);
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(1, 29).data(), 0), 19);
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(1, 32).data(), 0), 20);
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(1, 100000).data(), 0), 28) << "any escape costs 24";
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(32, 1).data(), 0), 16 + 1 + 4) << "run 31, the last with a code";
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(33, 1).data(), 0), 28) << "runs from 32 on always escape";
    EXPECT_EQ(AcBlockBits(AcAtScanPosition(18, 1).data(), 0), 12 + 1 + 4) << "run 17";

    Block ones;
    ones.fill(1);
    EXPECT_EQ(AcBlockBits(ones.data(), 0), 189);
    EXPECT_EQ(AcBlockBits(ones.data(), 1), 189);
}

TEST(AcBlockBits, ScanOrderDecidesTheRun) {
    Block b{};
    b[8] = 1;
    EXPECT_EQ(AcBlockBits(b.data(), 0), 8);
    EXPECT_EQ(AcBlockBits(b.data(), 1), 7);
    EXPECT_EQ(AcBlockBits(b.data(), 7), 7) << "any non-zero flag selects the alternate scan";
}

TEST(DcSizeCategory, CountsSignificantBitsOfTheMagnitude) {
    const std::pair<int32_t, int32_t> cases[] = {{0, 0},      {1, 1},      {-1, 1},        {-4, 3},
                                                 {1023, 10},  {1024, 11},  {-2047, 11},    {2048, 12},
                                                 {-4096, 13}, {32767, 15}, {INT32_MIN, 32}};
    for (auto [d, s] : cases) EXPECT_EQ(DcSizeCategory(d), s) << d;
}

TEST(DcBits, SizesBeyondTheTablesCostTheLongestCodePlusTheirSize) {
    EXPECT_EQ(DcLumaBits(0), 3);
    EXPECT_EQ(DcChromaBits(0), 2);
    EXPECT_EQ(DcLumaBits(1024), 11 + 9);
    EXPECT_EQ(DcChromaBits(-1024), 11 + 10);
    EXPECT_EQ(DcLumaBits(2048), 12 + 9);
    EXPECT_EQ(DcChromaBits(2048), 12 + 10);
    EXPECT_EQ(DcLumaBits(-16384), 15 + 9);
}

MacroblockBuffer Macroblock(int32_t lumaDc, int32_t chromaDc) {
    MacroblockBuffer m{};
    for (int b = 0; b < 4; ++b) m.Block(b)[0] = lumaDc;
    m.Block(kCbBlock)[0] = chromaDc;
    m.Block(kCrBlock)[0] = chromaDc;
    return m;
}

TEST(EstimateMacroblockBits, PredictorsRunAlongTheRowAndResetToZero) {
    DcPredictors predictors;
    const MacroblockBuffer grey = Macroblock(1024, 0);
    EXPECT_EQ(EstimateMacroblockBits(grey, 0, predictors), 57);
    EXPECT_EQ(EstimateMacroblockBits(grey, 0, predictors), 40);
    EXPECT_EQ(predictors.luma, 1024);
    ResetDcPredictors(predictors);
    EXPECT_EQ(EstimateMacroblockBits(grey, 0, predictors), 57);

    // A white 8x8 luma block has DC 2048: beyond the size tables at the row
    // start, still counted, and the predictor follows it.
    ResetDcPredictors(predictors);
    const MacroblockBuffer white = Macroblock(2048, 0);
    EXPECT_EQ(EstimateMacroblockBits(white, 0, predictors), (12 + 9) + 3 * 3 + 2 * 2 + 6 * 4);
    EXPECT_EQ(predictors.luma, 2048);

    // Chroma predictors are separate from each other and from luma.
    ResetDcPredictors(predictors);
    MacroblockBuffer colour = Macroblock(0, 0);
    colour.Block(kCbBlock)[0] = 3;
    colour.Block(kCrBlock)[0] = -4;
    EXPECT_EQ(EstimateMacroblockBits(colour, 0, predictors), 4 * 3 + (2 + 2) + (3 + 3) + 6 * 4);
    EXPECT_EQ(predictors.cb, 3);
    EXPECT_EQ(predictors.cr, -4);
}

TEST(EstimateMacroblockBits, ExtremeDcValuesNeverOverflow) {
    DcPredictors predictors;
    predictors.luma = INT32_MIN;
    MacroblockBuffer m = Macroblock(INT32_MAX, INT32_MIN);
    EXPECT_GT(EstimateMacroblockBits(m, 0, predictors), 0);
}

}  // namespace
}  // namespace vardelk
