// x264's matrix file: named lists of numbers ("INTRA8X8_LUMA = 6,10,..."),
// '#' comments, each list in natural order, values 1..255; a list ends where
// the next name begins. Only the 8x8 intra luma list is an MPEG-2 style intra
// matrix: with 4:2:0 x264 transforms chroma 4x4 only, and every list a file
// leaves out is flat 16.
#include <cstring>

#include "matrix/entry_text.h"
#include "matrix/forms.h"

namespace vardelk {
namespace {

constexpr EntryRange kX264Range{1, 255, "x264's lists take 1..255"};
constexpr const char kIntraLuma[] = "INTRA8X8_LUMA";
constexpr const char* kListFamilies[] = {"INTRA4X4", "INTER4X4", "INTRA8X8", "INTER8X8"};

}  // namespace

bool IsX264Matrix(const std::string& bytes) {
    const std::string text = StripComments(bytes);
    for (const char* family : kListFamilies) {
        if (text.find(family) != std::string::npos) return true;
    }
    return false;
}

MatrixEntries ReadX264Matrix(const std::string& bytes, const std::string& origin) {
    const std::string text = StripComments(bytes);
    const size_t name = text.find(kIntraLuma);
    if (name == std::string::npos) throw MatrixFileError(origin + ": has no INTRA8X8_LUMA list");
    size_t start = name + std::strlen(kIntraLuma);
    const size_t next = text.find("INT", start);
    std::string list = text.substr(start, next == std::string::npos ? std::string::npos : next - start);
    const size_t equals = list.find_first_not_of(" \t\r\n");
    if (equals != std::string::npos && list[equals] == '=') list[equals] = ' ';
    const std::vector<std::string> tokens = SplitTokens(list, ", \t\r\n");
    if (tokens.size() != size_t(kMatrixEntries)) {
        throw MatrixFileError(origin + ": INTRA8X8_LUMA holds " + std::to_string(tokens.size()) +
                              " values; the list needs exactly 64");
    }
    MatrixEntries matrix{};
    for (size_t i = 0; i < tokens.size(); ++i) {
        matrix[i] = ParseEntry(tokens[i], EntryPosition(origin, i, "INTRA8X8_LUMA "), kX264Range);
    }
    return matrix;
}

std::string WriteX264Matrix(const MatrixEntries& matrix, const std::string& origin) {
    CheckEntries(matrix, origin, kX264Range);
    return "# intra quantiser matrix as the 8x8 intra luma list, natural order;\n"
           "# the lists not given here stay flat 16\n"
           "INTRA8X8_LUMA =\n" +
           MatrixRows(matrix, ",");
}

}  // namespace vardelk
