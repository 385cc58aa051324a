#include <gtest/gtest.h>

#include <array>

#include "codec/frame_coder.h"
#include "codec/quantise.h"

namespace vardelk {
namespace {

using Block = std::array<int32_t, 64>;

std::array<int32_t, 64> Flat(int32_t w) {
    std::array<int32_t, 64> m;
    m.fill(w);
    return m;
}

Block WithAc(int32_t dc, int index, int32_t value) {
    Block b{};
    b[0] = dc;
    b[index] = value;
    return b;
}

TEST(Quantise, RoundsPositiveToNearestAndPullsNegativeTowardZero) {
    const auto w = Flat(16);  // d = 32 with q = 2
    const std::pair<int32_t, int32_t> cases[] = {{100, 50}, {10, 5}, {-10, -4}, {-1, 0}, {-2, 0}, {-3, -1}};
    for (auto [coefficient, level] : cases) {
        Block b = WithAc(77, 5, coefficient);
        QuantiseBlock(b.data(), w.data(), 2);
        EXPECT_EQ(b[5], level) << coefficient;
        EXPECT_EQ(b[0], 77) << "the DC is never scaled";
    }
}

TEST(Quantise, UsesEachPositionsOwnWeight) {
    std::array<int32_t, 64> w = Flat(16);
    w[9] = 64;
    Block b{};
    b[9] = 100;
    b[10] = 100;
    QuantiseBlock(b.data(), w.data(), 2);
    EXPECT_EQ(b[9], 13) << "(64 + 1600) / 128 = 13.0";
    EXPECT_EQ(b[10], 50);
}

TEST(Dequantise, ReconstructsTruncatingTowardZero) {
    const auto w = Flat(16);
    Block b = WithAc(1023, 1, 50);
    b[2] = -1;
    DequantiseBlock(b.data(), w.data(), 2);
    EXPECT_EQ(b[1], 100);
    EXPECT_EQ(b[2], -2);

    const auto odd = Flat(25);  // 25 x -1 x 1 / 16 = -1.56 -> -1
    Block n = WithAc(1023, 3, -1);
    DequantiseBlock(n.data(), odd.data(), 1);
    EXPECT_EQ(n[3], -1);
}

TEST(Dequantise, MismatchControlMakesAnEvenSumOdd) {
    const auto w = Flat(16);
    Block even = WithAc(1024, 1, 0);
    DequantiseBlock(even.data(), w.data(), 2);
    EXPECT_EQ(even[63], 1);

    Block odd = WithAc(1023, 1, 0);
    DequantiseBlock(odd.data(), w.data(), 2);
    EXPECT_EQ(odd[63], 0);

    // An odd last coefficient in an even sum steps down; negatives count
    // by their two's-complement parity.
    Block lastOdd = WithAc(1024, 63, 3);  // 16 x 3 x 2 / 16 = 6 -> sum 1030 even, 6 even -> 7
    DequantiseBlock(lastOdd.data(), w.data(), 2);
    EXPECT_EQ(lastOdd[63], 7);
    const auto unit = Flat(8);
    Block negative = WithAc(1021, 63, -3);  // 8 x -3 x 2 / 16 = -3 -> sum 1018 even, -3 odd -> -4
    DequantiseBlock(negative.data(), unit.data(), 2);
    EXPECT_EQ(negative[63], -4);
}

TEST(Dequantise, SaturatesAndKeepsTheToggleInRange) {
    const auto w = Flat(4095);
    Block big = WithAc(2048, 1, 1000);
    big[2] = -1000;
    big[63] = 1000;
    DequantiseBlock(big.data(), w.data(), 112);
    EXPECT_EQ(big[0], 2047);
    EXPECT_EQ(big[1], 2047);
    EXPECT_EQ(big[2], -2048);
    // Sum 2047 + 2047 - 2048 + 2047 is odd: the last coefficient stays.
    EXPECT_EQ(big[63], 2047);

    // 2046 + 2047 + 2047 = 6140 is even, so the saturated 2047 steps down.
    Block toggled = WithAc(2046, 63, 1000);
    toggled[1] = 1;
    DequantiseBlock(toggled.data(), w.data(), 112);
    EXPECT_EQ(toggled[63], 2046);

    Block low = WithAc(0, 63, -1000);  // -2048 alone: even sum, even value, steps up
    DequantiseBlock(low.data(), w.data(), 112);
    EXPECT_EQ(low[63], -2047);
}

TEST(ClampMatrix, BringsEveryEntryIntoTheUsableRange) {
    int32_t raw[64];
    for (int i = 0; i < 64; ++i) raw[i] = i * 1000 - 20000;
    raw[0] = INT32_MIN;
    raw[63] = INT32_MAX;
    int32_t clamped[64];
    ClampMatrix(raw, clamped);
    for (int i = 0; i < 64; ++i) {
        EXPECT_GE(clamped[i], 1);
        EXPECT_LE(clamped[i], 4095);
        if (raw[i] >= 1 && raw[i] <= 4095) {
            EXPECT_EQ(clamped[i], raw[i]);
        }
    }
    EXPECT_EQ(raw[0], INT32_MIN) << "the source is not written";
}

TEST(QuantiserScale, MapsCodesThroughBothTablesAndClampsOutOfRangeCodes) {
    EXPECT_EQ(QuantiserScale(25, 1), 64);
    EXPECT_EQ(QuantiserScale(25, 0), 50);
    EXPECT_EQ(QuantiserScale(8, 0), 16);
    EXPECT_EQ(QuantiserScale(8, 1), 8);
    EXPECT_EQ(QuantiserScale(1, 1), 1);
    EXPECT_EQ(QuantiserScale(31, 1), 112);
    EXPECT_EQ(QuantiserScale(31, 0), 62);
    EXPECT_EQ(QuantiserScale(0, 0), 2) << "codes below 1 act as 1";
    EXPECT_EQ(QuantiserScale(-7, 1), 1);
    EXPECT_EQ(QuantiserScale(32, 0), 62) << "codes above 31 act as 31";
    EXPECT_EQ(QuantiserScale(INT32_MAX, 5), 112) << "any non-zero flag selects the non-linear table";
}

}  // namespace
}  // namespace vardelk
