#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "matrix/matrix_files.h"
#include "tests/matrix/canary.h"

namespace vardelk {
namespace {

namespace fs = std::filesystem;

class MatrixFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("matrix_files_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    std::string Error(const std::string& name) const {
        try {
            ReadMatrixFile(name);
        } catch (const MatrixFileError& e) {
            return e.what();
        }
        return "";
    }
    size_t FileCount() const {
        return size_t(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }

    fs::path folder_;
};

std::string Repeat(const std::string& value, int count, const char* separator) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? separator : "") + value;
    return text;
}

// Whatever we write reads back the same, by name and by recognition where
// the form is recognisable, and the canary stays un-transposed.
TEST_F(MatrixFiles, EveryFormRoundTripsTheCanary) {
    const MatrixEntries canary = CanaryMatrix();
    for (const MatrixFileForm& form : BuiltInMatrixFileForms()) {
        const std::string path = Path(std::string("m.") + form.name);
        WriteMatrix(path, form.name, canary);
        EXPECT_EQ(ReadMatrixFile(std::string(form.name) + ":" + path), canary) << form.name;
        EXPECT_EQ(ReadMatrixFile(path), canary) << form.name;
    }
    EXPECT_EQ(FileCount(), BuiltInMatrixFileForms().size());  // no temporary left behind
}

TEST_F(MatrixFiles, RecognitionRules) {
    std::string mpeg2enc, cjpeg;
    for (int row = 0; row < 16; ++row) mpeg2enc += Repeat("16", 8, ",") + "\n";
    for (int i = 0; i < 128; ++i) cjpeg += std::to_string(i % 64 + 1) + (i % 8 == 7 ? "\n" : " ");
    const std::string ffmpeg = Repeat("16", 64, ",");
    const struct {
        std::string text;
        const char* form;
    } cases[] = {
        {"INTRA8X8_LUMA = " + Repeat("16", 64, ","), "x264"},
        {"# INTRA8X8_LUMA in a comment\n" + Repeat("7", 64, " "), "plain"},
        {"# intra\n" + mpeg2enc, "mpeg2enc"},
        {cjpeg, "cjpeg"},
        {ffmpeg, "plain"},  // 64 numbers are always plain
        {Repeat("16", 64, " "), "plain"},
        {Repeat("16", 128, ","), "plain"},  // commas: not cjpeg
        {mpeg2enc.substr(3), "plain"},      // a line of 7
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(RecogniseMatrixFileForm(c.text, BuiltInMatrixFileForms()).name, c.form) << c.text;
    }
    // A cjpeg set gives its first table, in file order.
    EXPECT_EQ(ReadMatrixFile(Write("set.txt", cjpeg))[9], 10);
}

TEST_F(MatrixFiles, BadEntriesAreNamedByRowColumnValueAndFile) {
    std::string mpeg2enc;
    for (int row = 0; row < 16; ++row)
        mpeg2enc += (row == 12 ? "16,16,0," + Repeat("16", 5, ",") : Repeat("16", 8, ",")) + "\n";
    const struct {
        std::string name;
        std::string expected;
    } cases[] = {
        {"ffmpeg:" + Write("f", Repeat("16", 9, ",") + ",256," + Repeat("16", 54, ",")),
         "ffmpeg matrix file " + Path("f") +
             ": entry 10 (row 2, column 2) is 256; ffmpeg's -intra_matrix takes 1..255"},
        {"ffmpeg:" + Write("g", "1,,2"), "holds 3 comma-separated values; -intra_matrix takes exactly 64"},
        {"x264:" + Write("x", "INTRA4X4_LUMA = 16"), "has no INTRA8X8_LUMA list"},
        {Write("y", "INTRA8X8_LUMA =\n" + Repeat("16", 63, ",") + "\nINTER8X8_LUMA = " + Repeat("16", 64, ",")),
         "INTRA8X8_LUMA holds 63 values"},
        {Write("z", "INTRA8X8_LUMA = 0," + Repeat("16", 63, ",")),
         "INTRA8X8_LUMA entry 1 (row 1, column 1) is 0; x264's lists take 1..255"},
        {Write("me", mpeg2enc), "mpeg2enc matrix file " + Path("me") + ": non-intra entry 35 (row 5, column 3) is 0"},
        {"mpeg2enc:" + Write("mf", Repeat("16", 8, ",") + "\n"), "holds 1 lines of values; mpeg2enc wants 16"},
        {"cjpeg:" + Write("c", Repeat("16", 63, " ") + " 300"),
         "entry 64 (row 8, column 8) is 300; baseline JPEG tables take 1..255"},
        {"cjpeg:" + Write("c2", Repeat("16", 63, " ") + " 1,"), "is '1,', not an unsigned integer"},
        {Write("nulbyte", Repeat("16", 63, " ") + " 1" + std::string(1, '\0') + "2"),
         "entry 64 (row 8, column 8) is '1"},
        {Write("p", Repeat("16", 64, " ") + " 5000"), "holds 65 numbers"},
        {Path("absent"), "matrix file " + Path("absent") + ": cannot be opened"},
        {"nosuch:" + Path("x"), "matrix file nosuch:" + Path("x") + ": cannot be opened"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(Error(c.name).find(c.expected), std::string::npos) << c.name << " -> " << Error(c.name);
    }
}

TEST_F(MatrixFiles, WritesRefuseOutOfRangeEntriesAndKeepTheOldFile) {
    const std::string path = Write("keep.txt", "old");
    MatrixEntries matrix = CanaryMatrix();
    matrix[17] = 300;
    try {
        WriteMatrix(path, "x264", matrix);
        ADD_FAILURE();
    } catch (const MatrixFileError& e) {
        EXPECT_NE(
            std::string(e.what()).find("writing x264 matrix file " + path + ": entry 18 (row 3, column 2) is 300"),
            std::string::npos)
            << e.what();
    }
    matrix[17] = 4096;
    EXPECT_THROW(WriteMatrix(path, "plain", matrix), MatrixFileError);
    EXPECT_THROW(WriteMatrix(path, "stream", CanaryMatrix()), MatrixFileError);
    EXPECT_THROW(WriteMatrix(Path("no/such/folder/m.txt"), "plain", CanaryMatrix()), MatrixFileError);
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_EQ(text.str(), "old");
    EXPECT_EQ(FileCount(), 1u);
    matrix[17] = 4095;
    WriteMatrix(path, "plain", matrix);  // our own form keeps the full range
    EXPECT_EQ(ReadMatrixFile(path), matrix);
}

}  // namespace
}  // namespace vardelk
