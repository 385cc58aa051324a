// The matrix file DVD tools read and write (TMPGEnc's): an [Intra] section
// of rows "matrix0=" .. "matrix7=", each eight numbers in natural order
// (the DC weight first), then a [NonIntra] section likewise; lines end in
// CR LF. The intra matrix alone is what the file forms' table reads and
// writes; these take both.
#pragma once

#include <string>

#include "matrix/matrix_files.h"

namespace vardelk {

struct TmpgencMatrices {
    MatrixEntries intra{};
    MatrixEntries nonIntra{};  // flat 16, MPEG-2's default, when the file has no [NonIntra]
    bool hasNonIntra = false;
};

// Lenient on layout (white space or commas between numbers, CR LF or LF,
// section and key names in any case, ';' and '#' comment lines, a UTF-8 byte
// order mark, other sections and keys outside the two ignored, no
// [NonIntra]); strict on values: every row of a section given once, eight
// integers 1..255, a bad one named by row and column. Throws MatrixFileError
// starting with `origin`.
TmpgencMatrices ReadTmpgencMatrices(const std::string& bytes, const std::string& origin);

// The whole file, CR LF line ends; throws MatrixFileError (starting with
// `origin`) for an entry outside 1..255.
std::string WriteTmpgencMatrices(const MatrixEntries& intra, const MatrixEntries& nonIntra, const std::string& origin);

}  // namespace vardelk
