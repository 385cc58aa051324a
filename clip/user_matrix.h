// Intra matrices as the user names them, read by clip/named_matrix.h
// (presets, matrix files in every form, streams), under the name their
// curves and reports call them by, and the check that a real encoder's
// stream can carry one.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/coding_model.h"
#include "codec/types.h"
#include "matrix/matrix_files.h"

namespace vardelk {

struct NamedMatrix {
    std::string name;  // preset name or FORMAT:FILE, as the user gave it
    MatrixEntries entries{};
};

// The matrix `source` names, under that name: see LoadNamedMatrix.
NamedMatrix LoadMatrix(const std::string& source);

// A real encoder writes its matrix into the stream with 8 bits an entry:
// throws ClipError naming the first AC entry (row and column counted from 1)
// above the model's largest entry, how many more there are, and `user`, the
// model or encoder that cannot carry them. The DC weight (entry 1) is not
// used for intra DC and may hold any value. (Entries below 1 never get this
// far: every matrix form refuses them.)
void CheckEncoderMatrix(const NamedMatrix& matrix, const CodingModel& model, const std::string& user);

// For a matrix used where entries above 255 are allowed (the filter's
// model): a note naming the first such AC entry, and that no stream carries
// it; "" when there is none.
std::string StreamMatrixNote(const NamedMatrix& matrix);

// The names of the file forms a matrix can be written in, from the forms'
// one table (BuiltInMatrixFileForms), for option lists.
std::vector<std::string> WrittenMatrixFormNames();
// The names of the forms a matrix file is read in (the stream form
// included), in the same way.
std::vector<std::string> ReadMatrixFormNames();
// "a, b or c" (or with other separators), for help texts.
std::string NameList(const std::vector<std::string>& names, const char* between = ", ", const char* last = " or ");

}  // namespace vardelk
