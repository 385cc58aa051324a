// Whether an MPEG-2 stream can carry a matrix: its header holds each weight
// in 8 bits, so an entry above 255 exists only in the simulation. For the
// faces that say so wherever such a matrix is used.
#pragma once

#include <string>

#include "matrix/matrix_files.h"

namespace vardelk {

// Empty when every AC entry is 1..255 (the DC weight, entry 1, is never used
// for intra blocks and no stream needs it); otherwise why no stream carries
// the matrix: "entry 10 (row 2, column 2) is 300 (and 3 more above 255); an
// MPEG-2 stream carries 1..255".
std::string StreamLimitNote(const MatrixEntries& matrix);

}  // namespace vardelk
