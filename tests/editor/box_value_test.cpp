#include "matrix/box_value.h"

#include <gtest/gtest.h>

#include <limits>

namespace vardelk {
namespace {

TEST(BoxText, ReadsLikeADecimalConversion) {
    EXPECT_EQ(ParseBoxText("16"), 16);
    EXPECT_EQ(ParseBoxText("08"), 8);
    EXPECT_EQ(ParseBoxText(" \t\n+42x"), 42);
    EXPECT_EQ(ParseBoxText("-17"), -17);
    EXPECT_EQ(ParseBoxText("12 34"), 12);
}

TEST(BoxText, NoDigitsGiveZero) {
    EXPECT_EQ(ParseBoxText(""), 0);
    EXPECT_EQ(ParseBoxText("abc"), 0);
    EXPECT_EQ(ParseBoxText("-"), 0);
    EXPECT_EQ(ParseBoxText("+ 5"), 0);
    EXPECT_EQ(ParseBoxText(nullptr), 0);
}

TEST(BoxText, LongDigitRunsSaturateInsteadOfWrapping) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(ParseBoxText("2147483647"), kMax);
    EXPECT_EQ(ParseBoxText("2147483648"), kMax);
    // Would wrap to a small positive value in 32-bit arithmetic.
    EXPECT_EQ(ParseBoxText("4294967297"), kMax);
    EXPECT_EQ(ParseBoxText(std::string(250, '9').c_str()), kMax);
    EXPECT_EQ(ParseBoxText("-2147483648"), kMin);
    EXPECT_EQ(ParseBoxText("-99999999999999999999"), kMin);
}

TEST(BoxText, ClampKeepsTheMatrixRange) {
    EXPECT_EQ(ClampMatrixEntry(0), 1);
    EXPECT_EQ(ClampMatrixEntry(std::numeric_limits<int32_t>::min()), 1);
    EXPECT_EQ(ClampMatrixEntry(1), 1);
    EXPECT_EQ(ClampMatrixEntry(4095), 4095);
    EXPECT_EQ(ClampMatrixEntry(4096), 4095);
    EXPECT_EQ(ClampMatrixEntry(ParseBoxText(std::string(40, '9').c_str())), 4095);
}

}  // namespace
}  // namespace vardelk
