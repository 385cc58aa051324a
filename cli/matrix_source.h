// Intra matrices named on the command line: a built-in preset or a matrix
// file, in natural row-major order, in any form the matrix library reads.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/coding_model.h"
#include "codec/types.h"
#include "matrix/matrix_files.h"
#include "sweep/named_matrix.h"

namespace vardelk {

// The file forms -m accepts: the library's and any this front end adds.
const std::vector<MatrixFileForm>& CommandLineMatrixForms();

// `source` is "default" (the standard intra matrix), "flat16" (every entry 16),
// "FORMAT:FILE" (FORMAT one of CommandLineMatrixForms()) or the path of a
// matrix file whose form is recognised from its content. Throws CliError for
// a file that cannot be opened, MatrixFileError naming the file and the
// offending entry when it is not of its form or holds a value outside the
// form's range.
NamedMatrix LoadMatrix(const std::string& source);

// A real encoder writes its matrix into the stream with 8 bits an entry:
// throws CliError naming the first AC entry (row and column counted from 1)
// above the model's largest entry, how many more there are, and `user`, the
// model or encoder that cannot carry them. The DC weight (entry 1) is not
// used for intra DC and may hold any value. (Entries below 1 never get this
// far: every matrix form refuses them.)
void CheckEncoderMatrix(const NamedMatrix& matrix, const CodingModel& model, const std::string& user);

// Parses the text of a plain matrix file: integers separated by commas and/or
// white space; '#' starts a comment running to the end of the line. Throws
// MatrixFileError, its message starting with `origin`.
std::array<int32_t, kMatrixEntries> ParseMatrixText(const std::string& text, const std::string& origin);

}  // namespace vardelk
