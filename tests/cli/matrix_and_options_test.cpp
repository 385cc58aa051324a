#include <gtest/gtest.h>

#include <string>

#include "cli_error.h"
#include "matrix_source.h"
#include "options.h"

namespace vardelk {
namespace {

std::string MatrixText(int count, const char* separator, int value = 16) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? separator : "") + std::to_string(value);
    return text;
}

std::string ErrorOf(const std::string& text) {
    try {
        ParseMatrixText(text, "m.txt");
    } catch (const MatrixFileError& e) {
        return e.what();
    }
    return "";
}

TEST(MatrixFile, AcceptsCommasWhiteSpaceAndComments) {
    auto entries = ParseMatrixText("# steep\n" + MatrixText(32, ",") + ",\n" + MatrixText(32, " \t", 99) + "\r\n", "m");
    EXPECT_EQ(entries[0], 16);
    EXPECT_EQ(entries[31], 16);
    EXPECT_EQ(entries[32], 99);
    EXPECT_EQ(entries[63], 99);
    // Natural row-major order: the ninth number is row 2, column 1.
    std::string ordered;
    for (int i = 1; i <= 64; ++i) ordered += std::to_string(i) + " ";
    EXPECT_EQ(ParseMatrixText(ordered, "m")[8], 9);
}

TEST(MatrixFile, RejectsWrongCountsAndValuesNamingTheEntry) {
    EXPECT_NE(ErrorOf(MatrixText(63, ",")).find("m.txt: holds 63 numbers; a matrix needs exactly 64"),
              std::string::npos);
    EXPECT_NE(ErrorOf(MatrixText(65, " ")).find("holds 65 numbers"), std::string::npos);
    EXPECT_NE(ErrorOf("").find("holds 0 numbers"), std::string::npos);
    EXPECT_NE(ErrorOf("0 " + MatrixText(63, " "))
                  .find("m.txt: entry 1 (row 1, column 1) is 0; matrix entries must be 1..4095"),
              std::string::npos);
    EXPECT_NE(ErrorOf(MatrixText(9, " ") + " 4096 " + MatrixText(54, " ")).find("entry 10 (row 2, column 2) is 4096"),
              std::string::npos);
    EXPECT_NE(ErrorOf("-3 " + MatrixText(63, " ")).find("is -3"), std::string::npos);
    EXPECT_NE(ErrorOf("99999999999999999999 " + MatrixText(63, " ")).find("is 99999999999999999999"),
              std::string::npos);
    EXPECT_NE(ErrorOf("12a " + MatrixText(63, " ")).find("is '12a', not an integer"), std::string::npos);
    EXPECT_EQ(ErrorOf("4095 1 " + MatrixText(62, " ")), "");
}

TEST(Options, IntegersAreRangeCheckedWithTheOptionAndValueInTheMessage) {
    EXPECT_EQ(ParseBoundedInteger("--scale", "31", 1, 31, "the scale code"), 31);
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {{"0", "--scale 0: out of range; the scale code must be 1..31"},
                 {"32", "--scale 32: out of range"},
                 {"99999999999999999999", "--scale 99999999999999999999: out of range"},
                 {"8x", "--scale 8x: not an integer"},
                 {"", "not an integer"}};
    for (const auto& c : cases) {
        try {
            ParseBoundedInteger("--scale", c.text, 1, 31, "the scale code");
            ADD_FAILURE() << c.text;
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace vardelk
