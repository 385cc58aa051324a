// cjpeg's table file: quantisation tables of 64 values each in natural
// order, separated by white space, '#' comments. The first table is the one
// used for luma (or a grey picture), and it is the one read here. Baseline
// JPEG keeps tables in 8 bits, so values are 1..255; cjpeg scales tables by
// its quality factor, which leaves them unchanged at -quality 50.
#include <cctype>

#include "matrix/entry_text.h"
#include "matrix/forms.h"

namespace vardelk {
namespace {

constexpr EntryRange kCjpegRange{1, 255, "baseline JPEG tables take 1..255"};
constexpr size_t kMaxTables = 4;

}  // namespace

bool IsCjpegTableSet(const std::string& bytes) {
    const std::string text = StripComments(bytes);
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && !std::isspace(static_cast<unsigned char>(c))) return false;
    }
    const size_t count = SplitTokens(text, " \t\r\n\f\v").size();
    return count % 64 == 0 && count >= 128 && count <= 64 * kMaxTables;
}

MatrixEntries ReadCjpegMatrix(const std::string& bytes, const std::string& origin) {
    const std::vector<std::string> tokens = SplitTokens(StripComments(bytes), " \t\r\n\f\v");
    if (tokens.empty() || tokens.size() % 64 != 0 || tokens.size() > 64 * kMaxTables) {
        throw MatrixFileError(origin + ": holds " + std::to_string(tokens.size()) +
                              " numbers; cjpeg wants 1 to 4 tables of 64, separated by white space");
    }
    MatrixEntries matrix{};
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string position =
            i < 64 ? EntryPosition(origin, i)
                   : EntryPosition(origin, i % 64, ("table " + std::to_string(i / 64 + 1) + " ").c_str());
        for (char c : tokens[i]) {
            if (!std::isdigit(static_cast<unsigned char>(c))) {
                throw MatrixFileError(position + " is '" + tokens[i] + "', not an unsigned integer");
            }
        }
        const int32_t value = ParseEntry(tokens[i], position, kCjpegRange);
        if (i < 64) matrix[i] = value;
    }
    return matrix;
}

std::string WriteCjpegMatrix(const MatrixEntries& matrix, const std::string& origin) {
    CheckEntries(matrix, origin, kCjpegRange);
    return "# one quantisation table, natural order (cjpeg -quality 50 uses it unscaled)\n" + MatrixRows(matrix, " ");
}

}  // namespace vardelk
