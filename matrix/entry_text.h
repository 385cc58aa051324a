// Text helpers every matrix file form shares: comments, tokens, entries
// checked against a form's range with messages naming row and column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "matrix/matrix_files.h"

namespace vardelk {

// A form's accepted values and the rule quoted when one is outside them.
struct EntryRange {
    int32_t lo, hi;
    const char* rule;  // "matrix entries must be 1..4095"
};

// "ORIGIN: entry 10 (row 2, column 2)"; `list` names a second matrix ("non-intra ").
std::string EntryPosition(const std::string& origin, size_t index, const char* list = "");

// A decimal integer token in the range; throws MatrixFileError at `position`.
int32_t ParseEntry(const std::string& token, const std::string& position, const EntryRange& range);

// Throws MatrixFileError naming the first entry outside the range.
void CheckEntries(const MatrixEntries& matrix, const std::string& origin, const EntryRange& range);

// Replaces every '#' comment (to the end of its line) with nothing.
std::string StripComments(const std::string& text);

// The non-empty runs of characters between any of `separators`.
std::vector<std::string> SplitTokens(const std::string& text, const char* separators);

// Eight lines of eight values joined by `separator`.
std::string MatrixRows(const MatrixEntries& matrix, const char* separator);

}  // namespace vardelk
