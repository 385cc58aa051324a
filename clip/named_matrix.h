// Intra matrices as a user names them: a known matrix's name ("default",
// "flat16", "manono1": matrix/known_matrices.h) or a matrix file in any form
// the matrix library reads, MPEG-1/2 video streams included (the first intra
// matrix a sequence header loads). For the native faces that take a matrix
// by name.
#pragma once

#include <string>
#include <vector>

#include "matrix/matrix_files.h"

namespace vardelk {

// The library's file forms with the stream form in front (recognised by the
// sequence header's start code).
const std::vector<MatrixFileForm>& MatrixFormsWithStreams();

// The matrix `source` names: a known matrix's name, "FORMAT:FILE" or a path
// whose form is recognised from its content (a file called like a known
// matrix is read as "./NAME"). Throws MatrixFileError naming
// the file (and, for a bad value, the entry) for anything else. Only regular
// files are read, and a text form only up to 1 MiB: a FIFO, a folder or a
// device named by mistake is refused rather than blocking, misread or
// filling memory.
MatrixEntries LoadNamedMatrix(const std::string& source);

}  // namespace vardelk
