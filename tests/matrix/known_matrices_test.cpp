// The matrices known by name, the DVD tools' file form, and what the faces
// print beside a matrix (ffmpeg's option, a stream's limit).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "matrix/ffmpeg_option.h"
#include "matrix/known_matrices.h"
#include "matrix/matrix_files.h"
#include "matrix/stream_limit.h"
#include "matrix/tmpgenc_form.h"
#include "tests/matrix/canary.h"

namespace vardelk {
namespace {

std::string ErrorOf(const std::string& bytes, const char* form) {
    for (const MatrixFileForm& f : BuiltInMatrixFileForms()) {
        if (std::string(f.name) != form) continue;
        try {
            f.read(bytes, "m.mat");
        } catch (const MatrixFileError& e) {
            return e.what();
        }
        return "";
    }
    return "no form " + std::string(form);
}

class EveryForm : public ::testing::TestWithParam<KnownMatrix> {};

// Written in every form that has a writer, each named matrix reads back the
// same, by the form's name and as recognised.
TEST_P(EveryForm, ReadsBackEqual) {
    const std::vector<MatrixFileForm>& forms = BuiltInMatrixFileForms();
    for (const MatrixFileForm& form : forms) {
        if (form.write == nullptr) continue;
        const std::string bytes = form.write(GetParam().entries, "m");
        EXPECT_EQ(ReadMatrixBytes(bytes, "m", &form, forms), GetParam().entries) << form.name;
        EXPECT_EQ(ReadMatrixBytes(bytes, "m", nullptr, forms), GetParam().entries) << form.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Named, EveryForm, ::testing::ValuesIn(KnownMatrices()),
                         [](const ::testing::TestParamInfo<KnownMatrix>& param) {
                             std::string name = param.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// A block's heading, "# NAME | display | purpose | source", as its four
// fields; empty for any other line.
std::vector<std::string> HeadingFields(const std::string& line) {
    const std::string bar = " | ";
    const size_t first = line.find(bar);
    if (line.compare(0, 2, "# ") != 0 || first == std::string::npos) return {};
    std::vector<std::string> fields = {line.substr(2, first - 2)};
    if (fields[0].find_first_of(" \t") != std::string::npos) return {};
    for (size_t at = first + bar.size();;) {
        const size_t next = line.find(bar, at);
        fields.push_back(line.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos) break;
        at = next + bar.size();
    }
    return fields.size() == 4 ? fields : std::vector<std::string>{};
}

// The published list the numbers were copied from, kept beside this test.
std::string CommunityList() {
    std::ifstream file(std::string(VARDELK_SOURCE_DIR) + "/tests/matrix/community.txt", std::ios::binary);
    std::ostringstream text;
    if (file && text << file.rdbuf()) return text.str();
    return "";
}

TEST(KnownMatrices, EqualThePublishedList) {
    const std::string list = CommunityList();
    ASSERT_FALSE(list.empty()) << "tests/matrix/community.txt: missing";
    std::istringstream lines(list);
    std::string line;
    std::vector<std::string> names = {"default", "flat16"};
    KnownMatrix read{};
    size_t entries = 0;
    while (std::getline(lines, line)) {
        const std::vector<std::string> m = HeadingFields(line);
        if (!m.empty()) {
            names.push_back(m[0]);
            const KnownMatrix* known = FindKnownMatrix(m[0]);
            ASSERT_NE(known, nullptr) << m[0];
            EXPECT_EQ(known->display, m[1]);
            EXPECT_EQ(known->purpose, m[2]);
            EXPECT_EQ(known->source, m[3]);
            read = *known;
            entries = 0;
        } else if (!line.empty() && line[0] != '#') {
            std::istringstream row(line);
            for (int32_t value; row >> value; ++entries) {
                ASSERT_LT(entries, read.entries.size()) << read.name;
                EXPECT_EQ(read.entries[entries], value) << read.name << " entry " << entries + 1;
            }
        }
    }
    std::vector<std::string> table;
    for (const KnownMatrix& known : KnownMatrices()) table.push_back(known.name);
    EXPECT_EQ(table, names);
    EXPECT_EQ(table.size(), 14u);
}

TEST(TmpgencForm, ReadsAnyLayoutAndWritesTheToolsOwn) {
    const MatrixEntries canary = CanaryMatrix();
    MatrixEntries flat;
    flat.fill(16);
    const std::string written = WriteTmpgencMatrices(canary, flat, "m");
    EXPECT_EQ(written.rfind("[Intra]\r\nmatrix0=8 9 10 11 12 13 14 15\r\nmatrix1=28 ", 0), 0u);
    EXPECT_NE(written.find("\r\n[NonIntra]\r\nmatrix0=16 16 "), std::string::npos);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 18);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\r'), 18);  // every line ends CR LF
    // Commas, tabs, LF ends, any case, comments, a byte order mark, another
    // section, rows out of order and no [NonIntra].
    std::string loose = "\xEF\xBB\xBF; saved by hand\n[Other]\nmatrix0=1\n[ intra ]\n";
    for (int row = 7; row >= 0; --row) {
        loose += "  Matrix" + std::to_string(row) + " =\t";
        for (int c = 0; c < 8; ++c) loose += std::to_string(canary[size_t(row * 8 + c)]) + (c % 2 ? ", " : "\t");
        loose += "\n# a comment\n";
    }
    const TmpgencMatrices read = ReadTmpgencMatrices(loose, "m");
    EXPECT_EQ(read.intra, canary);
    EXPECT_EQ(read.nonIntra, flat);
    EXPECT_FALSE(read.hasNonIntra);
    const TmpgencMatrices both = ReadTmpgencMatrices(WriteTmpgencMatrices(flat, canary, "m"), "m");
    EXPECT_TRUE(both.hasNonIntra);
    EXPECT_EQ(both.nonIntra, canary);
}

TEST(TmpgencForm, RefusesWhatNoToolWritesNamingRowAndColumn) {
    std::string rows;
    for (int row = 0; row < 8; ++row) rows += "matrix" + std::to_string(row) + "=16 16 16 16 16 16 16 16\r\n";
    std::string bad = rows;
    bad.replace(bad.find("16", bad.find("matrix2")), 2, "256");
    const struct {
        std::string bytes;
        const char* expected;
    } cases[] = {
        {rows, "m.mat: has no [Intra] section"},
        {"[Intra]\r\n" + rows + "[NonIntra]\r\n" + bad,
         "m.mat: non-intra entry 17 (row 3, column 1) is 256; TMPGEnc's matrices take 1..255"},
        {"[Intra]\r\n" + rows.substr(0, rows.find("matrix5")), "m.mat: [Intra] has no row matrix5"},
        {"[Intra]\r\nmatrix0=16 16 16 16 16 16 16\r\n", "m.mat: line 2: [Intra] matrix0 holds 7 numbers; a row has 8"},
        {"[Intra]\r\n" + rows + "matrix3=1 1 1 1 1 1 1 1\r\n",
         "line 10: [Intra] gives matrix3 again (first on line 5)"},
        {"[Intra]\r\nmatrix8=16\r\n", "line 2 in [Intra] is not a row 'matrix0=' .. 'matrix7='"},
        {"[Intra]\r\n" + rows + "[intra]\r\n", "line 10: a second [Intra] section"},
        {"[Intra]\r\nmatrix0=16 16 16 16 16 16 16 0x10\r\n", "entry 8 (row 1, column 8) is '0x10', not an integer"},
    };
    for (const auto& c : cases) EXPECT_NE(ErrorOf(c.bytes, "tmpgenc").find(c.expected), std::string::npos) << c.bytes;
}

TEST(MatrixNotes, FfmpegOptionAndTheStreamsLimit) {
    const MatrixEntries manono2 = FindKnownMatrix("manono2")->entries;
    // Taken by ffmpeg itself in matrix_encoders_accept.
    EXPECT_EQ(FfmpegMatrixOption(manono2, "m").rfind("-intra_matrix 8,12,13,14,15,16,19,22,12,13,", 0), 0u);
    EXPECT_EQ(StreamLimitNote(manono2), "");

    MatrixEntries steep = manono2;
    steep[0] = 4095;  // the DC weight is never used, and no stream needs it
    EXPECT_EQ(StreamLimitNote(steep), "");
    steep[62] = steep[63] = 256;
    EXPECT_EQ(StreamLimitNote(steep),
              "entry 63 (row 8, column 7) is 256 (and 1 more above 255); an MPEG-2 stream "
              "carries 1..255");
    EXPECT_THROW(FfmpegMatrixOption(steep, "m"), MatrixFileError);
}

}  // namespace
}  // namespace vardelk
