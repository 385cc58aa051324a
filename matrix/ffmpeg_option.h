// ffmpeg's option for a matrix, ready to paste after the output's codec:
// "-intra_matrix 8,16,19,...". ffmpeg's option parser takes the 64 values
// in natural order, as the ffmpeg file form holds them.
#pragma once

#include <string>

#include "matrix/matrix_files.h"

namespace vardelk {

// Throws MatrixFileError starting with `origin` for an entry outside
// 1..255, which ffmpeg's MPEG-2 encoder cannot put in a stream.
std::string FfmpegMatrixOption(const MatrixEntries& matrix, const std::string& origin);

}  // namespace vardelk
