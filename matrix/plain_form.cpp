// Our own form: 64 integers in 1..4095 separated by commas and/or white
// space; '#' starts a comment running to the end of the line.
#include "matrix/entry_text.h"
#include "matrix/forms.h"

namespace vardelk {
namespace {

constexpr EntryRange kPlainRange{kMinMatrixEntry, kMaxMatrixEntry, "matrix entries must be 1..4095"};

}  // namespace

MatrixEntries ReadPlainMatrix(const std::string& bytes, const std::string& origin) {
    const std::vector<std::string> tokens = SplitTokens(StripComments(bytes), ", \t\r\n");
    if (tokens.size() != size_t(kMatrixEntries)) {
        throw MatrixFileError(origin + ": holds " + std::to_string(tokens.size()) +
                              " numbers; a matrix needs exactly 64 (8 rows of 8, natural order)");
    }
    MatrixEntries matrix{};
    for (size_t i = 0; i < tokens.size(); ++i) matrix[i] = ParseEntry(tokens[i], EntryPosition(origin, i), kPlainRange);
    return matrix;
}

std::string WritePlainMatrix(const MatrixEntries& matrix, const std::string& origin) {
    CheckEntries(matrix, origin, kPlainRange);
    return "# intra quantiser matrix, 8 rows of 8 (natural order)\n" + MatrixRows(matrix, " ");
}

}  // namespace vardelk
