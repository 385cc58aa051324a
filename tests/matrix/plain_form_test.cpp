// Our own matrix form: 64 integers separated by commas and/or white space,
// '#' comments; anything else refused, naming the file and the entry.
#include <gtest/gtest.h>

#include <string>

#include "matrix/forms.h"
#include "matrix/matrix_files.h"

namespace vardelk {
namespace {

std::string MatrixText(int count, const char* separator, int value = 16) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? separator : "") + std::to_string(value);
    return text;
}

std::string ErrorOf(const std::string& text) {
    try {
        ReadPlainMatrix(text, "m.txt");
    } catch (const MatrixFileError& e) {
        return e.what();
    }
    return "";
}

TEST(MatrixFile, AcceptsCommasWhiteSpaceAndComments) {
    auto entries = ReadPlainMatrix("# steep\n" + MatrixText(32, ",") + ",\n" + MatrixText(32, " \t", 99) + "\r\n", "m");
    EXPECT_EQ(entries[0], 16);
    EXPECT_EQ(entries[31], 16);
    EXPECT_EQ(entries[32], 99);
    EXPECT_EQ(entries[63], 99);
    // Natural row-major order: the ninth number is row 2, column 1.
    std::string ordered;
    for (int i = 1; i <= 64; ++i) ordered += std::to_string(i) + " ";
    EXPECT_EQ(ReadPlainMatrix(ordered, "m")[8], 9);
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

}  // namespace
}  // namespace vardelk
